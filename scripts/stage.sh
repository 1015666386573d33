# Sourced by scripts/test.sh and .ci/run: their stages, each timed.

# stage NAME COMMAND...: runs a command (a function of the script too) and says how long it took,
# as "stage NAME: N s". A command that fails ends the script, as `set -e` has it.
stage() {
  local name=$1 start=$SECONDS
  shift
  "$@"
  echo "stage $name: $((SECONDS - start)) s"
}
