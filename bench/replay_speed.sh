#!/bin/sh
# Replay speed: generates one million Out-RIF lines (adds over 65536 keys and four FAPs, every
# eighth line a delete) and times eedb-replay on them with --quiet and with --format json.
#
#   bench/replay_speed.sh [BUILD_DIR] [LINES]      (defaults: build, 1000000)
set -eu

build=${1:-build}
lines=${2:-1000000}
tool=$build/tools/eedb-replay/eedb-replay
plugin=$build/src/libeedb26.so
[ -x "$tool" ] || { echo "no $tool: build first (make build)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
input=$work/outrif.jsonl

awk -v n="$lines" 'BEGIN {
  for (i = 0; i < n; i++) {
    printf "{\"table\": \"EedbOutrif\", \"unit\": {\"fap\": %d, \"instance\": 0}, \"delete\": %s, ", \
      i % 4, (i % 8 == 7) ? "true" : "false"
    printf "\"entry\": {\"key\": %d, \"viewType\": 1, \"fodo\": %d, \"forwardQosModel\": %d, ", \
      i % 65536, i % 32768, i % 2
    printf "\"remarkProfile\": %d, \"mtuProfile\": %d}}\n", i % 32, i % 16
  }
}' > "$input"

# Seconds as a decimal number, from the shell's clock in nanoseconds.
now() { date +%s.%N; }

run() {
  label=$1
  shift
  start=$(now)
  status=0
  "$tool" --plugin "$plugin" --faps 0-3 "$@" "$input" > "$work/out" || status=$?
  end=$(now)
  [ "$status" -eq 0 ] || { echo "$label: exit status $status" >&2; exit 1; }
  awk -v s="$start" -v e="$end" -v n="$lines" -v l="$label" -v b="$(wc -c < "$work/out")" 'BEGIN {
    t = e - s
    printf "%-14s %9d lines  %6.2f s  %10.0f lines/s  %8.1f MB out\n", l, n, t, n / t, b / 1e6
  }'
}

echo "input: $(wc -c < "$input" | awk '{ printf "%.1f MB", $1 / 1e6 }'), $lines lines"
run "--quiet" --quiet
run "--format json" --format json
