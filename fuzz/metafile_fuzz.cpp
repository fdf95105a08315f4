// SPDX-License-Identifier: GPL-3.0-or-later
// Reads, plays and converts arbitrary bytes as a metafile; then reads and
// plays what the converter wrote.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "viewer/metafile.h"
#include "viewer/metafile_ui.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static QGuiApplication app(*argc, *argv);
  return 0;
}

namespace {

void Play(const trovix::TMetafile &metafile) {
  QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QPainter painter(&image);
  trovix::PlayMetafile(metafile, painter, QRectF(0, 0, 48, 48));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  using namespace trovix;
  TMetafile metafile;
  std::string error;
  if (!ParseMetafile(std::string(reinterpret_cast<const char *>(data), size), metafile, error))
    return 0;
  Play(metafile);
  std::string converted;
  std::vector<std::string> dropped;
  TMetafileKind other =
      metafile.Kind == TMetafileKind::Emf ? TMetafileKind::Wmf : TMetafileKind::Emf;
  if (ConvertMetafile(metafile, other, converted, dropped, error)) {
    TMetafile again;
    if (!ParseMetafile(converted, again, error)) abort();  // the writer wrote a bad file
    Play(again);
  }
  return 0;
}
