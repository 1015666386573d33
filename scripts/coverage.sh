#!/usr/bin/env bash
# Builds the coverage preset, runs every test, and reports line coverage of the product code the
# host build compiles (the list the build writes); fails below the floor.
set -euo pipefail
cd "$(dirname "$0")/.."
floor=${1:-95}
cmake --preset coverage >/dev/null
cmake --build --preset coverage
find build/coverage -name '*.gcda' -delete
ctest --preset coverage >/dev/null
# Exactly the product sources the host build compiles, as the build lists them.
filters=()
while read -r source; do filters+=(--filter "$(printf '%s' "$source" | sed 's/[.]/[.]/g')\$"); done \
  <build/coverage/product-sources.txt
gcovr --root . --object-directory build/coverage "${filters[@]}" build/coverage \
  --exclude-unreachable-branches --print-summary --fail-under-line "$floor" \
  --txt build/coverage/coverage.txt --html-details build/coverage/coverage.html
