#!/usr/bin/env bash
# Runs the end-to-end suite against the Windows build under wine: the Microsoft runtime's
# formats, text mode and command line, byte for byte. Needs build/default (the suite) and
# build/windows (the program).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine_setup.sh
wine_start "$PWD/build/windows/wineprefix" 64 "" wine-e2e
status=0
FOLVANE_E2E_PROGRAM="$PWD/build/windows/FolvaneCE.exe" FOLVANE_E2E_LAUNCHER=$wine FOLVANE_E2E_WINDOWS=1 \
  build/default/tests/e2e_tests || status=$?
wine_stop
exit $status
