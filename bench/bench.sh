#!/usr/bin/env bash
# The bench: W's throughput beside the bare 256-byte line input and wc -l, W's peak memory, the
# firmware calls of R and W for the example file and the device image's size, printed as tables;
# then FolvaneCheck on large files (bench/check_size.sh), which fails when it misses a mark.
# Runs on the default build, against the default unit with no state file and no call log.
# Usage: bench/bench.sh [BUILD_DIR]; BUILD_DIR names another build, already made, to compare with.
set -euo pipefail
source "$(dirname "$0")/common.sh"
build=""
[ $# -eq 0 ] || build=$(realpath "$1")  # as the caller named it, before the cd
cd "$(dirname "$0")/.."
runs=3        # each timing is the best of this many, interleaved so that drift hits all alike
big=100000000 # 100 MB
small=1000000 # 1 MB

if [ -z "$build" ]; then
  build=$PWD/build/default
  cmake --preset default >/dev/null
  cmake --build --preset default -j2 --target FolvaneCE FolvaneCheck bench_line_loop >/dev/null
fi
program=$build/FolvaneCE
loop=$build/bench/bench_line_loop
[ -x "$program" ] && [ -x "$loop" ] || fail "no FolvaneCE and bench/bench_line_loop in $build"
build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)

unset FOLVANE_MACHINE FOLVANE_MACHINE_LOG
work=$(mktemp -d /tmp/folvane-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

# in_work COMMAND...: runs COMMAND in the work folder, where the data files have relative names
# (FolvaneCE takes an argument that starts with / for an option).
in_work() { (cd "$work" && "$@"); }

# timed COMMAND...: runs COMMAND in the work folder, its output discarded, and sets `seconds`
# to its CPU time (user + system, which another process on the machine disturbs less than the
# wall clock) and `kb` to its peak resident memory. COMMAND must end with `status` (0 unless
# the caller sets it: W ends a file that names no section with 1, after reading all of it).
timed() {
  local TIMEFORMAT='%3U %3S' status=0 user sys
  { time in_work /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>"$work/stderr"; } 2>"$work/times" || status=$?
  [ "$status" -eq "${status_of_run:-0}" ] || fail "$* exited with status $status: $(cat "$work/stderr")"
  read -r user sys <"$work/times"
  seconds=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f", u + s }')
  kb=$(tail -n 1 "$work/rss")
}


# calls COMMAND...: the number of firmware calls COMMAND makes, from a call log of its own;
# COMMAND must end with `status_of_run` (0 unless the caller sets it).
calls() {
  local status=0
  rm -f "$work/calls.log"
  in_work env FOLVANE_MACHINE_LOG="$work/calls.log" "$@" >/dev/null 2>&1 || status=$?
  [ "$status" -eq "${status_of_run:-0}" ] || fail "$* exited with status $status"
  wc -l <"$work/calls.log"
}

# The example file is R's file of the default unit; the unknown sections are the same lines
# with every header renamed so that it names no section, which W reads and passes over, to end
# with status 1 since the file sets nothing.
in_work "$program" R example.txt >/dev/null || fail "R failed"
sed 's/^[^[:space:]]/Unknown &/' "$work/example.txt" >"$work/unknown.txt"
r_calls=$(calls "$program" R r.txt)
w_calls=$(calls "$program" W example.txt)
unknown_calls=$(status_of_run=1 calls "$program" W unknown.txt)
[ "$unknown_calls" -eq 1 ] || fail "W made $unknown_calls firmware calls over the unknown sections, not the support check alone"
read -r device_exe device_text < <(bash scripts/device_build.sh --quiet) || fail "the device build failed"

# measure_file FILE [STATUS]: times the line loop, wc -l and W over FILE, once per run, keeping
# for each the least CPU time in cpu[FILE/NAME] and the largest peak memory in rss[FILE/NAME].
# STATUS is W's over the file (0 unless given).
declare -A cpu rss
keep() {  # keep KEY: folds the last timing into the figures of KEY
  if [ -z "${cpu[$1]:-}" ] || awk -v a="$seconds" -v b="${cpu[$1]}" 'BEGIN { exit !(a < b) }'; then
    cpu[$1]=$seconds
  fi
  if [ -z "${rss[$1]:-}" ] || [ "$kb" -gt "${rss[$1]}" ]; then rss[$1]=$kb; fi
}
measure_file() {
  local file=$1 w_status=${2:-0} i
  cat "$work/$file" >/dev/null  # in the page cache before the first timing
  for ((i = 0; i < runs; i++)); do
    timed "$loop" "$file" && keep "$file/loop"
    timed wc -l "$file" && keep "$file/wc"
    status_of_run=$w_status timed "$program" W "$file" && keep "$file/W"
  done
}

# One 100 MB file at a time, to keep /tmp small; the 1 MB file is the start of the real one.
make_file example.txt real-100mb.txt $big
head -c $small "$work/real-100mb.txt" >"$work/real-1mb.txt"
measure_file real-100mb.txt
rm -f "$work/real-100mb.txt"
make_file unknown.txt unknown-100mb.txt $big
measure_file unknown-100mb.txt 1
rm -f "$work/unknown-100mb.txt"
for ((i = 0; i < runs; i++)); do
  timed "$program" W real-1mb.txt && keep small
done

ratio() { awk -v loop="$1" -v other="$2" 'BEGIN { printf "%.2f", loop / (other > 0 ? other : 0.001) }'; }
met() { if awk "BEGIN { exit !($1) }"; then echo yes; else echo no; fi; }

echo "Build: $build (${build_type:-build type not set})"
echo
echo "Throughput over 100 MB files: CPU seconds (user + system), best of $runs"
printf '%-17s %-10s %8s %9s %9s %9s %5s\n' "file" "program" "CPU s" "MB/s" "of loop" "aim" "met"
for file in real-100mb.txt unknown-100mb.txt; do
  label="real sections"
  [ "$file" = unknown-100mb.txt ] && label="unknown sections"
  for name in loop wc W; do
    seconds=${cpu[$file/$name]}
    fraction=$(ratio "${cpu[$file/loop]}" "$seconds")
    aim="" ok=""
    if [ "$file" = unknown-100mb.txt ] && [ "$name" = W ]; then
      aim=">= 0.80" ok=$(met "$fraction >= 0.8")
    fi
    case $name in loop) shown="line loop" ;; wc) shown="wc -l" ;; W) shown="W" ;; esac
    printf '%-17s %-10s %8s %9s %9s %9s %5s\n' "$label" "$shown" "$seconds" \
      "$(awk -v s="$seconds" -v b=$big 'BEGIN { printf "%.1f", b / 1e6 / (s > 0 ? s : 0.001) }')" \
      "$fraction" "$aim" "$ok"
  done
