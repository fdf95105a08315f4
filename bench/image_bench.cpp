// SPDX-License-Identifier: GPL-3.0-or-later
// The image encoders on one picture, run as a process so that a script can
// time it the same way as ImageMagick and cjpeg:
//   image_bench gif IN OUT.gif      256 colours, Floyd-Steinberg dithering
//   image_bench jpeg IN OUT.jpg Q   JPEG at quality Q
// IN is any picture Qt reads (PPM keeps the decoding cheap). Prints the
// processor time of the encoding alone on standard error.
#include <QImage>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include "viewer/image_encode.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 4 || (std::strcmp(argv[1], "gif") != 0 && std::strcmp(argv[1], "jpeg") != 0)) {
    std::fprintf(stderr, "usage: image_bench gif|jpeg IN OUT [QUALITY]\n");
    return 2;
  }
  const QImage image =
      QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGB32);
  if (image.isNull()) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 1;
  }
  trovix::TBitmap bitmap;
  bitmap.Width = image.width();
  bitmap.Height = image.height();
  bitmap.Pixels.resize(static_cast<size_t>(bitmap.Width) * bitmap.Height);
  for (int y = 0; y < bitmap.Height; ++y)
    std::memcpy(bitmap.Pixels.data() + static_cast<size_t>(y) * bitmap.Width,
                image.constScanLine(y), static_cast<size_t>(bitmap.Width) * 4);
  std::string out;
  std::string error;
  const double start = CpuSeconds();
  const bool ok = std::strcmp(argv[1], "gif") == 0
                      ? trovix::EncodeGif(bitmap, trovix::gcNone, out, error)
                      : trovix::EncodeJpeg(bitmap, argc > 4 ? std::atoi(argv[4]) : 70, out, error);
  const double spent = CpuSeconds() - start;
  if (!ok) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::ofstream(argv[3], std::ios::binary) << out;
  std::fprintf(stderr, "  encoding %.3f s CPU, %zu bytes\n", spent, out.size());
  return 0;
}
