#!/usr/bin/env bash
# Builds the host program and its checker FolvaneCheck in the repository and runs the program
# against the default simulated unit, in the caller's own directory, so that `run.sh W unit.txt`
# reads the caller's unit.txt.
set -euo pipefail
caller=$PWD
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
bash scripts/setup.sh --run >/dev/null
cmake --preset default >/dev/null
cmake --build --preset default --target FolvaneCE FolvaneCheck >/dev/null
cd "$caller"
exec "$repo/build/default/FolvaneCE" "${@:-R}"
