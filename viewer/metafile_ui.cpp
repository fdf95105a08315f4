// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/metafile_ui.h"

#include <QPainter>

namespace trovix {

void PlayMetafile(const TMetafile &metafile, QPainter &painter, const QRectF &target) {
  (void)metafile;
  (void)painter;
  (void)target;
}

bool ConvertMetafile(const TMetafile &metafile, TMetafileKind to, std::string &out,
                     std::vector<std::string> &dropped, std::string &error) {
  dropped.clear();
  if (metafile.Kind == to) {
    out = metafile.Bytes;
    return true;
  }
  error = "Metafile conversion is not available";
  return false;
}

}  // namespace trovix
