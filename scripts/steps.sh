# Sourced by the packaging scripts: a failure that names the script, and steps whose output is
# kept in a log and shown only when the step fails. The script sets `step_name` and `logs`.

fail() {
  echo "$step_name: $*" >&2
  exit 1
}

# run LOG COMMAND...: a step's output into its log, shown when the step fails.
run() {
  local log=$logs/$1
  shift
  "$@" >"$log" 2>&1 || { cat "$log" >&2; fail "failed: $*"; }
}
