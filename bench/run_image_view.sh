#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The image view's benchmark against libjpeg-turbo's djpeg and netpbm's
# pngtopnm on the same 24-megapixel files: bench/run_image_view.sh [BUILD_DIR].
# Makes a 6000 x 4000 photo-like JPEG and PNG in a temporary folder, times
# the two tools, then runs each image_view_bench case in a process of its own so
# that each peak memory figure is that case's alone.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
cmake -S . -B "$build" -DTROVIX_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target image_view_bench
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
convert -size 1500x1000 plasma:fractal -blur 0x1 -resize 6000x4000! +noise Gaussian \
  -quality 90 "$dir/photo24.jpg"
convert "$dir/photo24.jpg" "$dir/photo24.png"
ls -l "$dir"
for run in 1 2 3; do
  /usr/bin/time -f "djpeg -outfile /dev/null photo24.jpg: %e s wall, %U s user + %S s sys, %M KB peak" \
    djpeg -outfile /dev/null "$dir/photo24.jpg"
done
for run in 1 2 3; do
  /usr/bin/time -f "pngtopnm photo24.png > /dev/null: %e s wall, %U s user + %S s sys, %M KB peak" \
    pngtopnm "$dir/photo24.png" >/dev/null
done
for case in Jpeg24MP_FirstScreen Jpeg24MP_FullPicture Png24MP_FirstScreen; do
  "$build/bench/image_view_bench" "$dir" --benchmark_filter="$case"
done
