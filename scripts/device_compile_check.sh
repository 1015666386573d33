#!/usr/bin/env bash
# Compiles (no link) every source of the device build with the 32-bit Windows cross compiler,
# as far as this machine can go without the CE SDK, and prints the size of the code at -Os.
# --quiet prints the size alone, in bytes, for the bench's table.
set -euo pipefail
quiet=false
[ "${1:-}" = "--quiet" ] && quiet=true
cd "$(dirname "$0")/.."
cxx=${CXX_DEVICE:-i686-w64-mingw32-g++}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
sources=(
  src/platform/wince/platform_wince.cpp
  src/platform/wince/console_wince.cpp
  src/platform/x86/call_gate.cpp
  src/firmware/bios_service.cpp
  src/firmware/settings_ops.cpp
  src/datafile/option_tables.cpp
  src/datafile/setting_binding.cpp
  src/datafile/retrieve.cpp
  src/datafile/change_reader.cpp
  src/datafile/change.cpp
  src/app/command_line.cpp
  src/app/main_wince.cpp
)
total=0
for source in "${sources[@]}"; do
  object="$out/$(basename "${source%.cpp}").o"
  "$cxx" -std=c++17 -Os -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror \
    -municode -Iinclude -Isrc/firmware -Isrc/datafile -Isrc/app -Isrc/platform/x86 -c "$source" -o "$object"
  text=$(i686-w64-mingw32-size -A "$object" | awk '$1 ~ /^\.text/ { sum += $2 } END { print sum + 0 }')
  total=$((total + text))
done
if $quiet; then
  echo "$total"
else
  echo "device compile check: ${#sources[@]} sources compiled; .text at -Os: $total bytes"
fi
