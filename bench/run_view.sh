#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The view window's benchmark against xxd on the same files:
# bench/run_view.sh [BUILD_DIR]. Makes a 20 MB binary file, a 50 MB log of
# 500,000 lines and a 4 GiB sparse file in a temporary folder, times
# `xxd FILE > /dev/null` on the first, then runs view_bench.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
cmake -S . -B "$build" -DTROVIX_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target view_bench
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
head -c 20000000 /dev/urandom >"$dir/hex20.bin"
awk 'BEGIN { for (i = 1; i <= 500000; i++)
  printf "2026-12-07 01:%02d:%02d INFO worker-%03d request %08d handled in %4d ms ok bytes=%06d host=web%03d\n",
    (i / 60) % 60, i % 60, i % 997, i, i % 9973, (i * 37) % 1000000, i % 211 }' >"$dir/log50.txt"
truncate -s 4G "$dir/sparse4g.bin"
ls -l "$dir"
echo "xxd hex20.bin > /dev/null:"
/usr/bin/time -f "  %e s wall, %U s user + %S s sys, %M KB peak" xxd "$dir/hex20.bin" >/dev/null
"$build/bench/view_bench" "$dir"
