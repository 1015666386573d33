#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian machine (run as root).
# `setup.sh --run` installs only what the default build of the program needs.
set -euo pipefail

run_only=false
if [ "${1:-}" = "--run" ]; then
  run_only=true
  shift
fi

packages=(
  cmake ninja-build g++ make time
  googletest libgtest-dev libgmock-dev
  g++-multilib clang            # the 32-bit x86 build and its gate matrix
  g++-mingw-w64-i686            # the device image: linker, import library, second opinion
  g++-mingw-w64-x86-64 wine64 wine  # the Windows build, run under wine
  gcovr                         # the coverage report
  libclang-rt-14-dev            # libFuzzer and the sanitizers of clang, for the fuzz preset
)

$run_only && packages=(cmake ninja-build g++)
packages+=("$@")  # extra packages a caller needs

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
