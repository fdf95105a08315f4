// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The decoded bitmap that the image codecs produce and consume, and the size
// limit every decoder and every resize checks before allocating.
#include <cstdint>
#include <vector>

namespace trovix {

// A picture larger than this on either side, or in pixels, is refused: it
// keeps a hostile header from allocating gigabytes and keeps width x zoom
// and byte offsets inside 32-bit arithmetic.
constexpr int kMaxPictureSide = 32768;
constexpr int64_t kMaxPicturePixels = 256LL * 1024 * 1024;

inline bool PictureSizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

// 32-bit pixels 0xAARRGGBB, row after row from the top (QImage::Format_ARGB32's
// layout, so the user interface wraps it without converting).
struct TBitmap {
  int Width = 0;
  int Height = 0;
  std::vector<uint32_t> Pixels;
  bool Empty() const { return Width == 0 || Height == 0; }
};

}  // namespace trovix
