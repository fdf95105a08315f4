#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds one benchmark in a Release build and runs it: bench/run.sh NAME [args].
# NAME is listing_bench, file_list_bench, ...; BUILD_DIR chooses the build
# folder (default build-release). Further arguments go to the benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
name="${1:?usage: bench/run.sh NAME [benchmark arguments]}"
shift
build="${BUILD_DIR:-build-release}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTROVIX_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target "$name"
"$build/bench/$name" "$@"
