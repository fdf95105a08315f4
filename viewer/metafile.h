// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Vector metafiles (enhanced EMF and the older Windows WMF): reading and
// checking the records. Playing them onto a painter and converting between
// the two formats are in metafile_ui.h.
#include <string>

namespace trovix {

enum class TMetafileKind { Emf, Wmf };

struct TMetafile {
  TMetafileKind Kind = TMetafileKind::Emf;
  std::string Bytes;  // the file as read; saved unchanged in its own format
  int Width = 0;      // the picture's natural size in pixels (96 per inch)
  int Height = 0;
};

// Reads a metafile from bytes: checks the header and that every record lies
// inside bytes. False with a reason in error when it cannot be played.
bool ParseMetafile(const std::string &bytes, TMetafile &out, std::string &error);

}  // namespace trovix
