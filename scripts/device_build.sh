#!/usr/bin/env bash
# Builds the device image build/device/FolvaneCE.exe and its mapping driver FolvaneMap.dll over
# the stand-in CE SDK (the `device` preset: clang as Visual C++ 2005, a second opinion from
# mingw-w64 g++, the mingw-w64 linker) and checks both: 32-bit x86, subsystem 9 (Windows CE),
# imports from coredll.dll alone and by ordinal alone, each function they call at the ordinal
# CE's coredll exports it under (sdk/wince-x86/coredll_ordinals.txt) and on
# sdk/wince-x86/coredll.def, every function there imported by one of them (but the block for a
# driver's start-up), no static initialisers; the program under 32 KB, the driver a DLL under 16 KB exporting exactly
# src/device/driver/FolvaneMap.def and keeping its relocations (a .reloc section, no
# IMAGE_FILE_RELOCS_STRIPPED): CE 7 refuses a kernel DLL without them, CE 6 loads it unfixed and
# crashes. Prints both images' imports by ordinal and name, the driver's
# exports, both sizes and the program's .text size.
#   --quiet      prints the two sizes alone, in bytes, for the bench's table
#   --self-test  shows that the build fails on device code with a C++11 feature, a header of
#                the workstation's code, a standard C++ header, a function the stand-in does
#                not declare, one coredll does not export, a static initialiser, a name that a
#                smart-device build's macro takes over, a deprecated runtime function without
#                the build's defines, a program of 32 KB or more, or a driver stripped of its
#                relocations (the .reloc section removed, or the flag set)
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-}
objdump=i686-w64-mingw32-objdump
# `NAME ORDINAL` lines: what the stand-in's coredll.def lists, and what CE's coredll exports.
exports=$(cmake -P sdk/wince-x86/coredll_def.cmake | sort)
ce_exports=$(grep -v -e '^#' -e '^$' sdk/wince-x86/coredll_ordinals.txt | sort)
# What the list holds for a stream driver's start-up and the DLLs it loads, its last block:
# neither image imports it.
spare=$(grep -w -F -f <(sed -n '/^[[:space:]]*; exported for a stream driver/,$p' sdk/wince-x86/coredll.def |
  sed 's/;.*//' | awk 'NF { print $1 }') <<<"$exports")

fail() {
  echo "device: $*" >&2
  return 1
}

# section_names FILE...: the section names of object files or images, one a line.
section_names() { "$objdump" -h "$@" | awk '$1 ~ /^[0-9]+$/ { print $2 }'; }

