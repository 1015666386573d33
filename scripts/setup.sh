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
  clang-tidy clang-format cppcheck  # the analysis of scripts/analyze.sh
  python3                       # the JSON parser that reads FolvaneCheck's --json in a test
  groff-base unzip dpkg-dev file  # scripts/package.sh: the manual page, the zip's listing, the .deb's dependencies (dpkg-shlibdeps, and file, with which CPack finds the programs)
  lintian                       # scripts/package.sh: Debian's checker of the .deb
  wixl msitools zip             # scripts/windows_package.sh: the MSI (wixl; msibuild, msiinfo) and the zip
)

$run_only && packages=(cmake ninja-build g++)
packages+=("$@")  # extra packages a caller needs

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
updated=false

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

install() {  # install PACKAGE...: those not installed yet
  local missing=() p
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -gt 0 ] || return 0
  $updated || $sudo apt-get update
  updated=true
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

# Whether this machine runs a 32-bit x86 Linux program: natively, or through a binfmt_misc
# entry (wine's 32-bit loader is one, and it starts its helpers itself).
runs_i386() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }

# The device image is a 32-bit Windows program, which wine runs with its 32-bit loader (wine32,
# from the i386 architecture). Where the kernel does not run i386 programs itself, qemu-i386
# does, registered with binfmt_misc for every i386 program (tests/device/device_e2e.sh).
setup_i386() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    updated=false
  fi
  install wine32:i386
  runs_i386 && return 0
  install qemu-user
  local binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
  if [ ! -e "$binfmt/qemu-i386" ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' |
      $sudo tee "$binfmt/register" >/dev/null
    echo "setup: i386 programs run through qemu-i386 (binfmt_misc)"
  fi
  runs_i386 || { echo "setup: i386 programs do not run here, not even through qemu-i386" >&2; exit 1; }
}

install "${packages[@]}"
$run_only || setup_i386
echo "setup: all ${#packages[@]} packages present"
