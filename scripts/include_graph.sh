#!/usr/bin/env bash
# The folder-level structure of the product's code as the compiler saw it: every header that a
# source of one folder included, directly or through other headers (ninja's record of the
# compiler's dependency output), gives an arrow "FOLDER -> FOLDER". Prints the layers, top first,
# then the arrows ordered by layer, and fails when an arrow points sideways or up: device code
# reaching workstation code, or any folder reaching one of a higher layer.
#   scripts/include_graph.sh [BUILD_DIR...]   default: build/default, and build/device and
#                                             build/coredll when they are built
# The builds must be built (each object's record is from its last compile); tests, benches and
# system headers are not product code and are left out, but for the test machine's coredll.dll
# (tests/coredll), which is built over the product's layers and is drawn with them.
set -euo pipefail
cd "$(dirname "$0")/.."

# The layers, top first; a folder may include only from the layers below its own.
layers=(
  "tests/coredll"          # the test machine's coredll.dll, over the simulated unit
  "host/check"             # FolvaneCheck, its main included
  "host/app"               # FolvaneCE's workstation entries, argument vectors
  "host/sim"               # the simulated unit, the platform functions over it and its loading
  "host/platform"          # the workstation's console, files and text
  "device/app"             # the device's command line and entry
  "device/datafile"        # the data file: its tables, R, W and W's reader
  "device/firmware"        # the settings service and its operations
  "device/platform/wince"  # the device's memory manager, console and files, the driver's route
  "device/platform/x86 device/driver"  # the near-call gate; the mapping driver and its request
  "device/settings"        # the firmware's settings table: numbers, widths, operation names
  "device/include"         # the device's public headers
  "sdk/wince-x86"          # the stand-in SDK: its headers, start-up and command splitter
)

builds=("$@")
if [ ${#builds[@]} -eq 0 ]; then
  builds=(build/default)
  for dir in build/device build/coredll; do
    [ -f "$dir/.ninja_deps" ] && builds+=("$dir")
  done
fi

ranks=""
for i in "${!layers[@]}"; do
  for folder in ${layers[$i]}; do ranks+="$folder $i"$'\n'; done
done

for dir in "${builds[@]}"; do
  if [ ! -f "$dir/.ninja_deps" ]; then
    echo "include-graph: $dir holds no compiled build (no .ninja_deps)" >&2
    exit 1
  fi
done

echo "include graph of ${builds[*]}; layers, top first:"
for layer in "${layers[@]}"; do echo "  $layer"; done

# Each build's `OBJECT: #deps ...` blocks: the object names its source (CMakeFiles/T.dir/SOURCE.o
# or .obj), the indented lines are every file the compiler read for it.
# Objects of sources gone from the build are dropped from the record first.
for dir in "${builds[@]}"; do
  ninja -C "$dir" -t recompact >/dev/null
  ninja -C "$dir" -t deps
done | awk -v root="$PWD/" -v ranks="$ranks" \
'
function folder(path, parts) {
  if (index(path, root) == 1) path = substr(path, length(root) + 1)
  # A compiler cache with a base folder records the paths relative to the build folder.
  sub(/^(\.\.\/)+/, "", path)
  split(path, parts, "/")
  if (path ~ /^src\/device\/platform\/[^\/]+\//) return "device/platform/" parts[4]
  if (path ~ /^src\/(device|host)\/[^\/]+\//) return parts[2] "/" parts[3]
  if (path ~ /^tests\/coredll\//) return "tests/coredll"
  if (path ~ /^sdk\/wince-x86\//) return "sdk/wince-x86"
  return ""
}
function relative(path) { return index(path, root) == 1 ? substr(path, length(root) + 1) : path }
BEGIN {
  n = split(ranks, lines, "\n")
  for (i = 1; i <= n; i++) if (split(lines[i], f, " ") == 2) rank[f[1]] = f[2]
}
/^[^ \t]/ {
  source = $1
  sub(/:$/, "", source)
  sub(/^.*CMakeFiles\/[^\/]+\.dir\//, "", source)
  sub(/\.o(bj)?$/, "", source)
  from = folder(source)
  next
}
/^[ \t]/ && from != "" {
  to = folder($1)
  if (to == "" || to == from) next
  arrow = from " -> " to
  if (!(arrow in seen)) { seen[arrow] = 1; order[++arrows] = arrow; tail[arrow] = from; head[arrow] = to }
  header = relative($1)
  if (!((arrow, header) in through)) { through[arrow, header] = 1; headers[arrow] = headers[arrow] " " header }
}
END {
  # By the layer of the arrow'"'"'s tail, then of its head, then by name.
  for (i = 1; i <= arrows; i++) {
    a = order[i]
    key[a] = sprintf("%03d %03d %s", (tail[a] in rank) ? rank[tail[a]] : 999, (head[a] in rank) ? rank[head[a]] : 999, a)
  }
  for (i = 2; i <= arrows; i++) {
    a = order[i]
    for (j = i - 1; j >= 1 && key[order[j]] > key[a]; j--) order[j + 1] = order[j]
    order[j + 1] = a
  }
  wrong = 0
  for (i = 1; i <= arrows; i++) {
    a = order[i]
    if (!(tail[a] in rank) || !(head[a] in rank)) {
      printf "%s  FAILS: a folder with no layer\n", a
      wrong++
      continue
    }
    if (rank[tail[a]] < rank[head[a]]) { print a; continue }
    way = rank[tail[a]] == rank[head[a]] ? "sideways" : "up"
    printf "%s  FAILS: points %s (through%s)\n", a, way, headers[a]
    wrong++
  }
  printf "include graph: %d arrows, %d pointing the wrong way\n", arrows, wrong
  exit wrong > 0
}'
