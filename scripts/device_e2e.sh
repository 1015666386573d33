#!/usr/bin/env bash
# Runs the device image build/device/FolvaneCE.exe as a process under wine against the simulated
# unit: the test machine's coredll.dll (the `coredll` preset) beside it, the gate probe with the
# image's own gate object, and a chosen part of the end-to-end suite in two shards at once. Needs
# build/default (the suite and the host build) and build/device (scripts/device_build.sh).
# Prints the time of the prefix, of one launch, of the suite and of the whole stage.
#   --self-test  shows that the unit and the probe catch a broken device layer: copies of the
#                tree whose image maps the wrong physical form, keeps the segment view at exit,
#                calls past the announced entry, or calls with a frame pointer of no frame, and
#                whose gate returns with the direction flag set
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS
mode=${1:-}
case $mode in
  "" | --self-test) ;;
  *)
    echo "usage: scripts/device_e2e.sh [--self-test]" >&2
    exit 2
    ;;
esac

# On a kernel without i386 support, wine's 32-bit loader runs under qemu-i386 (scripts/setup.sh
# registers it). In qemu's default 4 GB guest space each start costs some 40 s: wine probes the
# space above 2 GB 64 KB at a time for its own, and qemu places every probe elsewhere. A space
# that ends just above Windows' 2 GB and wine's shared page keeps a start to a few seconds. A
# kernel that runs i386 programs itself ignores the variable.
export QEMU_RESERVED_VA=0x82000000

