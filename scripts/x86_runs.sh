#!/usr/bin/env bash
# Whether this machine runs 32-bit x86 Linux programs natively (status 0) or needs qemu-i386.
set -u
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf 'int main() { return 0; }\n' > "$dir/probe.cpp"
g++ -m32 "$dir/probe.cpp" -o "$dir/probe" 2>/dev/null && "$dir/probe" 2>/dev/null
