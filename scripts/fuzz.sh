#!/usr/bin/env bash
# Builds the fuzz preset and runs each fuzz target for SECONDS (default 60) from its seed corpus in
# tests/fuzz/corpus, printing per target its executions, executions per second and final coverage
# counters. Exits non-zero on any finding; its input is kept in build/fuzz/findings.
#   bash scripts/fuzz.sh [SECONDS] [--save-corpus] [TARGET...]
# New inputs stay in a scratch corpus unless --save-corpus merges those that add coverage into
# the repo's corpus. TARGET names (change_reader, change, ...) run those targets alone.
set -euo pipefail
cd "$(dirname "$0")/.."

all_targets=(change_reader change sim_state arguments command_splitter firmware_answers map_request)
seconds=60
save=0
targets=()
for arg in "$@"; do
  case $arg in
    --save-corpus) save=1 ;;
    *[!0-9]*) targets+=("$arg") ;;
    *) seconds=$arg ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")
for t in "${targets[@]}"; do
  if [[ " ${all_targets[*]} " != *" $t "* ]]; then
    echo "fuzz: no target '$t'; the targets are: ${all_targets[*]}" >&2
    exit 2
  fi
done

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --parallel "$(nproc)"

# Scratch corpora and the targets' scratch files in memory where the machine has it.
base=${TMPDIR:-/tmp}
[ -d /dev/shm ] && [ -w /dev/shm ] && base=/dev/shm
work=$(mktemp -d "$base/folvane-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
findings=$PWD/build/fuzz/findings
mkdir -p "$findings"
export UBSAN_OPTIONS=print_stacktrace=1

# stat NAME LOG: one of libFuzzer's final statistics.
stat() { sed -n "s/^stat::$1: *//p" "$2" | tail -1; }

failed=0
total=0
printf '%-18s %12s %9s %7s %8s  %s\n' target executions exec/s cov ft result
for t in "${targets[@]}"; do
  corpus=$work/$t
  scratch=$work/scratch-$t
  log=$work/$t.log
  mkdir -p "$corpus" "$scratch"
  # W's seeds are the data files of W's reader, kept once in change_reader's corpus.
  seeds=("$OLDPWD/tests/fuzz/corpus/$t")
  [ "$t" != change ] || seeds+=("$OLDPWD/tests/fuzz/corpus/change_reader")
  status=0
  (cd "$scratch" && TMPDIR=$scratch "$OLDPWD/build/fuzz/tests/fuzz/fuzz_$t" -max_total_time="$seconds" \
    -timeout=30 -print_final_stats=1 -artifact_prefix="$findings/$t-" "$corpus" "${seeds[@]}") \
    >"$log" 2>&1 || status=$?
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$done_line")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$done_line")
  execs=$(stat number_of_executed_units "$log")
  result=clean
  if [ "$status" -ne 0 ] || [ -z "$done_line" ]; then
    result="FINDING (status $status)"
    failed=1
  fi
  printf '%-18s %12s %9s %7s %8s  %s\n' "$t" "${execs:-?}" "$(stat average_exec_per_sec "$log")" \
    "${cov:--}" "${ft:--}" "$result"
  total=$((total + ${execs:-0}))
  if [ "$result" != clean ]; then
    grep -E -A20 'invariant broken|ERROR: (AddressSanitizer|libFuzzer|LeakSanitizer)|runtime error|simulated unit: fault' \
      "$log" | head -60 | sed 's/^/    /'
    grep -E 'Test unit written to' "$log" | sed 's/^/    /' || true
  fi
  if [ "$save" -eq 1 ] && [ "$result" = clean ]; then
    (cd "$scratch" && TMPDIR=$scratch "$OLDPWD/build/fuzz/tests/fuzz/fuzz_$t" -merge=1 \
      "$OLDPWD/tests/fuzz/corpus/$t" "$corpus") >"$log.merge" 2>&1
  fi
done
echo "fuzz: $total executions, $seconds s for each of ${#targets[@]} target(s)"
if [ "$failed" -ne 0 ]; then
  echo "fuzz: findings above; their inputs are in $findings" >&2
fi
exit "$failed"
