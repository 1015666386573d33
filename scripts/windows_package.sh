#!/usr/bin/env bash
# FolvaneCheck for administrators' Windows workstations: builds its packages from clean build
# folders and tests them under 64-bit wine, in a wine prefix made fresh for the run.
#   build/package-windows/FolvaneCheck-VERSION-windows-x64.zip   FolvaneCheck.exe (standing
#       alone: the GNU runtime linked in), README.txt (the README), FolvaneCheck.txt (the manual
#       page rendered) and copyright.txt (docs/copyright), in one folder
#   build/package-windows/FolvaneCheck-VERSION-windows-x64.msi   the same four files, per machine
#       under Program Files, the folder added to the system PATH, registered in "Apps and
#       features" (cmake/windows/FolvaneCheck.wxs, wixl; the PATH entry, which wixl cannot
#       write, added with msibuild)
# Lists both (unzip -l, msiinfo) and checks what each holds and the program's version resource;
# then installs an older build's MSI (the same tree as 2.0.3) silently, upgrades it to this one,
# runs FolvaneCheck --version, a fleet comparison under a folder with a blank and a non-ASCII
# name from lists with CR LF lines and with a UTF-16 byte order mark, --json parsed by Python,
# and the end-to-end tables of FolvaneCheck against the installed program beside the Linux
# build's (needs build/default, which scripts/test.sh builds); uninstalls it silently and checks
# that no file and no registry entry of it is left. Each step says its status.
set -euo pipefail
cd "$(dirname "$0")/.."
# wine takes the arguments' bytes, and names the files it opens, in the locale's encoding.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
out=build/package-windows
old_version=2.0.3
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

step_name=windows-package
source scripts/steps.sh

# ---- the packages

# build DIR [CMAKE ARGS...]: FolvaneCheck.exe of the windows preset in a clean folder.
build() {
  local dir=$1
  shift
  rm -rf "$dir"
  run configure cmake --preset windows -B "$dir" "$@"
  run build cmake --build "$dir" --target FolvaneCheck
}

# crlf < TEXT > TEXT: line feeds as CR LF, for the texts read on Windows.
crlf() { sed 's/$/\r/'; }

# packages BUILD_DIR VERSION: the zip and the MSI of that build, in $out.
packages() {
  local dir=$1 version=$2 name
  name=FolvaneCheck-$version-windows-x64
  local stage=$out/$name
  rm -rf "$stage"
  mkdir -p "$stage"
  x86_64-w64-mingw32-strip -o "$stage/FolvaneCheck.exe" "$dir/FolvaneCheck.exe"
  crlf <README.md >"$stage/README.txt"
  sed "s/@PROJECT_VERSION@/$version/g" docs/FolvaneCheck.1 >"$logs/FolvaneCheck.1"
  groff -man -Tutf8 -P-cbou "$logs/FolvaneCheck.1" 2>"$logs/groff" | crlf >"$stage/FolvaneCheck.txt"
  [ ! -s "$logs/groff" ] || fail "groff: $(cat "$logs/groff")"
  crlf <docs/copyright >"$stage/copyright.txt"
  rm -f "$out/$name.zip" "$out/$name.msi"
  (cd "$out" && zip -q -X -r "$name.zip" "$name")
  run wixl wixl -a x64 -D Version="$version" -D SourceDir="$stage" -o "$out/$name.msi" \
    cmake/windows/FolvaneCheck.wxs
  # The folder at the end of the system PATH while the program is installed ("=-*": set at
  # install, removed at uninstall, the machine's variable; "[~];": appended).
  printf 'Environment\tName\tValue\tComponent_\r\ns72\tl255\tL255\ts72\r\nEnvironment\tEnvironment\r\n%s\r\n' \
    $'Path\t=-*PATH\t[~];[INSTALLDIR]\tProgram' >"$logs/Environment.idt"
  run msibuild msibuild "$out/$name.msi" -i "$logs/Environment.idt" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)"
}

