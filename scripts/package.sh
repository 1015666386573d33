#!/usr/bin/env bash
# Builds what an administrator installs, each from a clean build folder, and checks it:
#   build/package-deb/folvanecheck_VERSION_ARCH.deb    FolvaneCheck, its manual page, the README
#   build/package-device/FolvaneCE-VERSION-standin-not-for-units.zip
#                                   the unit's files, over the stand-in CE SDK: only to test the
#                                   packaging, never for a unit
# Lists both, renders the manual page with `groff -ww` (any warning fails) and finds every option
# of FolvaneCheck's usage in it, then installs the .deb with apt and purges it again (also when a
# step fails, under a trap), checking `FolvaneCheck --version` in between and that none of the
# package's files is left after. Installs and purges as root (through sudo otherwise).
set -euo pipefail
cd "$(dirname "$0")/.."
deb_dir=build/package-deb
device_dir=build/package-device
logs=$(mktemp -d)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
package=folvanecheck
installed=false

fail() {
  echo "package: $*" >&2
  exit 1
}

# The package installed by this run goes again, whatever happened after its installation.
cleanup() {
  if $installed && ! $sudo apt-get purge -y -q -o DPkg::Lock::Timeout=300 "$package" >"$logs/purge" 2>&1; then
    echo "package: could not purge $package again: see $logs/purge" >&2
    return
  fi
  rm -rf "$logs"
}
trap cleanup EXIT

# run LOG COMMAND...: a step's output into its log, shown when the step fails.
run() {
  local log=$logs/$1
  shift
  "$@" >"$log" 2>&1 || { cat "$log" >&2; fail "failed: $*"; }
}

# Both packages from clean build folders: the default preset's build without its suites, and
# the device preset's.
rm -rf "$deb_dir" "$device_dir"
run deb-configure cmake --preset default -B "$deb_dir" -DFOLVANE_TESTS=OFF
run deb-build cmake --build "$deb_dir"
run deb-cpack cpack -B "$deb_dir" --config "$deb_dir/CPackConfig.cmake"
run device-configure cmake --preset device -B "$device_dir"
run device-build cmake --build "$device_dir"
run device-cpack cpack -B "$device_dir" --config "$device_dir/CPackConfig.cmake"

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$deb_dir/CPackConfig.cmake")
[ -n "$version" ] || fail "no version in $deb_dir/CPackConfig.cmake"
deb=$(find "$deb_dir" -maxdepth 1 -name "${package}_${version}_*.deb")
zip=$device_dir/FolvaneCE-$version-standin-not-for-units.zip
[ -n "$deb" ] && [ "$(wc -l <<<"$deb")" -eq 1 ] || fail "not one ${package}_${version}_*.deb in $deb_dir"
[ -f "$zip" ] || fail "no $zip"

echo "== $deb"
dpkg-deb -f "$deb" Package Version Architecture Depends
dpkg-deb -c "$deb"
# What the package holds besides its folders: the checker, its manual page and its texts, and
# not the host FolvaneCE.
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $NF }' | sort)
expected="./usr/bin/FolvaneCheck
./usr/share/doc/$package/README.md
./usr/share/doc/$package/copyright
./usr/share/man/man1/FolvaneCheck.1.gz"
[ "$files" = "$expected" ] || fail "the .deb holds other files than these:"$'\n'"$expected"

echo "== $zip"
unzip -l "$zip"
top=FolvaneCE-$version-standin-not-for-units
names=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
[ "$names" = "$top/FolvaneCE.exe
$top/FolvaneMap.dll
$top/ReadMe.txt" ] || fail "the zip holds other files than $top/FolvaneCE.exe, FolvaneMap.dll and ReadMe.txt"
# The image in the zip shows the same version in its banner (a wide string), and its text
# says that the zip is not for units.
banner=$(IFS=. read -r major minor patch <<<"$version" && printf 'Version %d.%02d.%03d' "$major" "$minor" "$patch")
holds() {  # holds MEMBER TEXT ENCODING: whether the zip's MEMBER holds TEXT so encoded
  python3 -c 'import sys, zipfile
sys.exit(sys.argv[3].encode(sys.argv[4]) not in zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]))' "$zip" "$@"
}
holds "$top/FolvaneCE.exe" "$banner" utf-16-le || fail "FolvaneCE.exe in the zip does not show \"$banner\""
holds "$top/ReadMe.txt" "THIS ZIP IS NOT FOR UNITS" ascii || fail "ReadMe.txt in the zip does not warn"

# The manual page as shipped (its version filled in): no groff warning, every option of the usage.
man_page=$deb_dir/FolvaneCheck.1
warnings=$(groff -ww -z -man "$man_page" 2>&1)
[ -z "$warnings" ] || fail "groff warns about $man_page:"$'\n'"$warnings"
for option in $("$deb_dir/FolvaneCheck" --help | grep -o -E '(^|[ [])--?[a-z][a-z-]*' | tr -d ' [' | sort -u); do
  grep -q -F -- "${option//-/\\-}" "$man_page" || fail "the manual page does not name $option"
done
echo "== $man_page: groff -ww renders it without a warning, naming every option of the usage"

# Installed as an administrator installs it, then purged: nothing of it may stay.
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed; then
  fail "$package is installed on this machine already; this run installs and purges it: remove it first"
fi
installed=true
run install $sudo apt-get install -y -q -o DPkg::Lock::Timeout=300 "$PWD/$deb"
shown=$(FolvaneCheck --version)
[ "$shown" = "FolvaneCheck $version" ] || fail "the installed FolvaneCheck --version says \"$shown\""
[ "$(command -v FolvaneCheck)" = /usr/bin/FolvaneCheck ] || fail "FolvaneCheck is not /usr/bin/FolvaneCheck"
listed=$(dpkg -L "$package")
grep -q -x -F /usr/share/man/man1/FolvaneCheck.1.gz <<<"$listed" || fail "dpkg does not list the manual page"
echo "== installed: $shown"
run purge $sudo apt-get purge -y -q -o DPkg::Lock::Timeout=300 "$package"
installed=false
! dpkg-query -W "$package" >/dev/null 2>&1 || fail "dpkg still knows $package after its purge"
# A folder that another package owns (/usr/bin) stays; nothing else that the package listed.
left=()
while read -r path; do
  [ -e "$path" ] || [ -L "$path" ] || continue
  [ -d "$path" ] && [ ! -L "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1 && continue
  left+=("$path")
done <<<"$listed"
[ ${#left[@]} -eq 0 ] || fail "left after the purge: ${left[*]}"
echo "== purged: none of the $(wc -l <<<"$listed") paths the package listed is left but folders of other packages"
