#!/usr/bin/env bash
# Runs the device image build/device/FolvaneCE.exe as a process under wine against the simulated
# unit: the test machine's coredll.dll (the `coredll` preset) beside it, the gate probe with the
# image's own gate object, the mapping driver FolvaneMap.dll and the test driver under the
# device manager (tests/driver), and a chosen part of the end-to-end suite in two shards at once,
# part of it again on CE 6.0 units, where the image maps through its driver. Needs
# build/default (the suite and the host build) and build/device (scripts/device_build.sh).
# Prints the time of the prefix, of one launch, of the suite and of the whole stage.
#   --self-test  shows that the unit and the probe catch a broken device layer: copies of the
#                tree whose image maps the wrong physical form, keeps the segment view at exit,
#                calls past the announced entry, or calls with a frame pointer of no frame, and
#                whose gate returns with the direction flag set; and the test driver's caller
#                leaving a registry key, a driver or a handle at exit, or its driver calling
#                the firmware; and a run that leaves the mapping driver loaded, a driver that
#                maps into the kernel's space, one that admits a writable mapping, or one
#                that admits destinations up to 80000000h
# CE's device manager takes a driver's path of 63 characters at most: the image runs from a short
# folder of its own (a copy under the temporary folder, not the checkout, whose depth would push
# the paths over the limit), and the script stops when a path it needs is still too long.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
start=$SECONDS
mode=${1:-}
case $mode in
  "" | --self-test) ;;
  *)
    echo "usage: tests/device/device_e2e.sh [--self-test]" >&2
    exit 2
    ;;
esac

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

source scripts/wine_setup.sh
# The 32-bit loader: the image and the probe are 32-bit programs. A crash ends the program rather
# than waiting in wine's debugger.
wine_start "$PWD/build/coredll/wineprefix" 32 "winedbg.exe=d" device-e2e
logs=$(mktemp -d)
trap 'wine_stop; rm -rf "$logs"' EXIT