version=$(sed -n 's/^set(FOLVANE_VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no FOLVANE_VERSION in CMakeLists.txt"
[ "$version" != "$old_version" ] || fail "the upgrade test's older version is this one, $version"
mkdir -p "$out"
build "$out/build"
packages "$out/build" "$version"
build "$out/build-$old_version" -DFOLVANE_VERSION="$old_version"
packages "$out/build-$old_version" "$old_version"
name=FolvaneCheck-$version-windows-x64
zip=$out/$name.zip
msi=$out/$name.msi
old_msi=$out/FolvaneCheck-$old_version-windows-x64.msi

echo "== $zip"
unzip -l "$zip"
names=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
[ "$names" = "$name/FolvaneCheck.exe
$name/FolvaneCheck.txt
$name/README.txt
$name/copyright.txt" ] || fail "the zip holds other files than FolvaneCheck.exe, FolvaneCheck.txt, README.txt, copyright.txt"
# A program that stands alone: x86-64, and no DLL but the system's.
exe=$out/$name/FolvaneCheck.exe
file -b "$exe" | grep -q 'PE32+ executable (console) x86-64' || fail "FolvaneCheck.exe is no x86-64 console program"
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
[ "$dlls" = "kernel32.dll msvcrt.dll " ] || fail "FolvaneCheck.exe needs DLLs beside the system's: $dlls"
echo "FolvaneCheck.exe imports: $dlls"
# Its version resource: the wide strings of FileVersion and ProductVersion.
resource=$(strings -e l "$exe" | grep -A1 -x -E 'FileVersion|ProductVersion' | tr '\n' ' ')
[ "$resource" = "FileVersion $version -- ProductVersion $version " ] ||
  fail "FolvaneCheck.exe's version resource: $resource"
echo "FolvaneCheck.exe's version resource: $resource"
grep -q "FolvaneCE $version" "$out/$name/FolvaneCheck.txt" || fail "FolvaneCheck.txt does not name version $version"
cmp -s <(tr -d '\r' <"$out/$name/README.txt") README.md || fail "README.txt is not the tree's README.md"

echo "== $msi: $(stat -c %s "$msi") bytes"
msiinfo suminfo "$msi" | grep -E '^(Subject|Author|Template|Version)'
msiinfo tables "$msi" | sort | tr '\n' ' '
echo
for table in Property Upgrade Directory Component File Environment; do
  echo "-- $table"
  msiinfo export "$msi" "$table" | tr -d '\r' | tail -n +4
done
property() { msiinfo export "$1" Property | tr -d '\r' | awk -F '\t' -v key="$2" '$1 == key { print $2 }'; }
[ "$(property "$msi" ProductVersion)" = "$version" ] || fail "the MSI's ProductVersion is not $version"
[ "$(property "$msi" ALLUSERS)" = 1 ] || fail "the MSI installs per user"
upgrade_code=$(property "$msi" UpgradeCode)
[ "$upgrade_code" = "$(property "$old_msi" UpgradeCode)" ] || fail "the MSIs of $old_version and $version differ in upgrade code"
msiinfo suminfo "$msi" | grep -q '^Template: x64;1033' || fail "the MSI is no x64 package"

# ---- under 64-bit wine, in a fresh prefix

source scripts/wine_setup.sh
prefix=$PWD/$out/wineprefix
rm -rf "$prefix"
wine_start "$prefix" 64 "" windows-package
trap 'wine_stop; rm -rf "$logs"' EXIT
program='C:\Program Files\FolvaneCheck\FolvaneCheck.exe'
program_dir="$prefix/drive_c/Program Files/FolvaneCheck"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
environment_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'

# step NAME EXPECTED_STATUS COMMAND...: runs a step and says its status.
step() {
  local what=$1 expected=$2 status=0
  shift 2
  "$@" >"$logs/step" 2>&1 </dev/null || status=$?
  # Wine now and then does not start a program at all: status 1 and no output, which none of
  # these steps ends with by itself (none runs FolvaneCheck --quiet). Such a step is made once
  # more, and said.
  if [ "$status" -eq 1 ] && [ ! -s "$logs/step" ]; then
    echo "$what: wine did not start it (status 1, no output); once more"
    status=0
    "$@" >"$logs/step" 2>&1 </dev/null || status=$?
  fi
  echo "$what: status $status"
  [ "$status" -eq "$expected" ] || { cat "$logs/step" >&2; fail "$what: status $status, not $expected"; }
}
windows_path() { echo "Z:${1//\//\\}"; }  # a folder of this machine as wine's programs name it
registered() { "$wine" reg query "$uninstall_key\\$(property "$1" ProductCode)" /v DisplayVersion 2>/dev/null; }

step "msiexec /i $(basename "$old_msi") /qn" 0 "$wine" msiexec /i "$(windows_path "$PWD/$old_msi")" /qn
[ "$("$wine" "$program" --version)" = "FolvaneCheck $old_version" ] || fail "the installed $old_version"
# By its name alone, through the PATH, as cmd splits the line and the runtime splits it again.
# (Only here: wine's installer leaves the ";" before the entry it removes at the upgrade, and
# wine's cmd stops searching the PATH at an empty entry.)
step 'cmd /c FolvaneCheck --version (through PATH)' 0 "$wine" cmd /c 'FolvaneCheck --version'
[ "$(tr -d '\r' <"$logs/step")" = "FolvaneCheck $old_version" ] || fail "FolvaneCheck through PATH: $(cat "$logs/step")"
step "msiexec /i $(basename "$msi") /qn (the upgrade)" 0 "$wine" msiexec /i "$(windows_path "$PWD/$msi")" /qn
! registered "$old_msi" >/dev/null || fail "$old_version is still registered after the upgrade"
entry=$(registered "$msi") || fail "$version is not registered in Apps and features"
grep -q "DisplayVersion *REG_SZ *$version" <<<"$entry" || fail "Apps and features shows another version: $entry"
echo "Apps and features: $(grep DisplayVersion <<<"$entry" | tr -s ' ')"
# ERROR_INSTALL_FAILURE, 1603, of which a Linux exit status keeps the low byte.
step "msiexec /i $(basename "$old_msi") /qn (a downgrade, refused)" $((1603 % 256)) \
  "$wine" msiexec /i "$(windows_path "$PWD/$old_msi")" /qn
ls -l "$program_dir"

step "FolvaneCheck --version" 0 "$wine" "$program" --version
[ "$(cat "$logs/step")" = "FolvaneCheck $version" ] || fail "--version prints $(cat "$logs/step")"
path=$("$wine" reg query "$environment_key" /v PATH)
[ "$(grep -o -F 'C:\Program Files\FolvaneCheck\' <<<"$path" | wc -l)" -eq 1 ] ||
  fail "the system PATH does not name the program's folder once: $path"
echo "system PATH: $(grep PATH <<<"$path" | tr -s ' ')"

# A fleet under a folder with a blank and a non-ASCII name, named in every form: drive letter
# and backslashes, forward slashes, relative; lists with CR LF lines (UTF-8) and in UTF-16.
fleet_dir="$prefix/drive_c/Fleet data/Flöte 2"
fleet='C:\Fleet data\Flöte 2'
mkdir -p "$fleet_dir"
printf 'Numlock\r\n\t*On\r\n' >"$fleet_dir/golden.txt"
printf 'Numlock\r\n\t*Off\r\n\tOn\r\n' >"$fleet_dir/désk 1.txt"
printf 'Numlock\r\n\tOff\r\n\t*On\r\n' >"$fleet_dir/单位 2.txt"
printf '%s\r\n%s\r\n' "$fleet\\désk 1.txt" "C:/Fleet data/Flöte 2/单位 2.txt" >"$fleet_dir/units crlf.txt"
printf '\xFF\xFE' >"$fleet_dir/units utf16.txt"
printf 'désk 1.txt\r\n单位 2.txt\r\n' | iconv -f UTF-8 -t UTF-16LE >>"$fleet_dir/units utf16.txt"
expected="$fleet\\désk 1.txt: Numlock: Off -> On ($fleet\\golden.txt:2)
C:/Fleet data/Flöte 2/单位 2.txt: matches $fleet\\golden.txt
désk 1.txt: Numlock: Off -> On ($fleet\\golden.txt:2)
单位 2.txt: matches $fleet\\golden.txt
2 of 4 units differ from $fleet\\golden.txt (2 settings)"
comparison=(--against "$fleet\\golden.txt" --units-from "$fleet\\units crlf.txt" --units-from "units utf16.txt")
cd "$fleet_dir"
step "FolvaneCheck ${comparison[*]}" 1 "$wine" "$program" "${comparison[@]}"
cat "$logs/step"
[ "$(cat "$logs/step")" = "$expected" ] || fail "the fleet's comparison, not:"$'\n'"$expected"
step "FolvaneCheck --json ${comparison[*]}" 1 "$wine" "$program" --json "${comparison[@]}"
python3 - "$logs/step" "$fleet" <<'EOF' || fail "the fleet's JSON Lines"
import json, sys
records = [json.loads(line) for line in open(sys.argv[1], encoding="ascii").read().split("\n")[:-1]]
fleet = sys.argv[2]
units = [(r["unit"], r["status"]) for r in records if r["kind"] == "unit"]
assert units == [(fleet + "\\d\u00e9sk 1.txt", "differs"), ("C:/Fleet data/Fl\u00f6te 2/\u5355\u4f4d 2.txt", "match"),
                 ("d\u00e9sk 1.txt", "differs"), ("\u5355\u4f4d 2.txt", "match")], units
summary = records[-1]
assert summary["kind"] == "summary" and summary["golden"] == fleet + "\\golden.txt", summary
assert (summary["units"], summary["differing"], summary["settings"]) == (4, 2, 2), summary
print(f"--json: {len(records)} records parsed, the units {[u for u, _ in units]}, summary {summary['message']}")
EOF
# To a console (wine's, drawn on a terminal that script(1) gives it) the lines go out as wide
# characters: the names arrive whole, where UTF-8's bytes read in the console's code page would not.
console_run=$(printf '%q ' "$wine" "$program" --against "$fleet\golden.txt" "$fleet\désk 1.txt")
console=$(script -q -c "$console_run" /dev/null </dev/null | tr -d '\r' || true)
# (The console wraps the line at its width.)
grep -q -F "$fleet\désk 1.txt: Numlock: Off -> On" <<<"$console" || fail "to a console, not the names whole: $console"
echo "to a console: $(grep -o -F "$fleet\désk 1.txt: Numlock: Off -> On" <<<"$console")..."
# Arguments as the runtime splits the command line by Microsoft's rules, which wine writes from
# these words: a backslash before the closing quote is the folder's, one before a quote inside
# an argument makes the quote part of it.
step "FolvaneCheck '$fleet\\' 'a\"b.txt'" 2 "$wine" "$program" "$fleet\\" 'a"b.txt'
expected="$fleet\\: error: not a regular file; skipped
\"a\\\"b.txt\": error: cannot open the file (Invalid argument)"
[ "$(cat "$logs/step")" = "$expected" ] || fail "the arguments, not:"$'\n'"$expected"$'\nbut:\n'"$(cat "$logs/step")"
cat "$logs/step"
cd - >/dev/null

# The end-to-end tables of FolvaneCheck on both builds: the Windows one skips, and says why in
# the tests, only the names that no Windows file can have.
tables='CheckCommandLine.*:Version.FolvaneCheck*'
[ -x build/default/tests/e2e_tests ] || fail "no build/default/tests/e2e_tests (scripts/test.sh builds it)"
passes() { grep -E '^\[  (PASSED|SKIPPED|FAILED) +\] [0-9]' "$1" | tr -s ' \n' ' '; }
linux_status=0
build/default/tests/e2e_tests --gtest_filter="$tables" >"$logs/linux" 2>&1 || linux_status=$?
windows_status=0
FOLVANE_E2E_CHECK_PROGRAM="$program_dir/FolvaneCheck.exe" FOLVANE_E2E_CHECK_LAUNCHER=$wine \
  build/default/tests/e2e_tests --gtest_filter="$tables" >"$logs/windows" 2>&1 || windows_status=$?
echo "e2e tables ($tables): Linux build: $(passes "$logs/linux"); Windows build under wine: $(passes "$logs/windows")"
[ $linux_status -eq 0 ] || { cat "$logs/linux" >&2; fail "the e2e tables fail on the Linux build"; }
[ $windows_status -eq 0 ] || { cat "$logs/windows" >&2; fail "the e2e tables fail on the Windows build"; }
echo "check_json.py, Linux build: $(python3 tests/e2e/check_json.py build/default/FolvaneCheck)"
echo "check_json.py, Windows build: $(FOLVANE_E2E_CHECK_LAUNCHER=$wine python3 tests/e2e/check_json.py "$program_dir/FolvaneCheck.exe")"

step "msiexec /x $(basename "$msi") /qn" 0 "$wine" msiexec /x "$(windows_path "$PWD/$msi")" /qn
! registered "$msi" >/dev/null || fail "still registered in Apps and features after the uninstall"
path=$("$wine" reg query "$environment_key" /v PATH)
! grep -q -i folvane <<<"$path" || fail "the system PATH still names the program's folder"
rm -rf "$prefix/drive_c/Fleet data"
wine_stop # the server writes the registry out as it ends
left=$(find "$prefix/drive_c" -iname '*folvane*' -o -ipath '*/windows/installer/*.msi')
[ -z "$left" ] || fail "files left after the uninstall:"$'\n'"$left"
# The installer's keys name the codes "packed" (each group's hexadecimal digits reversed).
packed() {
  python3 -c 'import sys; g = sys.argv[1].strip("{}").replace("-", "")
print(g[7::-1] + g[11:7:-1] + g[15:11:-1] + "".join(g[i + 1] + g[i] for i in range(16, 32, 2)))' "$1"
}
codes="$upgrade_code|$(packed "$upgrade_code")|$(property "$msi" ProductCode)|$(packed "$(property "$msi" ProductCode)")"
left=$(grep -i -n -E "folvane|${codes//[\{\}]/}" "$prefix"/*.reg || true)
[ -z "$left" ] || fail "registry entries left after the uninstall:"$'\n'"$left"
echo "after the uninstall: no file and no registry entry names FolvaneCheck or its upgrade code"
