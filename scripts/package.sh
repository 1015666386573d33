#!/usr/bin/env bash
# Builds what an administrator installs, each from a clean build folder, and checks it:
#   build/package-deb/folvanecheck_VERSION_ARCH.deb    FolvaneCheck, its manual page, the README,
#                                   NEWS, the changelog made from NEWS, and the copyright file
#   build/package-device/FolvaneCE-VERSION-standin-not-for-units.zip
#                                   the unit's files, over the stand-in CE SDK: only to test the
#                                   packaging, never for a unit
# Lists both and checks what each holds; runs Debian's checker lintian on the .deb (an error or
# a warning fails; its informational tags are shown); unpacks the .deb into a scratch folder
# and compares its texts with the tree's and its changelog's version with the package's;
# renders the manual page with `groff -ww` (any warning fails) and finds every option of
# FolvaneCheck's usage in it. It needs no root and leaves the system as it was: installing,
# upgrading and purging the package is scripts/package_upgrade.sh's, which CI runs as root.
set -euo pipefail
cd "$(dirname "$0")/.."
deb_dir=build/package-deb
device_dir=build/package-device
logs=$(mktemp -d)
package=folvanecheck
trap 'rm -rf "$logs"' EXIT

step_name=package
source scripts/steps.sh

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
./usr/share/doc/$package/NEWS.gz
./usr/share/doc/$package/README.md.gz
./usr/share/doc/$package/changelog.gz
./usr/share/doc/$package/copyright
./usr/share/man/man1/FolvaneCheck.1.gz"
[ "$files" = "$expected" ] || fail "the .deb holds other files than these:"$'\n'"$expected"

# Debian's checker: no error and no warning (informational tags are shown, and pass).
echo "== lintian $deb"
lintian_failed=false
tags=$(lintian --fail-on error,warning --tag-display-limit 0 -I "$deb" 2>&1) || lintian_failed=true
tags=$(grep -v -x 'running with root privileges is not recommended!' <<<"$tags" || true)
[ -z "$tags" ] || echo "$tags"
! $lintian_failed && ! grep -q '^[EW]: ' <<<"$tags" || fail "lintian finds an error or a warning in $deb"

# The texts as the package holds them: the tree's README and NEWS, and a changelog that Debian's
# parser reads, naming this version and the maintainer.
unpacked=$logs/unpacked
dpkg-deb -x "$deb" "$unpacked"
doc=$unpacked/usr/share/doc/$package
for text in README.md NEWS; do
  gzip -d -c "$doc/$text.gz" | cmp -s - "$text" || fail "$text.gz in the .deb is not the tree's $text"
done
gzip -d -c "$doc/changelog.gz" >"$logs/changelog"
changelog_version=$(dpkg-parsechangelog -l "$logs/changelog" -S Version)
[ "$changelog_version" = "$version" ] || fail "the changelog's newest entry is $changelog_version, not $version"
changelog_maintainer=$(dpkg-parsechangelog -l "$logs/changelog" -S Maintainer)
[ "$changelog_maintainer" = "$(dpkg-deb -f "$deb" Maintainer)" ] ||
  fail "the changelog is signed by $changelog_maintainer, not by the package's maintainer"
echo "== the .deb's README.md.gz and NEWS.gz are the tree's; its changelog.gz is $package $changelog_version"

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
