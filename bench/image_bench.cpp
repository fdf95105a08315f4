// SPDX-License-Identifier: GPL-3.0-or-later
// The image encoders on one picture, run as a process so that a script can
// time it the same way as ImageMagick and cjpeg:
//   image_bench gif IN OUT.gif      256 colours, Floyd-Steinberg dithering
//   image_bench jpeg IN OUT.jpg Q   JPEG at quality Q
// IN is a binary PPM (P6, maximum 255), read here as cheaply as the other
// tools read it. Prints the processor time of the encoding alone on
// standard error.
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

// Reads a P6 file with a maximum of 255 into bitmap.
bool ReadPpm(const char *path, trovix::TBitmap &bitmap) {
  FILE *f = std::fopen(path, "rb");
  if (!f) return false;
  int width = 0, height = 0, max = 0;
  const bool header = std::fscanf(f, "P6 %d %d %d", &width, &height, &max) == 3 && max == 255 &&
                      std::fgetc(f) != EOF && trovix::PictureSizeAllowed(width, height);
  if (!header) {
    std::fclose(f);
    return false;
  }
  std::string rgb(static_cast<size_t>(width) * height * 3, '\0');
  const bool read = std::fread(rgb.data(), 1, rgb.size(), f) == rgb.size();
  std::fclose(f);
  if (!read) return false;
  bitmap.Width = width;
  bitmap.Height = height;
  bitmap.Pixels.resize(static_cast<size_t>(width) * height);
  const auto *p = reinterpret_cast<const unsigned char *>(rgb.data());
  for (uint32_t &pixel : bitmap.Pixels) {
    pixel = 0xFF000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    p += 3;
  }
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 4 || (std::strcmp(argv[1], "gif") != 0 && std::strcmp(argv[1], "jpeg") != 0)) {
    std::fprintf(stderr, "usage: image_bench gif|jpeg IN OUT [QUALITY]\n");
    return 2;
  }
  trovix::TBitmap bitmap;
  if (!ReadPpm(argv[2], bitmap)) {
    std::fprintf(stderr, "cannot read %s (a binary PPM)\n", argv[2]);
    return 1;
  }
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
