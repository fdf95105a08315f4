// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Playing a metafile onto a QPainter, and converting EMF <-> WMF through a
// paint target that writes records.
#include <QRectF>
#include <string>
#include <vector>

#include "viewer/metafile.h"

class QPainter;

namespace trovix {

// Plays the records onto painter so that the picture's frame fills target.
// Records it does not know are skipped.
void PlayMetafile(const TMetafile &metafile, QPainter &painter, const QRectF &target);

// Converts metafile to the other format in its size. dropped names the
// records that the target format cannot express (reported to the user).
bool ConvertMetafile(const TMetafile &metafile, TMetafileKind to, std::string &out,
                     std::vector<std::string> &dropped, std::string &error);

}  // namespace trovix
