// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/image_geometry.h"

#include <algorithm>
#include <climits>

#include "foundation/strings.h"
#include "viewer/image_encode.h"

namespace trovix {

TImageFileKind ImageTypeOf(const std::string &path) {
  switch (ImageTypeOfPath(path)) {
    case itBmp: return TImageFileKind::Bmp;
    case itEmf:
    case itWmf: return TImageFileKind::Metafile;
    case itIco: return TImageFileKind::Icon;
    case itJpg:
    case itJpeg: return TImageFileKind::Jpeg;
    case itGif: return TImageFileKind::Gif;
    case itPng: return TImageFileKind::Png;
    default: return TImageFileKind::None;
  }
}

std::string ImageCaption(const std::string &fileName, int width, int height, int zoom) {
  return fileName + "  (" + std::to_string(width) + " x " + std::to_string(height) + ")  " +
         std::to_string(zoom) + "%";
}

int ZoomLimit(int side) { return side <= 0 ? INT_MAX / 100 : std::max(1, INT_MAX / side); }

int ZoomIn(int zoom, int limit) {
  const int64_t z5 = int64_t(zoom) * 5 / 4;
  const int64_t next = z5 == zoom ? int64_t(zoom) * 2 : z5;
  return static_cast<int>(std::min<int64_t>(next, std::max(limit, 1)));
}

int ZoomOut(int zoom) {
  const int z = static_cast<int>(int64_t(zoom) * 4 / 5);
  return z > 0 ? z : zoom;
}

int FitZoom(int height, int available) {
  int zoom = 100;
  // Stops at 1: a box with no room at all must not loop for ever at 0.
  while (zoom > 1 && Zoomed(height, zoom) > available) zoom = zoom * 3 / 4;
  return std::max(zoom, 1);
}

int RescaleOffset(int offset, int oldZoom, int newZoom) {
  if (oldZoom <= 0) return offset;
  const int64_t r = int64_t(offset) * 100 / oldZoom * newZoom / 100;
  return static_cast<int>(std::clamp<int64_t>(r, INT_MIN, INT_MAX));
}

int ClampOffset(int offset, int64_t scaled, int box) {
  int64_t o = offset;
  if (scaled + o < box) o = box - scaled;
  if (o > 0) o = 0;
  return static_cast<int>(std::max<int64_t>(o, INT_MIN));
}

void PunchHoles(uint32_t *pixels, int width, int height, int stride, int pattern) {
  if (width <= 0 || height <= 0) return;
  const uint32_t c = pixels[0];
  for (int y = 0; y < height; ++y) {
    uint32_t *row = pixels + static_cast<int64_t>(y) * stride;
    for (int x = 0; x < width; ++x) {
      bool set = false;
      switch (pattern) {
        case 0: set = x % 2 == 0 && y % 2 == 0; break;
        case 1: set = (x + y) % 2 == 0; break;
        case 2: set = y % 2 == 1 || x % 2 == 0; break;
        default: break;
      }
      if (set) row[x] = c;
    }
  }
}

}  // namespace trovix
