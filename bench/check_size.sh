#!/usr/bin/env bash
# FolvaneCheck on large files: time and peak memory over files of 1, 8 and 64 MB, each checked
# plain and as the golden file of `--against` (with R's file of the default unit as the unit),
# beside `cat` of the same file. Two kinds of file: one asset tag line as long as the file, and
# R's own output repeated. Fails when a mark is missed: at 64 MB under 8 CPU seconds and under
# 32 MB of peak memory in every case, and 64 MB within 1.5 times the time of 8 MB checked 8 times
# over (one timing of eight runs in a row, so that a lucky short run does not set the baseline).
# Usage: bench/check_size.sh [BUILD_DIR]; BUILD_DIR names another build, already made.
set -euo pipefail
source "$(dirname "$0")/common.sh"
build=""
[ $# -eq 0 ] || build=$(realpath "$1")
cd "$(dirname "$0")/.."
runs=2           # each timing is the best of this many
max_seconds=8    # at 64 MB, CPU seconds
max_kb=32768     # at 64 MB, peak resident memory
max_growth=1.5   # 64 MB against eight runs over 8 MB, in time
floor_seconds=0.16 # eight 8 MB runs below this count as this much, so that timer noise fails nothing

find_checker
[ -x /usr/bin/time ] || fail "no /usr/bin/time (Debian package time)"

unset FOLVANE_MACHINE FOLVANE_MACHINE_LOG
work=$(mktemp -d /tmp/folvane-check-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
(cd "$work" && "$program" R unit.txt >/dev/null) || fail "R failed"

# long_line NAME BYTES: a tag section whose one entry line fills the file, BYTES in all.
long_line() {
  local header=$'Asset Tracking Number\n\t'
  # yes and tr end on the broken pipe when head has enough.
  (set +o pipefail && printf '%s' "$header" && yes 'ROOM-7/' | tr -d '\n' | head -c $(($2 - ${#header} - 1)) && echo) \
    >"$work/$1"
}

# timed NAME COMMAND...: runs COMMAND in the work folder, its output discarded, and keeps in
# cpu[NAME] its least CPU time (user + system) and in rss[NAME] its largest peak resident memory.
declare -A cpu rss
timed() {
  local name=$1 status=0 user sys kb seconds
  shift
  (cd "$work" && /usr/bin/time -f '%U %S %M' -o "$work/usage" "$@" >/dev/null 2>"$work/stderr") || status=$?
  # FolvaneCheck ends with 1 when a file has a warning, as these do.
  [ "$status" -le 1 ] || fail "$* exited with status $status: $(head -c 300 "$work/stderr")"
  read -r user sys kb <<<"$(tail -n 1 "$work/usage")"
  seconds=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
  if [ -z "${cpu[$name]:-}" ] || awk -v a="$seconds" -v b="${cpu[$name]}" 'BEGIN { exit !(a < b) }'; then
    cpu[$name]=$seconds
  fi
  if [ -z "${rss[$name]:-}" ] || [ "$kb" -gt "${rss[$name]}" ]; then rss[$name]=$kb; fi
}

kinds="long r"
sizes="1 8 64"
for kind in $kinds; do
  for mb in $sizes; do
    file=$kind-$mb.txt
    case $kind in
      long) long_line "$file" $((mb * 1048576)) ;;
      r) make_file unit.txt "$file" $((mb * 1048576)) ;;
    esac
    cat "$work/$file" >/dev/null  # in the page cache before the first timing
    for ((i = 0; i < runs; i++)); do
      timed "$file/cat" cat "$file"
      timed "$file/plain" "$checker" "$file"
      timed "$file/against" "$checker" --against "$file" unit.txt
      if [ "$mb" = 8 ]; then
        timed "$file/plain/x8" sh -c 'for i in 1 2 3 4 5 6 7 8; do "$0" "$1" >/dev/null || [ $? -eq 1 ]; done' \
          "$checker" "$file"
        timed "$file/against/x8" sh -c 'for i in 1 2 3 4 5 6 7 8; do "$0" --against "$1" unit.txt >/dev/null || [ $? -eq 1 ]; done' \
          "$checker" "$file"
      fi
    done
    rm -f "$work/$file"
  done
done

echo "Build: $build"
echo "FolvaneCheck FILE and FolvaneCheck --against FILE unit.txt beside cat FILE; output discarded"
echo "CPU seconds (user + system), best of $runs; peak resident memory in KB, the largest"
printf '%-10s %6s %-9s %8s %9s %8s %9s  %s\n' "file" "MB" "check" "CPU s" "KB" "cat s" "cat KB" "met"
missed=0
for kind in $kinds; do
  case $kind in long) shown="long line" ;; r) shown="R output" ;; esac
  for mb in $sizes; do
    file=$kind-$mb.txt
    for mode in plain against; do
      key=$file/$mode ok=""
      if [ "$mb" = 64 ]; then
        small=${cpu[$kind-8.txt/$mode/x8]}
        why=""
        awk -v s="${cpu[$key]}" -v m=$max_seconds 'BEGIN { exit !(s < m) }' || why+=" time"
        [ "${rss[$key]}" -lt $max_kb ] || why+=" memory"
        awk -v b="${cpu[$key]}" -v s="$small" -v f=$floor_seconds -v g=$max_growth \
          'BEGIN { exit !(b <= g * (s > f ? s : f)) }' || why+=" growth"
        ok=yes
        [ -z "$why" ] || { ok="no:${why// /,}" && ok=${ok/:,/:} && missed=$((missed + 1)); }
      fi
      printf '%-10s %6s %-9s %8s %9s %8s %9s  %s\n' "$shown" "$mb" "$mode" "${cpu[$key]}" "${rss[$key]}" \
        "${cpu[$file/cat]}" "${rss[$file/cat]}" "$ok"
    done
  done
done
echo "marks at 64 MB: under $max_seconds CPU s, under $max_kb KB, within ${max_growth}x the time of eight 8 MB runs"
for kind in $kinds; do
  for mode in plain against; do
    printf 'eight runs over 8 MB, %-9s %-8s %8s CPU s\n' "$kind" "$mode" "${cpu[$kind-8.txt/$mode/x8]}"
  done
done
[ "$missed" -eq 0 ] || fail "$missed of the 64 MB cases missed a mark"
