#!/usr/bin/env bash
# Builds the host program and runs it against the default simulated unit.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
exec ./build/default/FolvaneCE "${@:-R}"
