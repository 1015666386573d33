#!/usr/bin/env bash
# Compiles (no link) every source of the device build with the 32-bit Windows cross compiler,
# as far as this machine can go without the CE SDK, and prints the size of the code at -Os.
# --quiet prints the size alone, in bytes, for the bench's table.
set -euo pipefail
quiet=false
[ "${1:-}" = "--quiet" ] && quiet=true
cd "$(dirname "$0")/.."
cmake --preset device-check >/dev/null
cmake --build --preset device-check >/dev/null
mapfile -t objects < <(find build/device-check/CMakeFiles/folvane_device_check.dir -name '*.obj' | sort)
total=0
for object in "${objects[@]}"; do
  text=$(i686-w64-mingw32-size -A "$object" | awk '$1 ~ /^\.text/ { sum += $2 } END { print sum + 0 }')
  total=$((total + text))
done
if $quiet; then
  echo "$total"
else
  echo "device compile check: ${#objects[@]} sources compiled; .text at -Os: $total bytes"
fi
