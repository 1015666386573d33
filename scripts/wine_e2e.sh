#!/usr/bin/env bash
# Runs the end-to-end suite against the Windows build under wine: the Microsoft runtime's
# formats, text mode and command line, byte for byte; then FolvaneCheck's tables and its JSON
# check against FolvaneCheck.exe. Needs build/default (the suite) and
# build/windows (the program).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine_setup.sh
wine_start "$PWD/build/windows/wineprefix" 64 "" wine-e2e
status=0
FOLVANE_E2E_PROGRAM="$PWD/build/windows/FolvaneCE.exe" FOLVANE_E2E_LAUNCHER=$wine FOLVANE_E2E_WINDOWS=1 \
  build/default/tests/e2e_tests || status=$?
# FolvaneCheck's tables against FolvaneCheck.exe (wine names files in the locale's encoding).
export LANG=C.UTF-8 LC_ALL=C.UTF-8
FOLVANE_E2E_CHECK_PROGRAM="$PWD/build/windows/FolvaneCheck.exe" FOLVANE_E2E_CHECK_LAUNCHER=$wine \
  build/default/tests/e2e_tests --gtest_filter='CheckCommandLine.*:Version.FolvaneCheck*' || status=$?
FOLVANE_E2E_CHECK_LAUNCHER=$wine python3 tests/e2e/check_json.py build/windows/FolvaneCheck.exe || status=$?
wine_stop
exit $status
