// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing pictures: the image save's file types, the target size rule, the
// JPEG, PNG and GIF encoders (libjpeg-turbo, libpng, giflib with a
// libimagequant palette) and the save that replaces a file only once the
// new one is complete. BMP and ICO are written through QImage (image_save_ui).
#include <cstdint>
#include <string>

#include "viewer/picture.h"

namespace trovix {

// The image types of the save dialog, in list order; the extension table
// ends with an empty entry.
enum TImageType : int {
  itBmp = 0,
  itJpg = 1,
  itJpeg = 2,
  itIco = 3,
  itEmf = 4,
  itWmf = 5,
  itGif = 6,
  itPng = 7,
  itCount = 8
};
extern const char *const ImageTypeTexts[itCount];
extern const char *const ImageTypeExtensions[itCount + 1];

// The type whose extension equals path's (after its last "."), ignoring
// case; -1 when none does.
int ImageTypeOfPath(const std::string &path);

// GIF transparency corners (the index of the dialog's list).
enum TGifCorner : int { gcNone = 0, gcTopLeft, gcTopRight, gcBottomLeft, gcBottomRight };

// The size of the bitmap a picture of pictureWidth x pictureHeight is saved
// at: 32 x 32 for an icon, the picture's size with originalSize, else height
// targetHeight and the width in proportion (integer division). False when
// that size is empty or over the picture size limit.
bool SaveTargetSize(int pictureWidth, int pictureHeight, bool icon, bool originalSize,
                    int targetHeight, int &width, int &height);

// Encoders. Each returns false with a reason in error and leaves out empty
// when the bitmap is empty, too large or the codec fails; none ends the
// program. Alpha is ignored by JPEG and GIF; PNG keeps it when some pixel is
// not opaque.
bool EncodeJpeg(const TBitmap &bitmap, int quality, std::string &out, std::string &error);
bool EncodePng(const TBitmap &bitmap, std::string &out, std::string &error);
// 256 colours at most, an optimised palette with Floyd-Steinberg dithering.
// With a corner other than gcNone, the colour of that corner pixel is kept
// exactly, is the GIF's transparent colour, and only the pixels of exactly
// that colour become transparent.
bool EncodeGif(const TBitmap &bitmap, int corner, std::string &out, std::string &error);

// The colour (0xRRGGBB) of a corner pixel; false for gcNone or an empty bitmap.
bool CornerColour(const TBitmap &bitmap, int corner, uint32_t &colour);

// Writes bytes to target through a temporary file in target's folder that
// is synced, closed and only then renamed over target. An existing target
// keeps its permission bits; a link as target is written through to the
// file it names. On any failure target is as it was, no temporary file
// stays, and false is returned with error (errno) and the failed step.
bool SaveBytesReplacing(const std::string &target, const std::string &bytes, int &error,
                        std::string &step);

}  // namespace trovix
