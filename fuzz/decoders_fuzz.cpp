// SPDX-License-Identifier: GPL-3.0-or-later
// One decoder on arbitrary bytes: it must return, not crash, hang or read
// outside its input, and a success must hold a picture of the size it says.
#include <cstdlib>
#include <string>

#include "viewer/image_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  trovix::TBitmap bitmap;
  std::string error;
#if defined(FUZZ_FORMAT_jpeg)
  // The first byte picks the reduced scale as well.
  const int denominator = size ? 1 << (data[0] & 3) : 1;
  const bool ok = trovix::DecodeJpeg(bytes, bitmap, error, denominator);
#elif defined(FUZZ_FORMAT_png)
  const bool ok = trovix::DecodePng(bytes, bitmap, error);
#else
  const bool ok = trovix::DecodeGif(bytes, bitmap, error);
#endif
  if (ok && (bitmap.Pixels.size() != size_t(bitmap.Width) * size_t(bitmap.Height) ||
             !trovix::PictureSizeAllowed(bitmap.Width, bitmap.Height)))
    abort();
  if (!ok && !bitmap.Empty()) abort();
  return 0;
}
