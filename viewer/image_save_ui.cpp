// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/image_save_ui.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <cstring>

#include "dialogs/markup.h"
#include "dialogs/message_box.h"
#include "foundation/file_system.h"
#include "foundation/string_arrays.h"
#include "foundation/strings.h"
#include "viewer/file_save_form.h"
#include "viewer/image_encode.h"
#include "viewer/metafile_ui.h"
#include "viewer/view_window.h"

namespace trovix {

namespace {

TBitmap ToBitmap(const QImage &image) {
  const QImage argb =
      image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_RGB32
          ? image
          : image.convertToFormat(QImage::Format_ARGB32);
  TBitmap bitmap;
  bitmap.Width = argb.width();
  bitmap.Height = argb.height();
  bitmap.Pixels.resize(static_cast<size_t>(bitmap.Width) * bitmap.Height);
  for (int y = 0; y < bitmap.Height; ++y) {
    std::memcpy(bitmap.Pixels.data() + static_cast<size_t>(y) * bitmap.Width, argb.constScanLine(y),
                static_cast<size_t>(bitmap.Width) * 4);
  }
  // Format_RGB32 leaves alpha as 0xFF already; make sure of it.
  if (argb.format() == QImage::Format_RGB32)
    for (uint32_t &p : bitmap.Pixels) p |= 0xFF000000u;
  return bitmap;
}

bool WriteWithQt(const QImage &image, const char *format, std::string &out, std::string &error) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (!writer.write(image)) {
    error = writer.errorString().toStdString();
    return false;
  }
  out.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
  return true;
}

// image as Format_ARGB32 with the pixels p where (p & mask) == colour made
// fully transparent.
QImage ClearColour(const QImage &image, QRgb colour, QRgb mask) {
  QImage cleared = image.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < cleared.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(cleared.scanLine(y));
    for (int x = 0; x < cleared.width(); ++x)
      if ((line[x] & mask) == colour) line[x] = 0;
  }
  return cleared;
}

// The icon: on top of what is transparent already, the pixels of the colour
// of (0, 0) become transparent. A transparent (0, 0) adds nothing.
QImage IconImage(const QImage &bitmap) {
  const QRgb corner = bitmap.pixel(0, 0);
  if (qAlpha(corner) == 0) return bitmap.convertToFormat(QImage::Format_ARGB32);
  return ClearColour(bitmap, corner, 0xFFFFFFFFu);
}

// The picture's bitmap with the pixels of its transparent colour cleared.
QImage WithoutTransparentColour(const TPicture &picture) {
  if (!picture.TransparentColour) return picture.Bitmap;
  return ClearColour(picture.Bitmap, *picture.TransparentColour & 0xFFFFFFu, 0xFFFFFFu);
}

// name with the extension forced on its last component only.
std::string ForceOnName(const std::string &name, const std::string &ext) {
  return ExtractFilePath(name) + ForceExtension(ExtractFileName(name), ext);
}

void ListAgainSelecting(const std::string &target) {
  if (ViewerHooks().listAgainSelecting)
    ViewerHooks().listAgainSelecting(ExtractFileName(target));
  else if (ViewerHooks().listAgain)
    ViewerHooks().listAgain();
}

// The bytes of a metafile type: the metafile as read when the kinds agree,
// else converted.
bool MetafileBytes(const TMetafile &metafile, TMetafileKind kind, std::string &out,
                   std::string &error, std::string &dropped) {
  if (metafile.Kind == kind) {
    out = metafile.Bytes;
    return true;
  }
  std::vector<std::string> left;
  if (!ConvertMetafile(metafile, kind, out, left, error)) return false;
  for (const std::string &record : left) dropped += (dropped.empty() ? "" : ", ") + record;
  return true;
}

}  // namespace

