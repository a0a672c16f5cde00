#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds the project, starts a simulated T310 on
# a pseudo-terminal and opens the updater on that port, so the whole update
# can be watched without a detector. Without a display (DISPLAY not set) the
# same update runs in the terminal with the command-line tool t3xx-flash.
# Extra arguments go to the simulator (see
# build/release/tools/devsim/t3xx-devsim --help), e.g. --model T320.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=build/release
mkdir -p build
echo "=== configure and build ($build) ==="
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$build.configure.log" 2>&1 \
  || { cat "$build.configure.log"; exit 1; }
cmake --build "$build" -j"$(nproc)" --target t3xx-update t3xx-flash t3xx-devsim

# The simulator prints the port to open on its first line and serves until
# it is stopped. Line time is simulated at the updater's 38400 baud, so the
# progress can be followed as with a real detector.
simulator_output=$(mktemp)
"$build/tools/devsim/t3xx-devsim" --baud 38400 "$@" > "$simulator_output" &
simulator=$!
trap 'kill "$simulator" 2>/dev/null; wait "$simulator" 2>/dev/null; rm -f "$simulator_output"' EXIT
port=""
for _ in $(seq 50); do
  port=$(head -n 1 "$simulator_output")
  [ -n "$port" ] && break
  kill -0 "$simulator" 2>/dev/null || { echo "The simulated detector did not start." >&2; exit 1; }
  sleep 0.1
done
[ -n "$port" ] || { echo "The simulated detector named no port within 5 seconds." >&2; exit 1; }

if [ -z "${DISPLAY:-}" ]; then
  echo "=== simulated detector on $port; no display (DISPLAY is not set): updating it with t3xx-flash ==="
  echo "The type-examination notice is accepted for the simulated detector (--accept-notice)."
  "$build/cli/t3xx-flash" --accept-notice --port "$port"
  exit 0
fi

echo "=== simulated detector on $port: opening the updater ==="
echo "Tick \"accept / akzeptieren\", press OK, then \"Start update\"."
"$build/app/t3xx-update" --port "$port"
