#!/usr/bin/env bash
# Installs what is missing, then builds and tests every preset that runs on this machine.
set -euo pipefail
cd "$(dirname "$0")/.."

stage() {  # stage NAME COMMAND...: runs a command and says how long it took
  local name=$1 start=$SECONDS
  shift
  "$@"
  echo "stage $name: $((SECONDS - start)) s"
}

stage setup bash scripts/setup.sh
for preset in default asan; do
  stage "$preset-build" bash -c "cmake --preset $preset >/dev/null && cmake --build --preset $preset"
  stage "$preset-tests" ctest --preset "$preset"
done
