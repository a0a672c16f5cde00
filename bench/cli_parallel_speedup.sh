#!/usr/bin/env bash
# Measures what updating several detectors at once gains: t3xx-flash updates
# simulated detectors with line time simulated at a baud rate, first one
# after the other, then all at once with one --port each, and prints the
# wall times and their ratio.
#
#   bench/cli_parallel_speedup.sh [BUILD_DIR] [BAUD] [MODEL...]
#   bench/cli_parallel_speedup.sh build/release 115200 T310 T310 T320
#
# Defaults: build/release, 115200 baud, three T310. Build t3xx-flash and
# t3xx-devsim first.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
baud=${2:-115200}
shift $(( $# > 2 ? 2 : $# ))
models=("$@")
[ ${#models[@]} -gt 0 ] || models=(T310 T310 T310)
flash="$build/cli/t3xx-flash"
devsim="$build/tools/devsim/t3xx-devsim"
for program in "$flash" "$devsim"; do
  [ -x "$program" ] || { echo "$program is missing: build t3xx-flash and t3xx-devsim in $build first." >&2; exit 2; }
done

work=$(mktemp -d)
simulators=()
cleanup() {
  for pid in "${simulators[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Starts one simulated detector per model; their ports go to ports[].
start_detectors() {
  ports=()
  simulators=()
  local i=0
  for model in "${models[@]}"; do
    "$devsim" --model "$model" --baud "$baud" > "$work/sim$i.out" &
    simulators+=($!)
    local port=""
    for _ in $(seq 50); do
      port=$(head -n 1 "$work/sim$i.out")
      [ -n "$port" ] && break
      sleep 0.1
    done
    [ -n "$port" ] || { echo "simulated detector $i named no port" >&2; exit 1; }
    ports+=("$port")
    i=$((i + 1))
  done
}

stop_detectors() {
  for pid in "${simulators[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  simulators=()
}

now() { date +%s.%N; }

echo "${#models[@]} detectors (${models[*]}), line time simulated at $baud baud"

start_detectors
begin=$(now)
for port in "${ports[@]}"; do
  "$flash" --accept-notice --quiet --port "$port"
done
in_a_row=$(awk -v a="$(now)" -v b="$begin" 'BEGIN { print a - b }')
stop_detectors

start_detectors
args=()
for port in "${ports[@]}"; do args+=(--port "$port"); done
begin=$(now)
"$flash" --accept-notice --quiet "${args[@]}"
at_once=$(awk -v a="$(now)" -v b="$begin" 'BEGIN { print a - b }')
stop_detectors

printf 'one after the other: %6.1f s\n' "$in_a_row"
printf 'all at once:         %6.1f s\n' "$at_once"
awk -v a="$at_once" -v b="$in_a_row" 'BEGIN { printf "ratio:               %6.2f\n", a / b }'
