#!/usr/bin/env bash
# Builds the folder-listing benchmark in a Release build and runs it.
# BUILD_DIR chooses the build folder (default build-release); TROVIX_BENCH_DIR
# the folder of 100,000 files (default /tmp/trovix-bench-100k, made once).
# Further arguments go to the benchmark (e.g. --benchmark_repetitions=3).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build-release}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target listing_bench
"$build/bench/listing_bench" "$@"
