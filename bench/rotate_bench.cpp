// SPDX-License-Identifier: GPL-3.0-or-later
// Turning a 24-megapixel picture (6000 x 4000, 32-bit) a quarter turn, next
// to Qt's own quarter turn and to what making and filling a new picture of
// that size costs alone (the floor of any turn that makes a new picture).
#include <benchmark/benchmark.h>

#include <QImage>
#include <QTransform>

#include "foundation/platform_ui.h"

namespace {

QImage Photo() {
  QImage picture(6000, 4000, QImage::Format_RGB32);
  for (int y = 0; y < picture.height(); ++y) {
    auto *row = reinterpret_cast<QRgb *>(picture.scanLine(y));
    for (int x = 0; x < picture.width(); ++x) row[x] = qRgb(x & 255, y & 255, (x ^ y) & 255);
  }
  return picture;
}

void BM_BitmapRotate(benchmark::State &state) {
  const QImage photo = Photo();
  for (auto _ : state) {
    QImage picture = photo;
    trovix::BitmapRotate(picture);
    benchmark::DoNotOptimize(picture.constBits());
  }
}
BENCHMARK(BM_BitmapRotate)->Unit(benchmark::kMillisecond);

void BM_QtTransformed(benchmark::State &state) {
  const QImage photo = Photo();
  for (auto _ : state) {
    QImage picture = photo.transformed(QTransform().rotate(90));
    benchmark::DoNotOptimize(picture.constBits());
  }
}
BENCHMARK(BM_QtTransformed)->Unit(benchmark::kMillisecond);

void BM_NewPictureFilled(benchmark::State &state) {
  for (auto _ : state) {
    QImage picture(4000, 6000, QImage::Format_RGB32);
    picture.fill(0);
    benchmark::DoNotOptimize(picture.constBits());
  }
}
BENCHMARK(BM_NewPictureFilled)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
