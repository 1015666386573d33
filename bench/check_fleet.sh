#!/usr/bin/env bash
# The fleet bench: FolvaneCheck --against one golden file over 10,000 units' files, named on the
# command line and through --units-from, beside cat of the same files; and the checker's peak
# memory for those and for a list of 100,000 lines (each file ten times). The units' files are R's own output on 200 simulated units with varied
# settings (a quarter of them as the golden file sets them up), each copied 50 times with a tag
# of its own; the golden file is the default unit's, made fit for a fleet (no tag section, a
# blank entry line for the power-on password).
# Usage: bench/check_fleet.sh [BUILD_DIR]; BUILD_DIR names another build, already made.
set -euo pipefail
source "$(dirname "$0")/common.sh"
build=""
[ $# -eq 0 ] || build=$(realpath "$1")
cd "$(dirname "$0")/.."
runs=3       # each timing is the best of this many, interleaved
units=200    # simulated units that R runs on
copies=50    # files per unit, each with its own tag

find_checker

unset FOLVANE_MACHINE FOLVANE_MACHINE_LOG
work=$(mktemp -d /tmp/folvane-fleet-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/units" "$work/states"

# The golden file, as the README's fleet section makes it.
(cd "$work" && "$program" R golden.txt >/dev/null) || fail "R failed"
sed -i -e '/^Power-On Password$/a\	' -e '/^Asset Tracking Number$/,/^[^[:space:]]/{/^Asset Tracking Number$/d;/^[[:space:]]/d}' \
  "$work/golden.txt"

# Units with settings drawn from a fixed seed: every choice, the parallel mode word, boot
# orders of 1 to 6 devices, wake days and times, passwords set or not; and every fourth unit as
# the golden file would leave it.
RANDOM=17
pick() { echo $((RANDOM % $1)); }
for ((u = 0; u < units; u++)); do
  if ((u % 4 == 0)); then  # a quarter of the fleet is set up as the golden unit already
    echo 'asset_tag = "UNIT"' >"$work/states/$u.state"
    (cd "$work" && FOLVANE_MACHINE="states/$u.state" "$program" R "units/r$u.txt" >/dev/null) || fail "R failed"
    continue
  fi
  boot=""
  for ((i = 0; i <= $(pick 6); i++)); do boot+="$(pick 7) "; done
  cat >"$work/states/$u.state" <<EOF
admin_password = "$([ "$(pick 2)" -eq 0 ] && echo a)"
user_password = "$([ "$(pick 2)" -eq 0 ] && echo u)"
asset_tag = "UNIT"
serial_port = $(pick 5)
parallel_port = $(pick 4)
parallel_mode = $(($(pick 2) << 8 | $(pick 4)))
epp_type = $(pick 2)
boot_sequence = $boot
ps2_port = $(pick 2)
power_on_after_fail = $(pick 3)
usb_controller = $(pick 2)
wake_days = $(pick 128)
wake_hour = $(pick 24)
wake_minute = $(pick 60)
numlock = $(pick 2)
s3_support = $(pick 2)
EOF
  (cd "$work" && FOLVANE_MACHINE="states/$u.state" "$program" R "units/r$u.txt" >/dev/null) || fail "R failed on unit $u"
done
# Each unit's file 50 times, with a tag of its own in place of UNIT.
for ((u = 0; u < units; u++)); do
  text=$(<"$work/units/r$u.txt")
  for ((c = 0; c < copies; c++)); do
    printf '%s\n' "${text/	UNIT/	DESK-$u-$c}" >"$work/units/desk-$u-$c.txt"
  done
  rm "$work/units/r$u.txt"
done
files=()
for f in "$work"/units/*.txt; do files+=("units/${f##*/}"); done  # named from the work folder
count=${#files[@]}
bytes=$(cat "$work"/units/*.txt | wc -c)
printf '%s\n' "${files[@]}" >"$work/list.txt"
for ((i = 0; i < 10; i++)); do cat "$work/list.txt"; done >"$work/long-list.txt"
long_count=$(wc -l <"$work/long-list.txt")

# timed COMMAND...: runs COMMAND in the work folder, its output discarded; sets `cpu` to its CPU
# seconds (user + system) and `wall` to its elapsed seconds.
timed() {
  local TIMEFORMAT='%3R %3U %3S' status=0 real user sys
  { time (cd "$work" && "$@" >/dev/null 2>"$work/stderr") || status=$?; } 2>"$work/times"
  [ "$status" -le 1 ] || fail "$* exited with status $status: $(head -3 "$work/stderr")"
  read -r real user sys <"$work/times"
  cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f", u + s }')
  wall=$real
}
declare -A best_cpu best_wall
keep() {
  if [ -z "${best_cpu[$1]:-}" ] || awk -v a="$cpu" -v b="${best_cpu[$1]}" 'BEGIN { exit !(a < b) }'; then
    best_cpu[$1]=$cpu
  fi
  if [ -z "${best_wall[$1]:-}" ] || awk -v a="$wall" -v b="${best_wall[$1]}" 'BEGIN { exit !(a < b) }'; then
    best_wall[$1]=$wall
  fi
}

cat "$work"/units/*.txt >/dev/null  # in the page cache before the first timing
for ((i = 0; i < runs; i++)); do
  timed cat "${files[@]}" && keep cat
  timed "$checker" --against golden.txt "${files[@]}" && keep check
  timed "$checker" --against golden.txt --units-from list.txt && keep list
done

# peak COMMAND...: the command's peak resident memory in KB, run in the work folder.
peak() {
  (cd "$work" && /usr/bin/time -f %M -o "$work/peak" "$@" >/dev/null 2>&1) || [ $? -le 1 ] || fail "$* failed"
  tail -n 1 "$work/peak"  # after a line on a status other than 0
}
peak_args=$(peak "$checker" --against golden.txt "${files[@]}")
peak_list=$(peak "$checker" --against golden.txt --units-from list.txt)
peak_long=$(peak "$checker" --against golden.txt --units-from long-list.txt)
long_summary=$(cd "$work" && "$checker" --quiet --against golden.txt --units-from - <long-list.txt) || true
summary=$(cd "$work" && "$checker" --against golden.txt "${files[@]}" | tail -n 1) || true

echo "Build: $build"
echo "$count units' files, $bytes bytes; golden file: the default unit's, fit for a fleet"
echo "FolvaneCheck: $summary"
echo
echo "Times over all files: best of $runs, CPU seconds (user + system) and wall seconds"
printf '%-56s %8s %8s %12s\n' "command" "CPU s" "wall s" "files/s"
for name in cat check list; do
  case $name in
    cat) shown="cat units/*.txt" ;;
    check) shown="FolvaneCheck --against golden.txt ..." ;;
    list) shown="FolvaneCheck --against golden.txt --units-from list.txt" ;;
  esac
  printf '%-56s %8s %8s %12s\n' "$shown" "${best_cpu[$name]}" "${best_wall[$name]}" \
    "$(awk -v n="$count" -v s="${best_wall[$name]}" 'BEGIN { printf "%.0f", n / (s > 0 ? s : 0.001) }')"
done
printf '%-56s %8s %8s\n' "FolvaneCheck / cat" \
  "$(awk -v a="${best_cpu[check]}" -v b="${best_cpu[cat]}" 'BEGIN { printf "%.1f", a / (b > 0 ? b : 0.001) }')" \
  "$(awk -v a="${best_wall[check]}" -v b="${best_wall[cat]}" 'BEGIN { printf "%.1f", a / (b > 0 ? b : 0.001) }')"
echo
echo "Peak memory of FolvaneCheck (maximum resident set, KB)"
printf '%-56s %8s\n' "$count units on the command line" "$peak_args"
printf '%-56s %8s\n' "$count units from --units-from list.txt" "$peak_list"
printf '%-56s %8s\n' "$long_count units from --units-from long-list.txt" "$peak_long"
echo "--quiet --units-from - <long-list.txt: $long_summary"
