// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The view window's picture: a bitmap or a metafile.
#include <QImage>
#include <optional>

#include "viewer/metafile.h"

namespace trovix {

struct TPicture {
  bool IsMetafile = false;
  QImage Bitmap;       // when !IsMetafile: Format_ARGB32 or Format_RGB32
  TMetafile Metafile;  // when IsMetafile
  // An icon's bitmap is the icon drawn on the window colour; the pixels of
  // that colour (0xRRGGBB) are its transparent ones, kept when it is saved
  // as an icon.
  std::optional<QRgb> TransparentColour;
  int Width() const { return IsMetafile ? Metafile.Width : Bitmap.width(); }
  int Height() const { return IsMetafile ? Metafile.Height : Bitmap.height(); }
  bool Empty() const { return Width() <= 0 || Height() <= 0; }
};

}  // namespace trovix
