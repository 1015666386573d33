#!/usr/bin/env bash
# Runs the end-to-end suite against the Windows build under wine: the Microsoft runtime's
# formats, text mode and command line, byte for byte. Needs build/default (the suite) and
# build/windows (the program).
set -euo pipefail
cd "$(dirname "$0")/.."
export WINEPREFIX="$PWD/build/windows/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko install is attempted
# The 64-bit loader itself: with wine32 installed, plain `wine` starts every program through the
# 32-bit loader first, which on a machine without native i386 support runs under emulation.
wine64=/usr/lib/wine/wine64
export WINELOADER=$wine64
# Making the prefix still starts 32-bit helpers; under qemu-i386 a guest space that ends just
# above 2 GB keeps each start to seconds (see scripts/device_e2e.sh).
export QEMU_RESERVED_VA=0x82000000
if [ ! -d "$WINEPREFIX" ]; then
  start=$SECONDS
  "$wine64" wineboot --init >/dev/null 2>&1 || true
  echo "wine prefix created in $((SECONDS - start)) s"
fi
# One wine server and its services for the whole suite, started with their output elsewhere:
# started per program they cost seconds a launch and hold the program's pipes open.
wineserver -w  # the server that created the prefix, if any, has gone
wineserver -p
"$wine64" cmd /c exit </dev/null >/dev/null 2>&1 || true
status=0
FOLVANE_E2E_PROGRAM="$PWD/build/windows/FolvaneCE.exe" FOLVANE_E2E_LAUNCHER=$wine64 FOLVANE_E2E_WINDOWS=1 \
  build/default/tests/e2e_tests || status=$?
wineserver -k 2>/dev/null || true
exit $status
