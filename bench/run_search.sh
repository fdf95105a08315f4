#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the search benchmark in a Release build and runs it: name search
# against "find", contents search against "grep" and "rg", the duplicate
# filter, the summary and the memory of 100,000 results. BUILD_DIR chooses
# the build folder (default build-release); TROVIX_BENCH_DIR the folder of the
# data (default /tmp/trovix-search-bench, about 1 GB, made once). Further
# arguments go to the benchmark (e.g. --benchmark_filter=Name).
set -euo pipefail
cd "$(dirname "$0")/.."
command -v rg >/dev/null || { apt-get update -qq && apt-get install -y -qq ripgrep >/dev/null; }
build="${BUILD_DIR:-build-release}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTROVIX_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target search_bench
"$build/bench/search_bench" "$@"
