#!/usr/bin/env bash
# Static analysis of the product's code (src/, the host build's sources): clang-tidy
# with the checked-in .clang-tidy, cppcheck, clang-format with the checked-in style, and the
# include graph's layers (scripts/include_graph.sh, also over the device build when it is built).
# Any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null  # compile_commands.json, and every header compiled once
# The product sources the host build compiles, as the build lists them.
mapfile -t sources < build/default/product-sources.txt
mapfile -t everything < <(git ls-files 'src/*.cpp' 'src/*.h' 'sdk/wince-x86/command_splitter.*')
status=0

echo "clang-tidy: ${#sources[@]} sources"
clang-tidy -p build/default --quiet "${sources[@]}" >build/default/clang-tidy.txt 2>&1 || status=1
grep -E "(warning|error):" build/default/clang-tidy.txt || true

echo "cppcheck: ${#sources[@]} sources"
# useStlAlgorithm: a plain loop over a small constant table reads as clearly as an algorithm.
# missingOverride in W: the device's C++03 has no override.
cppcheck --std=c++17 --language=c++ --enable=warning,style,performance,portability --inline-suppr \
  --error-exitcode=1 --quiet --suppress=missingIncludeSystem --suppress=useStlAlgorithm \
  --suppress=missingOverride:src/device/datafile/change.cpp \
  -I src/device/include -I src/device/datafile -I src/device/firmware -I src/device/app -I src/host/app \
  -I src/host/check -I src/host/platform -I sdk/wince-x86 \
  --template='{file}:{line}: {severity}: {message} [{id}]' "${sources[@]}" || status=1

echo "clang-format: ${#everything[@]} files"
clang-format --dry-run --Werror "${everything[@]}" || status=1

bash scripts/include_graph.sh || status=1

[ "$status" -eq 0 ] && echo "analysis: no findings"
exit "$status"