cmake --preset coredll >/dev/null
cmake --build --preset coredll
# Exactly the exports of the stand-in SDK's coredll.def, each name at its ordinal, no more and no
# fewer; and every ordinal the image imports among them.
listed=$(cmake -P sdk/wince-x86/coredll_def.cmake | sort)
exported=$(i686-w64-mingw32-objdump -p build/coredll/coredll.dll | awk '
  /^Export Address Table -- Ordinal Base/ { base = $NF }
  /\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
  on && /^$/ { on = 0 }
  on && /^\t\[/ { gsub(/[][]/, " "); print $2, $1 + base }' | sort)
if [ "$listed" != "$exported" ]; then
  echo "device-e2e: coredll.dll exports other names or ordinals than sdk/wince-x86/coredll.def lists:" >&2
  diff <(echo "$listed") <(echo "$exported") >&2 || true
  exit 1
fi
imported=$(i686-w64-mingw32-objdump -p build/device/FolvaneCE.exe | awk '/DLL Name:/ { on = 1; next }
  on && /^\t[0-9a-f]+\t +[0-9]+ +<none>$/ { print $2 } /^$/ { on = 0 }' | sort)
missing=$(comm -23 <(echo "$imported") <(cut -d' ' -f2 <<<"$exported" | sort))
if [ -z "$imported" ] || [ -n "$missing" ]; then
  echo "device-e2e: coredll.dll does not export the ordinals the image imports: ${missing:-none imported}" >&2
  exit 1
fi
cp build/coredll/coredll.dll build/device/coredll.dll

export WINEPREFIX="$PWD/build/coredll/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko install is attempted, and a crash ends the program rather than waiting in
# wine's debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset WINELOADER
wine=/usr/lib/wine/wine  # the 32-bit loader: the image and the probe are 32-bit programs
# A prefix counts once it was made whole with wine32 installed (one made before breaks later).
if [ ! -f "$WINEPREFIX/.made-with-wine32" ]; then
  rm -rf "$WINEPREFIX"
  prefix_start=$SECONDS
  /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.made-with-wine32"
  echo "device-e2e: wine prefix created in $((SECONDS - prefix_start)) s"
fi
# One wine server and its services for the whole run, started with their output elsewhere:
# started per program they cost seconds a launch and hold the program's pipes open.
wineserver -w
wineserver -p
logs=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$logs"' EXIT
/usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1 || true
launch_start=$(date +%s%N)
(cd build/device && "$wine" FolvaneCE.exe /? </dev/null >"$logs/usage" 2>&1) || true
launch_ms=$((($(date +%s%N) - launch_start) / 1000000))
grep -q '^Usage:  FolvaneCE {R|W} <datafile>'$'\r''$' "$logs/usage" || {
  echo "device-e2e: the image does not start under wine:" >&2
  cat "$logs/usage" >&2
  exit 1
}
echo "device-e2e: one launch of the image takes $launch_ms ms"

# startup_check: the image started with command lines as typed at a prompt (a batch file run by
# wine's cmd passes each line on unchanged, where wine would quote Unix arguments itself). The
# start-up must hand over the arguments split at blanks outside double quotes, the quotes
# removed and nothing escaped, and the process end with wmain's status through TerminateProcess.
startup_check() {
  local dir=$logs/startup output expected
  mkdir "$dir"
  cp build/device/FolvaneCE.exe build/device/coredll.dll "$dir/"
  printf '%s\r\n' '@echo off' \
    'FolvaneCE.exe R "fleet "unit.txt' 'echo status %errorlevel%' \
    'FolvaneCE.exe w "a\"b.txt"' 'echo status %errorlevel%' \
    'FolvaneCE.exe R  "two  blanks.txt"  ' 'echo status %errorlevel%' >"$dir/lines.bat"
  output=$(cd "$dir" && /usr/lib/wine/wine64 cmd /c lines.bat </dev/null 2>&1 | tr -d '\r') || true
  expected="status 0
***ERROR*** Failed to open input file (a\\b.txt)!
status 1
status 0"
  if [ "$(grep -e '^status' -e '^\*\*\*' <<<"$output")" != "$expected" ] || [ ! -f "$dir/fleet unit.txt" ] ||
    [ ! -f "$dir/two  blanks.txt" ]; then
    printf 'device-e2e: the start-up splits or ends otherwise than CE'"'"'s:\n%s\n' "$output" >&2
    return 1
  fi
  echo "device-e2e: start-up: quoted arguments with blanks, a quote inside an argument, no escapes," \
    "statuses 0 and 1 through TerminateProcess"
}

# variant NAME EXPECTED FILE FROM TO [probe]: the copy of the tree with the first FROM in FILE
# replaced by TO and built; its image must end R with status 3 and EXPECTED in its output, or
# with `probe`, the gate probe built with its gate object must fail with it.
variant() {
  local name=$1 expected=$2 file=$3 from=$4 to=$5 runs=${6:-image} output status=0
  local copy=$logs/tree
  cp "$copy/$file" "$logs/original"
  if ! FROM=$from perl -0ne 'exit(index($_, $ENV{FROM}) < 0)' "$copy/$file"; then
    echo "device-e2e self-test: $file no longer holds \"$from\"" >&2
    return 1
  fi
  FROM=$from TO=$to perl -0pi -e 's/\Q$ENV{FROM}\E/$ENV{TO}/' "$copy/$file"
  if ! output=$(cd "$copy" && cmake --build --preset device 2>&1 &&
    { [ "$runs" != probe ] || cmake --build --preset coredll --target gate_probe 2>&1; }); then
    printf 'device-e2e self-test: %s does not build:\n%s\n' "$name" "$output" >&2
    return 1
  fi
  if [ "$runs" = probe ]; then
    output=$("$wine" "$copy/build/coredll/gate_probe.exe" </dev/null 2>&1) || status=$?
  else
    cp build/coredll/coredll.dll "$copy/build/device/coredll.dll"
    output=$(cd "$logs" && "$wine" "$copy/build/device/FolvaneCE.exe" R out.txt </dev/null 2>&1) || status=$?
  fi
  cp "$logs/original" "$copy/$file"
  # A fault of the unit ends the image with status 3; a failed check, the probe with status 1.
  if [ "$status" -ne "$([ "$runs" = probe ] && echo 1 || echo 3)" ] || ! grep -q -F -e "$expected" <<<"$output"; then
    printf 'device-e2e self-test: %s was not caught (status %s):\n%s\n' "$name" "$status" "$output" >&2
    return 1
  fi
  echo "device-e2e self-test: $name is caught: $(grep -m1 -F -e "$expected" <<<"$output" | tr -d '\r')"
}

self_test() {
  mkdir "$logs/tree"
  tar --exclude=./build --exclude=./.git -cf - . | tar -C "$logs/tree" -xf -
  (cd "$logs/tree" && cmake --preset device >/dev/null && cmake --build --preset device >/dev/null &&
    cmake --preset coredll >/dev/null)
  variant "a mapping with the wrong physical form (the address, not the address / 256)" \
    "simulated unit: fault: mapping of physical form 000F0000h" src/platform/wince/platform_wince.cpp \
    "reinterpret_cast<LPVOID>(physicalForm)" "reinterpret_cast<LPVOID>(physicalForm << 8)"
  variant "a segment view never released" "simulated unit: fault: a region is still reserved at exit" \
    src/firmware/bios_service.cpp "platform::releaseAddressSpace(const_cast<uint8_t*>(segmentView));" \
    "(void)segmentView;"
  variant "a gate that calls one byte past the announced entry" "which is not the announced service entry" \
    src/platform/x86/call_gate.cpp "        mov ecx, entry" "        mov ecx, entry
        inc ecx"
  variant "a gate that calls with a frame pointer of no frame" "not a frame of the program's stack" \
    src/platform/x86/call_gate.cpp "        call dword ptr [esp]" "        xor ebp, ebp
        call dword ptr [esp]"
  variant "a gate that returns with the direction flag set" "FAIL direction flag clear when the gate returns" \
    src/platform/x86/call_gate.cpp "        pop ebp
        cld" "        pop ebp" probe
  echo "device-e2e: self-test in $((SECONDS - start)) s"
}

if [ "$mode" = --self-test ]; then
  self_test
  exit 0
fi

status=0
startup_check || status=1
probe_start=$SECONDS
"$wine" build/coredll/gate_probe.exe </dev/null || status=1
echo "device-e2e: gate probe in $((SECONDS - probe_start)) s"

# The part of the suite that runs on the image: arguments and usage, R to the console and to
# files, W of real files in both line ends, messages byte for byte, state files, and faults of
# the machine and the firmware, each an R and a W; and the call logs beside the host build's.
arguments=CommandLine/Arguments.OutputAndStatus
faults=FaultMatrix/EachFault.GivesItsMessagesAndStatus
subset=(
  "$arguments/no_arguments" "$arguments/help_slash_h" "$arguments/unknown_option_before_help"
  "$arguments/retrieve_to_the_console" "$arguments/change_without_a_file" "$arguments/absolute_unix_path"
  "$arguments/change_of_a_missing_file" "$arguments/retrieve_into_a_missing_folder"
  CommandLine.RetrieveIntoAFileNamedW CommandLine.RetrieveThenChangeOfRealFilesWithSpacesInTheirNames
  Retrieve.ConsoleOutputKeepsMessagesInOrderWithTheFileText
  Change.LineFeedAndCarriageReturnFilesGiveTheSameUnit Change.MessagesShowWideAndEightBitTextsAsTheyAre
  SimulatedUnit.StateFileErrorsStopEveryRunBeforeTheBanner
  SimulatedUnit.ACallLogThatCannotBeWrittenStopsBeforeTheBanner SimulatedUnit.ASaveThatFailsIsTheUnitLosingPower
  "$faults/segment_reserve_error_*" "$faults/segment_map_error_*" "$faults/window_reserve_error_*"
  "$faults/window_map_error_*" "$faults/header_checksum_invalid_*" "$faults/header_offset_0xFFE0_R"
  "$faults/header_offset_0xFFF0_R" "$faults/decoy_headers_*_R" "$faults/entry_address_0xF1234_*"
  "$faults/support_signature_invalid_*" "$faults/spec_version_0_99_R" "$faults/scratch_alloc_fail_*"
  "$faults/fail_getAssetTag_R" "$faults/fail_getBootSequence_R" "$faults/fail_setNumlock_W"
  "$faults/fail_setAssetTag_W"
  'CallLog.*' 'TextMode.*'
)
filter=$(IFS=:; echo "${subset[*]}")
export FOLVANE_E2E_PROGRAM="$PWD/build/device/FolvaneCE.exe" FOLVANE_E2E_LAUNCHER=$wine FOLVANE_E2E_WINDOWS=1
suite_start=$SECONDS
pids=()
for shard in 0 1; do
  GTEST_TOTAL_SHARDS=2 GTEST_SHARD_INDEX=$shard build/default/tests/e2e_tests --gtest_filter="$filter" \
    </dev/null >"$logs/$shard" 2>&1 &
  pids+=($!)
done
for shard in 0 1; do
  wait "${pids[$shard]}" || status=1
  cat "$logs/$shard"
done
tests=$(awk '/^\[==========\] [0-9]+ tests? from .* ran\./ { sum += $2 } END { print sum + 0 }' "$logs/0" "$logs/1")
echo "device-e2e: $tests tests of the suite in two shards in $((SECONDS - suite_start)) s"
echo "device-e2e: stage $((SECONDS - start)) s"
exit $status
