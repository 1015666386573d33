#!/usr/bin/env bash
# Builds the coverage preset, runs every test, and reports line coverage of the code the host
# build compiles (all of src/ but the device-only platform code); fails below the floor.
set -euo pipefail
cd "$(dirname "$0")/.."
floor=${1:-95}
cmake --preset coverage >/dev/null
cmake --build --preset coverage
find build/coverage -name '*.gcda' -delete
ctest --preset coverage >/dev/null
gcovr --root . --object-directory build/coverage \
  --filter 'src/' --exclude 'src/platform/wince/' --exclude 'src/platform/x86/' \
  --exclude 'src/platform/host/sim_entry_x86.cpp' --exclude 'src/platform/host/sim_memory_win32.cpp' \
  --exclude 'src/app/main_windows.cpp' --exclude 'src/app/main_wince.cpp' \
  --exclude-unreachable-branches --print-summary --fail-under-line "$floor" \
  --txt build/coverage/coverage.txt --html-details build/coverage/coverage.html
