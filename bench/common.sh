# What the bench scripts share; sourced by them after `set -euo pipefail`.

fail() {
  echo "bench: $*" >&2
  exit 1
}

# make_file SOURCE NAME BYTES: SOURCE repeated, then cut to BYTES, in the folder $work.
make_file() {
  local source=$1 name=$2 bytes=$3
  cp "$work/$source" "$work/$name"
  while [ "$(stat -c %s "$work/$name")" -lt "$bytes" ]; do
    cat "$work/$name" "$work/$name" >"$work/double" && mv "$work/double" "$work/$name"
  done
  head -c "$bytes" "$work/$name" >"$work/cut" && mv "$work/cut" "$work/$name"
}

# find_checker: sets `program` and `checker` to FolvaneCE and FolvaneCheck of the build in
# $build, or, when $build is empty, of the default preset, built first.
find_checker() {
  if [ -z "$build" ]; then
    build=$PWD/build/default
    cmake --preset default >/dev/null
    cmake --build --preset default -j2 --target FolvaneCE FolvaneCheck >/dev/null
  fi
  program=$build/FolvaneCE
  checker=$build/FolvaneCheck
  [ -x "$program" ] && [ -x "$checker" ] || fail "no FolvaneCE and FolvaneCheck in $build"
}
