#!/usr/bin/env bash
# Installs what is missing, then builds and tests every preset that runs on this machine.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/stage.sh

stage setup bash scripts/setup.sh
# Every relative link and anchor of README.md, NEWS and docs/*.md.
stage links python3 scripts/check_links.py
for preset in default asan; do
  stage "$preset-build" bash -c "cmake --preset $preset >/dev/null && cmake --build --preset $preset"
  stage "$preset-tests" ctest --preset "$preset"
done

# 32-bit x86: the device's gate into machine code. These kernels run i386 programs natively;
# where one does not, qemu-i386 runs them.
x86_configure=()
if ! bash scripts/x86_runs.sh; then
  bash scripts/setup.sh qemu-user
  x86_configure=(-DCMAKE_CROSSCOMPILING_EMULATOR=qemu-i386)
  export FOLVANE_E2E_LAUNCHER=qemu-i386 FOLVANE_X86_RUN=qemu-i386
fi
stage x86-gate-matrix bash tests/x86/gate_matrix.sh
stage x86-build bash -c "cmake --preset x86 ${x86_configure[*]} >/dev/null && cmake --build --preset x86"
stage x86-tests ctest --preset x86
# The device image over the stand-in CE SDK, its checks, and the faults its build must reject.
stage device bash -c "bash scripts/device_build.sh && bash scripts/device_build.sh --self-test"
# The device image run under wine against the simulated unit (the test machine's coredll.dll):
# the gate probe with the image's own gate object, part of the end-to-end suite, and the broken
# device layers that the unit and the probe must catch.
stage device-e2e bash -c "bash tests/device/device_e2e.sh && bash tests/device/device_e2e.sh --self-test"

# Windows: the Microsoft runtime's formats, text mode and command line, under wine.
stage windows-build bash -c "cmake --preset windows >/dev/null && cmake --build --preset windows"
stage windows-e2e bash scripts/wine_e2e.sh

# Line coverage of the host build, with its floor.
stage coverage bash scripts/coverage.sh 95
echo "test.sh: every stage passed in $SECONDS s"