# image_imports IMAGE MAP: `NAME ORDINAL` for each import slot of IMAGE that its code calls
# through: the name the objects call (the link map's __imp_ symbol at the slot) and the
# ordinal the image's slot holds (`NAME name` for a slot bound by name).
image_imports() {
  local image=$1 map=$2 address hex name word value i
  local -a words
  local -A slots=()
  while read -r address hex; do
    [[ $address =~ ^[0-9a-f]+$ ]] || continue
    read -ra words <<<"${hex%%  *}"
    for i in "${!words[@]}"; do slots[$((16#$address + 4 * i))]=${words[$i]}; done
  done < <("$objdump" -s -j .idata "$image")
  while read -r address name; do
    word=${slots[$((address))]:-00000000}
    value=$((16#${word:6:2}${word:4:2}${word:2:2}${word:0:2}))  # little-endian
    if ((value & 0x80000000)); then echo "$name $((value & 0xFFFF))"; else echo "$name name"; fi
  done < <(awk '$1 ~ /^0x/ && $2 ~ /^_imp__/ { print $1, substr($2, 7) }' "$map")
}

# check_binary IMAGE MAP OBJECTS_DIR LIMIT: checks one image of the device build (the program or
# its driver) and the objects it is made of, adding every violation to `problems`; sets
# binary_imports to the image's imports, `NAME ORDINAL` a line.
check_binary() {
  local image=$1 map=$2 objects_dir=$3 limit=$4 headers dlls slots imports wrong unlisted bytes
  local -a objects
  mapfile -t objects < <(find "$objects_dir" -name '*.obj')
  headers=$("$objdump" -f -p "$image")
  grep -q 'architecture: i386,' <<<"$headers" || problems+=("$image: not a 32-bit x86 image")
  grep -q -E '^Subsystem[[:space:]]+00000009' <<<"$headers" || problems+=("$image: not for subsystem 9 (Windows CE)")
  dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | sort -u)
  [ "$dlls" = coredll.dll ] || problems+=("$image: imports from $(paste -sd " " <<<"$dlls"), not from coredll.dll alone")
  # The import table: `ORDINAL <none>` for an import by ordinal, `HINT NAME` for one by name.
  slots=$(awk '/DLL Name:/ { on = 1; next } on && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print $2, $3 } /^$/ { on = 0 }' \
    <<<"$headers")
  ! grep -q -v ' <none>$' <<<"$slots" ||
    problems+=("$image: imports by name, not by ordinal: $(grep -v ' <none>$' <<<"$slots" | cut -d' ' -f2 | paste -sd " ")")
  imports=$(image_imports "$image" "$map" | sort)
  [ "$(cut -d' ' -f2 <<<"$imports" | sort -n)" = "$(cut -d' ' -f1 <<<"$slots" | sort -n)" ] ||
    problems+=("$image: the import table's ordinals are not those of the functions its code calls")
  wrong=$(comm -23 <(echo "$imports") <(echo "$ce_exports"))
  [ -z "$wrong" ] || problems+=("$image: imports what CE's coredll does not export so: $(paste -sd " " <<<"$wrong")")
  unlisted=$(comm -23 <(echo "$imports") <(echo "$exports"))
  [ -z "$unlisted" ] || problems+=("$image: imports what coredll.def does not list: $(paste -sd " " <<<"$unlisted")")
  # Neither image has a start-up that would run static initialisers.
  ! grep -q "^\\.CRT\\\$XC" <<<"$(section_names "${objects[@]}")" ||
    problems+=("$image: static initialisers (.CRT\$XC*) in its objects")
  ! grep -q '^\.CRT' <<<"$(section_names "$image")" || problems+=("$image: static initialisers (.CRT)")
  bytes=$(stat -c %s "$image")
  [ "$bytes" -lt "$limit" ] || problems+=("$image: $bytes bytes, not under $limit")
  binary_imports=$imports
}

# check_relocations DLL: adds a problem when DLL has no .reloc section or is marked
# IMAGE_FILE_RELOCS_STRIPPED.
check_relocations() {
  ! grep -q '^[[:space:]]*relocations stripped$' <<<"$("$objdump" -p "$1" | sed -n '/^Characteristics/,/^$/p')" &&
    grep -q '^\.reloc$' <<<"$(section_names "$1")" ||
    problems+=("$1: has no relocation information (.reloc, IMAGE_FILE_RELOCS_STRIPPED): CE 7 would refuse to load it into the kernel, CE 6 would load it unfixed and crash")
}

# exported_names IMAGE: the names an image exports, one a line, sorted.
exported_names() {
  "$objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^\t\[/ { print $NF }' | sort
}

# check_image DIR: checks DIR/FolvaneCE.exe and DIR/FolvaneMap.dll, reporting every violation;
# sets image_bytes, text_bytes, imports (the program's), driver_bytes, driver_imports and
# driver_exports.
check_image() {
  local dir=$1 image=$1/FolvaneCE.exe driver=$1/FolvaneMap.dll unused expected_exports problems=()
  # The program under 32 KB, its driver under 16 KB.
  check_binary "$image" "$dir/FolvaneCE.map" "$dir/CMakeFiles/folvane_device.dir" $((32 * 1024))
  imports=$binary_imports
  check_binary "$driver" "$dir/FolvaneMap.map" "$dir/CMakeFiles/folvane_driver.dir" $((16 * 1024))
  driver_imports=$binary_imports
  "$objdump" -p "$driver" | sed -n '/^Characteristics/,/^$/p' | grep -q '^[[:space:]]*DLL$' ||
    problems+=("$driver: not a DLL")
  check_relocations "$driver"
  # The driver exports its stream interface and nothing else.
  driver_exports=$(exported_names "$driver")
  expected_exports=$(sed -e 's/;.*//' -e '1,/^EXPORTS/d' src/device/driver/FolvaneMap.def | tr -s ' \t' '\n' | grep -v '^$' | sort)
  [ "$driver_exports" = "$expected_exports" ] ||
    problems+=("$driver: exports $(paste -sd " " <<<"$driver_exports"), not those of src/device/driver/FolvaneMap.def")
  # Every function of the list but its last block is imported by the program or by its driver.
  unused=$(comm -13 <(sort -u <(echo "$imports") <(echo "$driver_imports")) <(comm -23 <(echo "$exports") <(echo "$spare")))
  [ -z "$unused" ] || problems+=("neither image imports what coredll.def lists: $(paste -sd " " <<<"$unused")")
  if [ ${#problems[@]} -gt 0 ]; then
    printf "device: %s\n" "${problems[@]}" >&2
    return 1
  fi
  image_bytes=$(stat -c %s "$image")
  text_bytes=$(("0x$("$objdump" -h "$image" | awk '$2 == ".text" { print $3 }')"))
  driver_bytes=$(stat -c %s "$driver")
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
  cmake --preset device -B "$dir" -DFOLVANE_DEVICE_PROBE="$PWD/$dir/probe.cpp" \
    -DFOLVANE_COREDLL_DEF="$PWD/sdk/wince-x86/coredll.def" >/dev/null
  local output
  if ! output=$(cmake --build "$dir" 2>&1 && check_image "$dir" 2>&1); then
    printf '%s\n' "$output" >&2
    fail "self-test: the build fails without a fault; fix that first"
  fi
  probe_case "a C++11 feature (nullptr)" "undeclared identifier 'nullptr'" \
    'void* probe(); void* probe() { return nullptr; }'
  probe_case "a workstation header (the simulated unit's sim_unit.h)" "'sim_unit.h' file not found" \
    '#include "sim_unit.h"
int probe(); int probe() { return 0; }'
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
  # An import library that binds a function at another ordinal than CE's coredll exports it at.
  sed 's/^\( *VirtualFree @\)525$/\1526/' sdk/wince-x86/coredll.def >"$dir/coredll.def"
  cmake -B "$dir" -DFOLVANE_COREDLL_DEF="$PWD/$dir/coredll.def" >/dev/null
  probe_case "an import bound at another ordinal than CE's (VirtualFree at 526)" \
    "imports what CE's coredll does not export so: VirtualFree 526" 'int probe(); int probe() { return 0; }'
  cmake -B "$dir" -DFOLVANE_COREDLL_DEF="$PWD/sdk/wince-x86/coredll.def" >/dev/null
  probe_case "a name a smart-device build defines as a macro (namespace x86)" "expected identifier" \
    'namespace x86 { int probe(); }
int x86::probe() { return 0; }'
  probe_case "a program of 32 KB or more" "bytes, not under 32768" \
    'extern const char probeBulk[12000]; const char probeBulk[12000] = {1};
const char* probe(); const char* probe() { return probeBulk; }'
  # The driver with its relocations stripped after the link: the section removed, or the flag
  # IMAGE_FILE_RELOCS_STRIPPED (1 in the COFF header's characteristics) set.
  local driver=$dir/FolvaneMap.dll stripped
  cmake --build "$dir" >/dev/null
  cp "$driver" "$dir/FolvaneMap.original"
  for stripped in section flag; do
    if [ $stripped = section ]; then
      i686-w64-mingw32-objcopy -R .reloc "$dir/FolvaneMap.original" "$driver"
    else
      cp "$dir/FolvaneMap.original" "$driver"
      perl -e 'open(my $f, "+<:raw", $ARGV[0]) or die; seek($f, 0x3C, 0); read($f, my $pe, 4);
        my $at = unpack("V", $pe) + 22; seek($f, $at, 0); read($f, my $c, 2);
        seek($f, $at, 0); print $f pack("v", unpack("v", $c) | 1);' "$driver"
    fi
    if output=$(check_image "$dir" 2>&1); then
      fail "self-test: the build passed a driver without relocations ($stripped)"
    elif ! grep -q -F -e "has no relocation information" <<<"$output"; then
      printf '%s\n' "$output" >&2
      fail "self-test: the build failed on a driver without relocations ($stripped), but without saying so"
    else
      echo "device self-test: a driver without relocations ($stripped) fails the build: $(grep -m1 -F -e "relocation" <<<"$output")"
    fi
  done
  cp "$dir/FolvaneMap.original" "$driver"
  probe_case "a deprecated runtime function without the build's defines (_wfopen)" "'_wfopen' is deprecated" \
    '#undef _CRT_SECURE_NO_DEPRECATE
#undef _CRT_SECURE_NO_WARNINGS
#include <stdio.h>
FILE* probe(const wchar_t* path); FILE* probe(const wchar_t* path) { return _wfopen(path, L"rb"); }'
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
    echo "device: build/device/FolvaneCE.exe imports from coredll.dll by ordinal (ordinal name):"
    awk '{ printf "  %5d %s\n", $2, $1 }' <<<"$imports" | sort -n
    echo "device: build/device/FolvaneMap.dll imports from coredll.dll by ordinal (ordinal name):"
    awk '{ printf "  %5d %s\n", $2, $1 }' <<<"$driver_imports" | sort -n
    echo "device: build/device/FolvaneMap.dll exports: $(paste -sd " " <<<"$driver_exports")"
    echo "device: build/device/FolvaneCE.exe: $image_bytes bytes (under 32 KB), .text $text_bytes bytes;" \
      "imports $(wc -l <<<"$imports") functions from coredll.dll, each at CE's ordinal"
    echo "device: build/device/FolvaneMap.dll: $driver_bytes bytes (under 16 KB);" \
      "imports $(wc -l <<<"$driver_imports") functions from coredll.dll, each at CE's ordinal"
    ;;
  *)
    echo "usage: scripts/device_build.sh [--quiet | --self-test]" >&2
    exit 2
    ;;
esac
