#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the copy benchmark in a Release build and runs it: the engine against
# "cp" for one 2 GiB file and a tree of 20,000 small files, and against
# "rsync -a" for the same tree when everything is already up to date.
# BUILD_DIR chooses the build folder (default build-release); TROVIX_BENCH_DIR
# the folder of the data (default /tmp/trovix-copy-bench, about 2.2 GiB, made
# once; the copies need as much again). Further arguments go to the benchmark
# (e.g. --benchmark_filter=Tree).
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v rsync >/dev/null; then
  apt-get update -qq && apt-get install -y -qq rsync >/dev/null
fi
build="${BUILD_DIR:-build-release}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target copy_bench
"$build/bench/copy_bench" "$@"
