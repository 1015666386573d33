#!/usr/bin/env bash
# Peak resident memory of W over data files of 1 MB and 100 MB made of real sections, on the
# default build, with no state file and no call log: W reads a line at a time, so the figure
# must not grow with the file.
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/default/FolvaneCE}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset FOLVANE_MACHINE FOLVANE_MACHINE_LOG

(cd "$work" && "$OLDPWD/$program" R unit.txt >/dev/null)
make_file() {  # make_file BYTES NAME: the unit's file repeated until it holds BYTES
  local target=$1 name=$2
  cp "$work/unit.txt" "$work/$name"
  while [ "$(stat -c %s "$work/$name")" -lt "$target" ]; do
    cat "$work/$name" "$work/$name" > "$work/double" && mv "$work/double" "$work/$name"
  done
  head -c "$target" "$work/$name" > "$work/cut" && mv "$work/cut" "$work/$name"
}

printf '%-8s %12s %14s %9s\n' "file" "bytes" "peak RSS (KB)" "seconds"
for size in 1 100; do
  name="w-${size}mb.txt"
  make_file $((size * 1000 * 1000)) "$name"
  bytes=$(stat -c %s "$work/$name")
  read -r rss seconds < <(cd "$work" && /usr/bin/time -f '%M %e' "$OLDPWD/$program" W "$name" 2>&1 >/dev/null | tail -n 1)
  printf '%-8s %12s %14s %9s\n' "${size} MB" "$bytes" "$rss" "$seconds"
done
