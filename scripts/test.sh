#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds the project twice (a normal build and
# one with AddressSanitizer + UBSan) and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

run_config() {
  local dir=$1; shift
  echo "=== $dir: configure and build ==="
  cmake -S . -B "$dir" "$@" > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j"$jobs"
  echo "=== $dir: tests ==="
  (cd "$dir" && ctest --output-on-failure)
}

mkdir -p build
run_config build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_config build/sanitize -DCMAKE_BUILD_TYPE=Debug -DT3XX_SANITIZE=ON -DT3XX_BUILD_BENCH=OFF
echo "=== all tests passed in both configurations ==="