# short_enough PATH: stops the script when the driver path PATH, as the image under wine sees it
# (drive Z: and backslashes), has more than the 63 characters CE's device manager takes.
short_enough() {
  local seen="Z:${1//\//\\}"
  if [ ${#seen} -gt 63 ]; then
    echo "device-e2e: the driver's path $seen has ${#seen} characters, more than the 63 CE's device manager" \
      "takes; run with TMPDIR set to a shorter folder" >&2
    exit 1
  fi
}
# The image, its coredll.dll and its driver in a short folder of their own, where the suite runs it.
mkdir "$logs/image"
short_enough "$logs/image/FolvaneMap.dll"
cp build/device/FolvaneCE.exe build/device/coredll.dll build/device/FolvaneMap.dll "$logs/image/"
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
  output=$(cd "$dir" && "$wine64" cmd /c lines.bat </dev/null 2>&1 | tr -d '\r') || true
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

# caller_runs NAME DIR ROW...: runs the test driver's caller build/coredll/driver_caller.exe in
# DIR once per row "STATE;MODE;STATUS;LINES", STATE the unit's state file with `|` for line
# ends, MODE its argument, and every `|`-separated piece of LINES a line of its output; returns 1
# at the first that differs.
caller_runs() {
  local name=$1 dir=$2 row state mode status lines output actual line failed=0 runs=0
  shift 2
  mkdir -p "$dir"
  for row in "$@"; do
    IFS=';' read -r state mode status lines <<<"$row"
    tr '|' '\n' <<<"$state" >"$dir/state"
    actual=0
    output=$(cd "$dir" && FOLVANE_MACHINE="$dir/state" "$wine" "$root/build/coredll/driver_caller.exe" "$mode" \
      </dev/null 2>&1) || actual=$?
    output=$(tr -d '\r' <<<"$output")
    [ "$actual" -eq "$status" ] || failed=1
    while IFS= read -r line; do
      grep -q -x -F -e "$line" <<<"$output" || failed=1
    done < <(tr '|' '\n' <<<"$lines")
    if [ "$failed" -ne 0 ]; then
      printf 'device-e2e: %s: %s on a unit of "%s" ended with status %s, not %s and "%s":\n%s\n' "$name" "$mode" \
        "$state" "$actual" "$status" "$lines" "$output" >&2
      return 1
    fi
    runs=$((runs + 1))
  done
  echo "device-e2e: $name: $runs runs as expected"
}

# variant NAME EXPECTED FILE FROM TO [probe | ce6 | map-probe]: the copy of the tree with the
# first FROM in FILE replaced by TO and built; its image must end R with status 3 and EXPECTED
# in its output (with `ce6` on a CE 6.0 unit), or with `probe`, the gate probe built with its
# gate object must fail with it, or with `map-probe`, the mapping driver's probe with the
# copy's driver on a CE 6.0 unit must end with status 3 and EXPECTED.
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
  elif [ "$runs" = map-probe ]; then
    # The mapping driver's probe of this tree, with the copy's driver beside it, on a CE 6 unit.
    mkdir -p "$logs/map-probe"
    cp build/coredll/coredll.dll build/coredll/map_driver_probe.exe "$copy/build/device/FolvaneMap.dll" "$logs/map-probe/"
    output=$(cd "$logs/map-probe" && FOLVANE_MACHINE_CE=6 "$wine" map_driver_probe.exe </dev/null 2>&1) || status=$?
  else
    cp build/coredll/coredll.dll "$copy/build/device/coredll.dll"
    # `ce6`: on a CE 6.0 unit, where the image maps through its driver.
    output=$(cd "$logs" && { [ "$runs" != ce6 ] || export FOLVANE_MACHINE_CE=6; } &&
      "$wine" "$copy/build/device/FolvaneCE.exe" R out.txt </dev/null 2>&1) || status=$?
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
  short_enough "$logs/tree/build/device/FolvaneMap.dll"
  tar --exclude=./build --exclude=./.git -cf - . | tar -C "$logs/tree" -xf -
  (cd "$logs/tree" && cmake --preset device >/dev/null && cmake --build --preset device >/dev/null &&
    cmake --preset coredll >/dev/null)
  variant "a mapping with the wrong physical form (the address, not the address / 256)" \
    "simulated unit: fault: mapping of physical form 000F0000h" src/device/platform/wince/platform_wince.cpp \
    "reinterpret_cast<LPVOID>(physicalForm)" "reinterpret_cast<LPVOID>(physicalForm << 8)"
  variant "a segment view never released" "simulated unit: fault: a region is still reserved at exit" \
    src/device/firmware/bios_service.cpp "platform::releaseAddressSpace(const_cast<uint8_t*>(segmentView));" \
    "(void)segmentView;"
  variant "a gate that calls one byte past the announced entry" "which is not the announced service entry" \
    src/device/platform/x86/call_gate.cpp "        mov ecx, entry" "        mov ecx, entry
        inc ecx"
  variant "a gate that calls with a frame pointer of no frame" "not a frame of the program's stack" \
    src/device/platform/x86/call_gate.cpp "        call dword ptr [esp]" "        xor ebp, ebp
        call dword ptr [esp]"
  # What the program leaves in the device manager, and a driver that calls the firmware itself.
  local exit_check="ce_version = 6;leave"
  caller_runs "the fault check at exit and the firmware's caller" "$logs/caller" \
    "$exit_check-key;3;simulated unit: fault: the registry key HKEY_LOCAL_MACHINE\\Drivers\\FolvaneTest is still there at exit (RegDeleteKeyW)" \
    "$exit_check-driver;3;simulated unit: fault: the driver TST1: is still active at exit (DeactivateDevice)" \
    "$exit_check-handle;3;simulated unit: fault: the device handle 5EC0000Ch is still open at exit (CloseHandle)" \
    "ce_version = 7;driver-calls-firmware;3;simulated unit: fault: the firmware was called from folvane_test_driver.dll, not from the program's image"
  # The driver's route on CE 6.0: what a run leaves loaded, and a driver that maps elsewhere or
  # more than the two read-only ranges.
  variant "a run that leaves the driver loaded" "the driver FVM1: is still active at exit" \
    src/device/app/main_wince.cpp "    platform::endDeviceRun();" "" ce6
  variant "a driver that maps into the kernel's own space" "which the process reserved, not the kernel" \
    src/device/driver/folvane_map.cpp "VirtualCopyEx(caller," "VirtualCopyEx(reinterpret_cast<HANDLE>(0x42)," ce6
  variant "a driver that admits a writable mapping" "mapping with protection 00000604h" \
    src/device/driver/map_request.cpp "if (r.protection != kMapProtection) return false;" \
    "if ((r.protection & 0x600) != 0x600) return false;" map-probe
  variant "a driver that admits destinations up to 80000000h" "which CE 6 would map over" \
    src/device/driver/map_request.h "const uint32_t kUserSpaceEnd = 0x40000000u;" \
    "const uint32_t kUserSpaceEnd = 0x80000000u;" map-probe
  variant "a gate that returns with the direction flag set" "FAIL direction flag clear when the gate returns" \
    src/device/platform/x86/call_gate.cpp "        pop ebp
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

# The mapping driver under the device manager on CE 6.0 and 7 units, loaded by the probe
# (tests/driver/map_driver_probe.cpp) as the program loads it: the program's two mappings made,
# every other request refused with ERROR_INVALID_PARAMETER (87), and nothing held at exit.
cp build/device/FolvaneMap.dll build/coredll/FolvaneMap.dll
map_expected="segment: mapped
window: mapped
another range (E00h): refused (87)
another size (8000h): refused (87)
the window's size for the segment: refused (87)
writable (604h): refused (87)
cached (402h): refused (87)
another request code: refused (87)
a longer request: refused (87)
an output buffer: refused (87)
the shared areas (40000000h): refused (87)
the window ending a page past 40000000h: refused (87)
the kernel's half: refused (87)
a region not reserved: refused (87)
done"
for generation in 6 7; do
  printf 'ce_version = %s\n' "$generation" >"$logs/map-state"
  probe_status=0
  output=$(cd build/coredll && FOLVANE_MACHINE="$logs/map-state" "$wine" map_driver_probe.exe </dev/null 2>&1) ||
    probe_status=$?
  if [ "$probe_status" -ne 0 ] || [ "$(tr -d '\r' <<<"$output")" != "$map_expected" ]; then
    printf 'device-e2e: the mapping driver on a CE %s unit (status %s):\n%s\n' "$generation" "$probe_status" \
      "$output" >&2
    status=1
  else
    echo "device-e2e: the mapping driver on a CE $generation unit: the 2 mappings made, 12 other requests" \
      "refused, nothing held at exit"
  fi
done

# The test driver under the device manager: loaded, opened, given its active key's path,
# mapping the segment into its caller's region, unloaded; the generations' answers to the
# program's own calls; and every way activation fails on CE 6/7 with the code their device
# manager gives: the key or its Dll missing or Dll of 64 characters 1610 (63 are taken), the
# name taken 2404, the DLL missing, no DLL or without relocations on CE 7 2, the entry points no
# set 1, Init failing 110, a Prefix not of three characters dropped (CreateFileW 2), a driver in
# user mode (Flags, or a key under Services\) whose VirtualCopyEx fails with 50, and the driver
# without relocations on CE 6 a fault; each undone so that nothing is held at exit.
mapped="activated|mapped: 41 21 55 30, 0 bytes returned|echo: 3 bytes, 02 03 00 09; sent 01 02 FF"
mapped+="|unknown request: error 87|Init was given Drivers\\Active\\20|done"
caller_rows=(
  "ce_version = 6;map;0;CE 6.0|$mapped" "ce_version = 7;map;0;CE 7.0|$mapped"
  "ce_version = 5;map;3;simulated unit: fault: GetCallerVMProcessId (ordinal 2603) is not in CE 5.0's coredll; an image that imports it does not load on this unit"
  "ce_version = 5;direct;3;CE 5.0|VirtualCopy: 1, error 0|OpenProcess: 0, error 87|simulated unit: fault: VirtualCopyEx (ordinal 2565) is not in CE 5.0's coredll; an image that imports it does not load on this unit"
  "ce_version = 6;direct;0;VirtualCopy: 0, error 87|OpenProcess: 0, error 87|VirtualCopyEx: 0, error 50|OpenProcess of its own: 1, error 0"
  "ce_version = 7;direct;0;VirtualCopy: 0, error 87|OpenProcess: 0, error 87|VirtualCopyEx: 0, error 50|OpenProcess of its own: 1, error 0"
  "ce_version = 6;no-key;1;FAIL ActivateDeviceEx (1610)|done"
  "ce_version = 7;no-dll;1;FAIL ActivateDeviceEx (1610)|done"
  "ce_version = 6;dll-64;1;FAIL ActivateDeviceEx (1610)|done"
  "ce_version = 6;dll-63;1;FAIL ActivateDeviceEx (2)|done"
  "ce_version = 7;twice;1;activated|FAIL second ActivateDeviceEx (2404)|done"
  "ce_version = 6;missing-dll;1;FAIL ActivateDeviceEx (2)|done"
  "ce_version = 7;not-a-dll;1;FAIL ActivateDeviceEx (2)|done"
  "ce_version = 7;no-relocations;1;FAIL ActivateDeviceEx (2)|done"
  "ce_version = 6;no-relocations;3;simulated unit: fault: folvane_test_driver_norelocs.dll has no relocation information: CE 6 loads it into the kernel at another base without fixing it up, which would crash the unit"
  "ce_version = 6;missing-entries;1;FAIL ActivateDeviceEx (1)|done"
  "ce_version = 6;init-fails;1;FAIL ActivateDeviceEx (110)|done"
  "ce_version = 7;short-prefix;1;activated|FAIL CreateFileW (2)|done"
  "ce_version = 7;user-mode;1;activated|FAIL DeviceIoControl (50)|done"
  "ce_version = 6;services;1;activated|FAIL DeviceIoControl (50)|done"
  "ce_version = 6|segment_map_error = 0x57;map;1;FAIL DeviceIoControl (87)|done"
  "ce_version = 7|fail = RegCreateKeyExW;map;1;FAIL RegCreateKeyExW (31)"
)
for step in RegSetValueExW ActivateDeviceEx CreateFileW DeviceIoControl; do
  caller_rows+=("ce_version = 6|fail = $step;map;1;FAIL $step (31)|done")
done
for step in OpenProcess VirtualCopyEx; do
  caller_rows+=("ce_version = 7|fail = $step;map;1;activated|FAIL DeviceIoControl (31)|done")
done
caller_start=$SECONDS
# In two shards at once, as the suite below.
caller_runs "the test driver (1 of 2)" "$logs/caller-0" "${caller_rows[@]:0:${#caller_rows[@]}/2}" &
first=$!
caller_runs "the test driver (2 of 2)" "$logs/caller-1" "${caller_rows[@]:${#caller_rows[@]}/2}" || status=1
wait "$first" || status=1
echo "device-e2e: the test driver's runs in $((SECONDS - caller_start)) s"

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
  # One run at a time on a unit, under the test machine's coredll.dll too; a read-only target.
  'OneRunAtATime.*' Replacement.AReadOnlyGoldenFileIsRefusedByTheWindowsBuild
  # The driver's route: CE 6.0 and 7 units beside a CE 5.0 one, the image without its driver, and
  # each step of loading and asking it failing.
  'DriverRoute*'
)
# The same machine's and firmware's faults, the call logs, W of both line ends and W's refusals again on CE 6.0
# units (FOLVANE_MACHINE_CE), where every mapping goes through the driver: the same messages,
# statuses, files and calls.
ce6_subset=(
  "$faults/segment_reserve_error_*" "$faults/segment_map_error_*" "$faults/window_reserve_error_*"
  "$faults/window_map_error_*" "$faults/header_checksum_invalid_*" "$faults/entry_address_0xF1234_*"
  "$faults/support_signature_invalid_*" "$faults/scratch_alloc_fail_*" "$faults/fail_getAssetTag_R"
  "$faults/fail_setAssetTag_W" 'CallLog.*' Change.LineFeedAndCarriageReturnFilesGiveTheSameUnit
  TextMode.FilesThatSetNothingAreRefusedAsOnTheDevice
)
filter=$(IFS=:; echo "${subset[*]}")
ce6_filter=$(IFS=:; echo "${ce6_subset[*]}")
export FOLVANE_E2E_PROGRAM="$logs/image/FolvaneCE.exe" FOLVANE_E2E_LAUNCHER=$wine FOLVANE_E2E_WINDOWS=1
export FOLVANE_E2E_DEVICE=1
# shard N: the shard's part of both runs, each into a log of its own.
shard() {
  local failed=0
  GTEST_TOTAL_SHARDS=2 GTEST_SHARD_INDEX=$1 build/default/tests/e2e_tests --gtest_filter="$filter" \
    </dev/null >"$logs/$1" 2>&1 || failed=1
  FOLVANE_MACHINE_CE=6 GTEST_TOTAL_SHARDS=2 GTEST_SHARD_INDEX=$1 build/default/tests/e2e_tests \
    --gtest_filter="$ce6_filter" </dev/null >"$logs/ce6-$1" 2>&1 || failed=1
  return $failed
}
suite_start=$SECONDS
pids=()
for n in 0 1; do
  shard $n &
  pids+=($!)
done
for n in 0 1; do
  wait "${pids[$n]}" || status=1
  cat "$logs/$n"
done
for n in 0 1; do
  echo "device-e2e: on CE 6.0 units (FOLVANE_MACHINE_CE=6), shard $n:"
  cat "$logs/ce6-$n"
done
tests=$(awk '/^\[==========\] [0-9]+ tests? from .* ran\./ { sum += $2 } END { print sum + 0 }' "$logs/0" "$logs/1")
ce6_tests=$(awk '/^\[==========\] [0-9]+ tests? from .* ran\./ { sum += $2 } END { print sum + 0 }' \
  "$logs/ce6-0" "$logs/ce6-1")
echo "device-e2e: $tests tests of the suite, and $ce6_tests again on CE 6.0 units, in two shards in" \
  "$((SECONDS - suite_start)) s"
echo "device-e2e: stage $((SECONDS - start)) s"
exit $status
