#!/usr/bin/env bash
# The code size of the two host programs: the .text section of FolvaneCE and of FolvaneCheck
# (size -A), and how many of FolvaneCheck's symbols belong to the firmware layer or the
# simulated unit (nm -C: BiosService, sim::), which the checker has no use for. With --check it
# fails when there is any.
# Usage: bench/text_sizes.sh [--check] [BUILD_DIR]; without BUILD_DIR, the default preset, built first.
set -euo pipefail
source "$(dirname "$0")/common.sh"
check=no
if [ "${1:-}" = --check ]; then
  check=yes
  shift
fi
build=""
[ $# -eq 0 ] || build=$(realpath "$1")
cd "$(dirname "$0")/.."
find_checker

text_bytes() { size -A "$1" | awk '$1 == ".text" { print $2 }'; }
foreign=$(nm -C "$checker" | grep -ci 'BiosService\|sim::' || true)

echo "Build: $build"
printf '%-44s %9s\n' "FolvaneCE .text (bytes)" "$(text_bytes "$program")"
printf '%-44s %9s\n' "FolvaneCheck .text (bytes)" "$(text_bytes "$checker")"
printf '%-44s %9s\n' "FolvaneCheck symbols of BiosService or sim::" "$foreign"
[ "$check" = no ] || [ "$foreign" -eq 0 ] || fail "FolvaneCheck links the firmware layer or the simulated unit"