QImage RenderForSave(const TPicture &picture, int width, int height, bool transparent) {
  QImage bitmap(width, height, transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  if (bitmap.isNull()) return bitmap;
  bitmap.fill(transparent ? QColor(Qt::transparent) : QColor(Qt::white));
  if (picture.Empty()) return bitmap;
  if (!transparent && !picture.IsMetafile && picture.Bitmap.width() == width &&
      picture.Bitmap.height() == height && !picture.Bitmap.hasAlphaChannel()) {
    // The original size of an opaque bitmap: the pixels as they are.
    return picture.Bitmap.convertToFormat(QImage::Format_RGB32);
  }
  QPainter painter(&bitmap);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF target(0, 0, width, height);
  if (picture.IsMetafile) {
    if (transparent) painter.fillRect(target, Qt::white);
    PlayMetafile(picture.Metafile, painter, target);
  } else {
    painter.drawImage(target, transparent ? WithoutTransparentColour(picture) : picture.Bitmap);
  }
  return bitmap;
}

bool EncodeImageFile(const QImage &bitmap, int type, const TFileSaveRequest &request,
                     std::string &out, std::string &error) {
  switch (type) {
    case itBmp: return WriteWithQt(bitmap.convertToFormat(QImage::Format_RGB32), "BMP", out, error);
    case itIco: return WriteWithQt(IconImage(bitmap), "ICO", out, error);
    case itJpg:
    case itJpeg: return EncodeJpeg(ToBitmap(bitmap), request.jpgCompression, out, error);
    case itGif: return EncodeGif(ToBitmap(bitmap), request.gifTransparency, out, error);
    case itPng: return EncodePng(ToBitmap(bitmap), out, error);
    default: error = "not a bitmap type"; return false;
  }
}

bool SaveImageFile(QWidget *parent, const TPicture &picture, const std::string &viewFileName) {
  TFileSaveRequest request;
  request.folder = ExtractFilePath(viewFileName);
  request.name = RemoveExtension(ExtractFileName(viewFileName));
  for (const char *text : ImageTypeTexts) request.types.emplace_back(text);
  request.type = ImageTypeOfPath(viewFileName);
  request.imageOptions = true;
  const int result = FileSaveAsk(request, parent);
  if (result != fsrSave) return result != fsrCancel;
  if (request.name.empty() || request.type < 0 || request.type >= itCount) return true;

  std::string folder = request.folder;
  if (!folder.empty() && folder.back() != PathDelim) folder += PathDelim;
  const int type = request.type;
  const std::string target = folder + ForceOnName(request.name, ImageTypeExtensions[type]);
  const std::string shownTarget = MarkupEscape(target);

  if (FsExists(target)) {
    if (FsFolderExists(target)) {
      DisplayError("|b|1ERROR: Can not Save file|n|0" + shownTarget + " is a folder");
      return false;
    }
    if (!DisplayYesNo("|4|bFile " + shownTarget + " exists.|nOverwrite?")) return false;
  }

  std::string bytes;
  std::string error;
  std::string dropped;
  if (type == itEmf || type == itWmf) {
    if (!picture.IsMetafile) {
      DisplayError("|b|1ERROR: Can not convert a bitmap to vector metafile (yet)");
      ListAgainSelecting(target);
      return true;
    }
    const TMetafileKind kind = type == itEmf ? TMetafileKind::Emf : TMetafileKind::Wmf;
    if (!MetafileBytes(picture.Metafile, kind, bytes, error, dropped)) {
      DisplayError("|b|1ERROR: Can not convert the metafile|n|0" + MarkupEscape(error));
      return false;
    }
  } else {
    int width = 0;
    int height = 0;
    if (!SaveTargetSize(picture.Width(), picture.Height(), type == itIco, request.originalSize,
                        request.sizeHeight, width, height)) {
      DisplayError("|b|1ERROR: Can not Save image|n|0At a height of " +
                   NumToStr(request.sizeHeight) + " pixels the picture would be larger than " +
                   NumToStr(kMaxPictureSide) + " pixels on a side or " +
                   NumToStr(static_cast<int32_t>(kMaxPicturePixels / (1024 * 1024))) +
                   " megapixels.");
      return false;
    }
    const QImage bitmap = RenderForSave(picture, width, height, type == itIco);
    if (bitmap.isNull() || !EncodeImageFile(bitmap, type, request, bytes, error)) {
      DisplayError("|b|1ERROR: Can not Save image|n|0" +
                   MarkupEscape(error.empty() ? std::string("out of memory") : error));
      return false;
    }
  }

  int fsError = 0;
  std::string step;
  if (!SaveBytesReplacing(target, bytes, fsError, step)) {
    DisplayError("|b|1ERROR: Can not Save file|n|0" + shownTarget + "|n" + FsErrorText(fsError) +
                 " (" + step + ")");
    return false;
  }
  if (!dropped.empty())
    DisplayMessage("|bSaved " + shownTarget +
                   "|n|0Left out, the format cannot express them: " + MarkupEscape(dropped));
  ListAgainSelecting(target);
  return true;
}

}  // namespace trovix
