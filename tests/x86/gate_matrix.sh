#!/usr/bin/env bash
# Builds the gate test once per compiler, optimisation, PIE and frame-pointer setting, and
# both assembly spellings (MSVC's through clang's -fasm-blocks), and runs each.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failed=0
built=0
try() {  # try NAME FLAGS...
  local name=$1
  shift
  if "$@" -m32 -std=c++17 -Wall -Wextra -Werror -Isrc/device/include -Isrc/device/platform/x86 \
       src/device/platform/x86/call_gate.cpp tests/x86/gate_test.cpp -o "$out/gate" 2>"$out/log" &&
     ${FOLVANE_X86_RUN:-} "$out/gate" >"$out/run"; then
    built=$((built + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $name"
    cat "$out/log" "$out/run" 2>/dev/null | head -20
  fi
}
for compiler in g++ clang++; do
  for opt in -O0 -O2 -Os; do
    for pie in "-fPIE -pie" "-fno-pie -no-pie"; do
      for frame in "" "-fno-omit-frame-pointer"; do
        # shellcheck disable=SC2086
        try "$compiler $opt $pie $frame" $compiler $opt $pie $frame
      done
    done
    for pie in "-fPIE -pie" "-fno-pie -no-pie"; do
      # shellcheck disable=SC2086
      if [ "$compiler" = clang++ ]; then try "clang++ MSVC spelling $opt $pie" clang++ -fasm-blocks -DFOLVANE_MSVC_ASM $opt $pie; fi
    done
  done
done
echo "gate matrix: $built passed, $failed failed"
[ "$failed" -eq 0 ]
