#!/usr/bin/env bash
# Builds the device image build/device/FolvaneCE.exe over the stand-in CE SDK (the `device`
# preset: clang as Visual C++ 2005, a second opinion from mingw-w64 g++, the mingw-w64 linker)
# and checks it: 32-bit x86, subsystem 9 (Windows CE), imports from coredll.dll alone, each
# name on sdk/wince-x86/coredll.def and each name there imported, no static initialisers.
# Prints the image's size and its .text size.
#   --quiet      prints the two sizes alone, in bytes, for the bench's table
#   --self-test  shows that the build fails on device code with a C++11 feature, a standard
#                C++ header, a function the stand-in does not declare, one coredll does not
#                export, or a static initialiser
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-}
objdump=i686-w64-mingw32-objdump
exports=$(sed -e 's/;.*//' -e 's/@[0-9]*//g' -e '1,/^EXPORTS/d' sdk/wince-x86/coredll.def | tr -s ' \t' '\n' |
  grep -v '^$' | sort)
# What the program itself imports: the list up to the driver route's block, which it does not use yet.
program_exports=$(sed -e '/^[[:space:]]*; The driver route/,$d' -e 's/;.*//' -e '1,/^EXPORTS/d' sdk/wince-x86/coredll.def |
  tr -s ' \t' '\n' | grep -v '^$' | sort)

fail() {
  echo "device: $*" >&2
  return 1
}

# section_names FILE...: the section names of object files or images, one a line.
section_names() { "$objdump" -h "$@" | awk '$1 ~ /^[0-9]+$/ { print $2 }'; }

# check_image DIR: checks DIR/FolvaneCE.exe and the objects it is made of, reporting every
# violation; sets image_bytes and text_bytes.
check_image() {
  local dir=$1 image=$1/FolvaneCE.exe headers dlls imports unlisted unused problems=()
  local -a objects
  mapfile -t objects < <(find "$dir/CMakeFiles/folvane_device.dir" -name '*.obj')
  headers=$("$objdump" -f -p "$image")
  grep -q 'architecture: i386,' <<<"$headers" || problems+=("not a 32-bit x86 image")
  grep -q -E '^Subsystem[[:space:]]+00000009' <<<"$headers" || problems+=("not for subsystem 9 (Windows CE)")
  dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | sort -u)
  [ "$dlls" = coredll.dll ] || problems+=("imports from $(paste -sd " " <<<"$dlls"), not from coredll.dll alone")
  imports=$(awk '/DLL Name:/ { on = 1; next } on && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print $3 } /^$/ { on = 0 }' \
    <<<"$headers" | sort -u)
  unlisted=$(comm -23 <(echo "$imports") <(echo "$exports"))
  [ -z "$unlisted" ] || problems+=("imports what coredll.def does not list: $(paste -sd " " <<<"$unlisted")")
  unused=$(comm -13 <(echo "$imports") <(echo "$program_exports"))
  [ -z "$unused" ] || problems+=("does not import what coredll.def lists: $(paste -sd " " <<<"$unused")")
  # The device program has no start-up that would run static initialisers.
  ! grep -q "^\\.CRT\\\$XC" <<<"$(section_names "${objects[@]}")" || problems+=("static initialisers (.CRT\$XC*) in its objects")
  ! grep -q '^\.CRT' <<<"$(section_names "$image")" || problems+=("static initialisers (.CRT)")
  if [ ${#problems[@]} -gt 0 ]; then
    printf "device: $image: %s\n" "${problems[@]}" >&2
    return 1
  fi
  image_bytes=$(stat -c %s "$image")
  text_bytes=$(("0x$("$objdump" -h "$image" | awk '$2 == ".text" { print $3 }')"))
}

build() { cmake --preset device >/dev/null && cmake --build --preset device; }

# Each case of the self-test: a name, what the failure must say, and the probe's source.
probe_case() {
  local name=$1 expected=$2 source=$3 dir=build/device-probe output
  printf '%s\n' "$source" >"$dir/probe.cpp"
  if output=$(cmake --build "$dir" 2>&1 && check_image "$dir" 2>&1); then
    fail "self-test: the build passed device code with $name"
  elif ! grep -q -F -e "$expected" <<<"$output"; then
    printf '%s\n' "$output" >&2
    fail "self-test: the build failed on $name, but without \"$expected\""
  else
    echo "device self-test: $name fails the build: $(grep -m1 -F -e "$expected" <<<"$output" | sed 's/^ *//')"
  fi
}

self_test() {
  local dir=build/device-probe
  mkdir -p "$dir"
  printf 'int probe();\nint probe() { return 0; }\n' >"$dir/probe.cpp"
  cmake --preset device -B "$dir" -DFOLVANE_DEVICE_PROBE="$PWD/$dir/probe.cpp" >/dev/null
  local output
  if ! output=$(cmake --build "$dir" 2>&1 && check_image "$dir" 2>&1); then
    printf '%s\n' "$output" >&2
    fail "self-test: the build fails without a fault; fix that first"
  fi
  probe_case "a C++11 feature (nullptr)" "undeclared identifier 'nullptr'" \
    'void* probe(); void* probe() { return nullptr; }'
  probe_case "a standard C++ header (<cstdio>)" "'cstdio' file not found" \
    '#include <cstdio>'
  probe_case "a function the stand-in does not declare (snprintf)" "undeclared identifier 'snprintf'" \
    '#include <stdio.h>
int probe(char* text); int probe(char* text) { return snprintf(text, 4, "%d", 1); }'
  probe_case "a function coredll.def does not list (_wtoi)" "undefined reference to \`_wtoi'" \
    'extern "C" int __cdecl _wtoi(const wchar_t* text);
int probe(const wchar_t* text); int probe(const wchar_t* text) { return _wtoi(text); }'
  probe_case "a static initialiser" "static initialisers" \
    '#include <windows.h>
extern const DWORD probeError; const DWORD probeError = GetLastError();'
}

case $mode in
  --self-test)
    self_test
    ;;
  --quiet)
    log=$(mktemp)
    trap 'rm -f "$log"' EXIT
    build >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
    check_image build/device
    echo "$image_bytes $text_bytes"
    ;;
  "")
    build
    check_image build/device
    echo "device: build/device/FolvaneCE.exe: $image_bytes bytes, .text $text_bytes bytes;" \
      "imports $(wc -w <<<"$program_exports") functions from coredll.dll"
    ;;
  *)
    echo "usage: scripts/device_build.sh [--quiet | --self-test]" >&2
    exit 2
    ;;
esac
