#!/usr/bin/env bash
# The Debian package installed, upgraded and purged on this machine, as an administrator does
# it (a stage of CI, which runs it as root; through sudo otherwise). Builds the same tree once
# more as an older version (2.0.3, the CMake variable FOLVANE_VERSION) in build/package-deb-old,
# installs that, upgrades it with `apt-get install ./build/package-deb/folvanecheck_VERSION_ARCH.deb`
# (the package scripts/package.sh made, which runs first), checks `FolvaneCheck --version` and
# dpkg's version after each, purges, and checks that nothing of either version is left: no
# file, no folder but those of other packages, and no record in dpkg. The package goes again
# also when a step fails, under a trap. Refuses to run where the package is installed already.
set -euo pipefail
cd "$(dirname "$0")/.."
package=folvanecheck
new_dir=build/package-deb
old_dir=build/package-deb-old
old_version=2.0.3
logs=$(mktemp -d)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
installed=false

step_name=package-upgrade
source scripts/steps.sh

# The package installed by this run goes again, whatever happened after its installation.
cleanup() {
  if $installed && ! $sudo apt-get purge -y -q -o DPkg::Lock::Timeout=300 "$package" >"$logs/purge" 2>&1; then
    echo "package-upgrade: could not purge $package again: see $logs/purge" >&2
    return
  fi
  rm -rf "$logs"
}
trap cleanup EXIT

# version_of BUILD_DIR: the version CPack gave that build's packages.
version_of() {
  sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$1/CPackConfig.cmake" 2>/dev/null || true
}

# deb_in BUILD_DIR VERSION: the one .deb of that version there.
deb_in() {
  local found
  found=$(find "$1" -maxdepth 1 -name "${package}_$2_*.deb")
  [ -n "$found" ] && [ "$(wc -l <<<"$found")" -eq 1 ] || fail "not one ${package}_$2_*.deb in $1"
  echo "$found"
}

# shows VERSION: the installed package is that version, and its FolvaneCheck says so.
shows() {
  local shown dpkg_version
  shown=$(FolvaneCheck --version)
  [ "$shown" = "FolvaneCheck $1" ] || fail "the installed FolvaneCheck --version says \"$shown\", not FolvaneCheck $1"
  [ "$(command -v FolvaneCheck)" = /usr/bin/FolvaneCheck ] || fail "FolvaneCheck is not /usr/bin/FolvaneCheck"
  dpkg_version=$(dpkg-query -W -f='${Version}' "$package")
  [ "$dpkg_version" = "$1" ] || fail "dpkg has $package $dpkg_version installed, not $1"
  echo "== installed $package $dpkg_version: FolvaneCheck --version says \"$shown\""
}

new_version=$(version_of "$new_dir")
[ -n "$new_version" ] || fail "no package in $new_dir: run scripts/package.sh first"
new_deb=$(deb_in "$new_dir" "$new_version")
dpkg --compare-versions "$old_version" lt "$new_version" ||
  fail "the tree's version $new_version is not newer than $old_version: nothing to upgrade"

# The same tree as the older version, from a clean build folder, without its suites (the
# device banner's test holds the banner to the build's version).
rm -rf "$old_dir"
run old-configure cmake --preset default -B "$old_dir" -DFOLVANE_TESTS=OFF -DFOLVANE_VERSION="$old_version"
run old-build cmake --build "$old_dir"
run old-cpack cpack -B "$old_dir" --config "$old_dir/CPackConfig.cmake"
[ "$(version_of "$old_dir")" = "$old_version" ] || fail "$old_dir was not built as $old_version"
old_deb=$(deb_in "$old_dir" "$old_version")
echo "== built $old_deb from the same tree"

if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed; then
  fail "$package is installed on this machine already; this run installs and purges it: remove it first"
fi

apt_get=($sudo apt-get -y -q -o DPkg::Lock::Timeout=300)
installed=true
run install-old "${apt_get[@]}" install "./$old_deb"
shows "$old_version"
listed=$(dpkg -L "$package")

run upgrade "${apt_get[@]}" install "./$new_deb"
grep -E "^(Unpacking|Setting up) $package" "$logs/upgrade" || true
shows "$new_version"
newest=$(gzip -d -c "/usr/share/doc/$package/changelog.gz" | head -n 1)
[[ "$newest" == "$package ($new_version) "* ]] || fail "the installed changelog begins \"$newest\""
echo "== its changelog begins: $newest"
listed+=$'\n'$(dpkg -L "$package")

run purge "${apt_get[@]}" purge "$package"
installed=false
! dpkg-query -W "$package" >/dev/null 2>&1 || fail "dpkg still knows $package after its purge"
# A folder that another package owns (/usr/bin) stays; nothing else that either version listed.
left=()
while read -r path; do
  [ -e "$path" ] || [ -L "$path" ] || continue
  [ -d "$path" ] && [ ! -L "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1 && continue
  left+=("$path")
done < <(sort -u <<<"$listed")
[ ${#left[@]} -eq 0 ] || fail "left after the purge: ${left[*]}"
echo "== purged: none of the $(sort -u <<<"$listed" | wc -l) paths that $old_version and $new_version listed is left but folders of other packages"
