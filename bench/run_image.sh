#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The image encoders against ImageMagick and cjpeg on the same pictures in
# the same run: bench/run_image.sh [BUILD_DIR]. Makes three photo-like
# pictures of 2.3 megapixels (ImageMagick's plasma fractal, smoothed, with
# fine grain) and one of 24 megapixels (the first enlarged, with new grain),
# all as PPM, then for each tool the whole process's processor time (user +
# system) and the GIF's PSNR against the source (`compare -metric PSNR`).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
cmake -S . -B "$build" -DTROVIX_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target image_bench
bench="$build/bench/image_bench"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cpu() { /usr/bin/time -f "%U %S" "$@" 2>&1 >/dev/null | tail -1 | awk '{ printf "%.2f", $1 + $2 }'; }
for i in 1 2 3; do
  convert -seed "$i" -size 1920x1200 plasma:fractal -blur 0x2 \
    \( -size 1920x1200 xc:gray50 +noise Gaussian -colorspace gray \) \
    -compose overlay -composite -depth 8 "$dir/photo$i.ppm"
done
convert "$dir/photo1.ppm" -resize 6000x4000! \( -size 6000x4000 xc:gray50 +noise Gaussian \
  -colorspace gray \) -compose overlay -composite -depth 8 "$dir/big24.ppm"
echo "GIF, 256 colours, Floyd-Steinberg (process CPU seconds; PSNR dB):"
for i in 1 2 3; do
  in="$dir/photo$i.ppm"
  tm=$(cpu convert "$in" -dither FloydSteinberg -colors 256 "$dir/im$i.gif")
  tt=$(cpu "$bench" gif "$in" "$dir/tx$i.gif")
  pm=$(compare -metric PSNR "$in" "$dir/im$i.gif" null: 2>&1 || true)
  pt=$(compare -metric PSNR "$in" "$dir/tx$i.gif" null: 2>&1 || true)
  echo "  photo$i: Trovix $tt s, $pt dB; ImageMagick $tm s, $pm dB"
done
echo "JPEG quality 70 of 6000x4000 (process CPU seconds):"
tc=$(cpu cjpeg -quality 70 -outfile "$dir/cj.jpg" "$dir/big24.ppm")
tt=$(cpu "$bench" jpeg "$dir/big24.ppm" "$dir/tx.jpg" 70)
echo "  Trovix $tt s ($(stat -c %s "$dir/tx.jpg") bytes); cjpeg $tc s ($(stat -c %s "$dir/cj.jpg") bytes)"
"$bench" jpeg "$dir/big24.ppm" "$dir/tx.jpg" 70
