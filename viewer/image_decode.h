// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Decoding JPEG, PNG and GIF files into bitmaps. Every decoder checks the
// picture's size against PictureSizeAllowed before it allocates, turns every
// library error into a false result with a reason, and never ends the program.
#include <string>

#include "viewer/picture.h"

namespace trovix {

// The size a JPEG decodes to at scale 1 / denominator (1, 2, 4 or 8).
struct TJpegInfo {
  int Width = 0;
  int Height = 0;
};
// Reads the header only: false when it is not a JPEG or its size is refused.
bool JpegReadInfo(const std::string &bytes, TJpegInfo &info, std::string &error);

// The largest of 1, 2, 4, 8 by which a width x height picture can be scaled
// down and still be at least wantWidth x wantHeight (1 when either is <= 0).
int JpegScaleDenominator(int width, int height, int wantWidth, int wantHeight);

// Decodes a JPEG at scale 1 / denominator (1, 2, 4 or 8; the decoder's own
// reduced transform, much faster than decoding in full and shrinking). A file
// that ends before the picture does is refused.
bool DecodeJpeg(const std::string &bytes, TBitmap &out, std::string &error, int denominator = 1);

// Decodes a PNG: palettes, grey, 16-bit samples and transparency all become
// 8-bit 0xAARRGGBB.
bool DecodePng(const std::string &bytes, TBitmap &out, std::string &error);

// Decodes the first frame of a GIF onto its logical screen; the colour that
// the frame's graphic control extension names transparent becomes alpha 0.
bool DecodeGif(const std::string &bytes, TBitmap &out, std::string &error);

}  // namespace trovix