done
echo
rss_small=${rss[small]} rss_big=${rss[real-100mb.txt/W]}
rss_growth=$((rss_big - rss_small))
printf '%-42s %9s %9s %5s\n' "figure" "value" "aim" "met"
printf '%-42s %9s %9s %5s\n' "W peak resident memory, 1 MB file (KB)" "$rss_small" "" ""
printf '%-42s %9s %9s %5s\n' "W peak resident memory, 100 MB file (KB)" "$rss_big" "" ""
printf '%-42s %9s %9s %5s\n' "W peak memory, 100 MB less 1 MB (KB)" "$rss_growth" "<= 1024" \
  "$(met "$rss_growth <= 1024 && $rss_growth >= -1024")"
printf '%-42s %9s %9s %5s\n' "firmware calls of R, example file" "$r_calls" "15" "$(met "$r_calls == 15")"
printf '%-42s %9s %9s %5s\n' "firmware calls of W, example file" "$w_calls" "16" "$(met "$w_calls == 16")"
printf '%-42s %9s %9s %5s\n' "device image FolvaneCE.exe (bytes)" "$device_exe" "" ""
printf '%-42s %9s %9s %5s\n' "device image .text at -Os (bytes)" "$device_text" "< 32768" \
  "$(met "$device_text < 32768")"
echo
bash bench/check_size.sh "$build"
