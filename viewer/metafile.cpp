// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/metafile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "viewer/metafile_records.h"
#include "viewer/picture.h"

namespace trovix {

namespace {

using metafile::TReader;
using metafile::TRecord;
using metafile::TRecordWalker;

// A natural size in pixels from a size in inches x 96; a picture claiming
// more than the pixel limit is scaled down (it is a vector picture, so it
// still shows all of itself).
bool SetNaturalSize(double width, double height, TMetafile &out) {
  width = std::fabs(width);
  height = std::fabs(height);
  if (!std::isfinite(width) || !std::isfinite(height) || width < 0.5 || height < 0.5) return false;
  double scale = 1;
  scale = std::min(scale, kMaxPictureSide / width);
  scale = std::min(scale, kMaxPictureSide / height);
  double pixels = width * height * scale * scale;
  if (pixels > double(kMaxPicturePixels)) scale *= std::sqrt(double(kMaxPicturePixels) / pixels);
  out.Width = std::clamp(int(std::lround(width * scale)), 1, kMaxPictureSide);
  out.Height = std::clamp(int(std::lround(height * scale)), 1, kMaxPictureSide);
  return true;
}

bool WalkAll(std::string_view bytes, bool emf, size_t start, std::string &error) {
  TRecordWalker walker(bytes, emf, start);
  TRecord record;
  size_t count = 0;
  while (walker.Next(record)) ++count;
  if (walker.Broken) {
    error = "Damaged metafile: " + walker.Problem;
    return false;
  }
  if (count == 0) {
    error = "The metafile holds no records";
    return false;
  }
  return true;
}

bool ParseEmf(const std::string &bytes, TMetafile &out, std::string &error) {
  TReader file(bytes);
  uint32_t headerSize = file.U32(4);
  if (headerSize < metafile::kEmfMinHeader || !file.Has(0, headerSize)) {
    error = "Damaged metafile: the header runs past the end of the file";
    return false;
  }
  if (!WalkAll(bytes, true, 0, error)) return false;
  // The frame is in 0.01 mm; without one, the bounds in reference-device pixels.
  double left = file.I32(24), top = file.I32(28), right = file.I32(32), bottom = file.I32(36);
  double width = (right - left) / 2540.0 * 96, height = (bottom - top) / 2540.0 * 96;
  if (std::fabs(width) < 0.5 || std::fabs(height) < 0.5) {
    double devX = file.I32(72), devY = file.I32(76), mmX = file.I32(80), mmY = file.I32(84);
    double pxPerMmX = devX > 0 && mmX > 0 ? devX / mmX : 96 / 25.4;
    double pxPerMmY = devY > 0 && mmY > 0 ? devY / mmY : 96 / 25.4;
    width = (double(file.I32(16)) - file.I32(8) + 1) / pxPerMmX * 96 / 25.4;
    height = (double(file.I32(20)) - file.I32(12) + 1) / pxPerMmY * 96 / 25.4;
  }
  if (!SetNaturalSize(width, height, out)) {
    error = "The metafile has no size";
    return false;
  }
  return true;
}

// The largest x and y that the shape records of a WMF reach (parameters are
// stored last first, so every coordinate pair is y, x).
void ReachOfShapes(const std::string &bytes, size_t start, double &width, double &height) {
  TRecordWalker walker(bytes, false, start);
  TRecord record;
  auto reach = [&](const TReader &r, size_t at, size_t pairs) {
    for (size_t i = 0; i < pairs && r.Has(at + 4 * i, 4); ++i) {
      height = std::max(height, double(r.I16(at + 4 * i)));
      width = std::max(width, double(r.I16(at + 4 * i + 2)));
    }
  };
  while (walker.Next(record)) {
    const TReader &r = record.Data;
    switch (record.Type) {
      case 0x0213:  // LINETO, MOVETO
      case 0x0214: reach(r, 6, 1); break;
      case 0x0418:  // ELLIPSE, RECTANGLE: bottom, right, top, left
      case 0x041B: reach(r, 6, 2); break;
      case 0x061C:  // ROUNDRECT
        reach(r, 10, 2);
        break;
      case 0x0817:  // ARC, PIE, CHORD
      case 0x081A:
      case 0x0830: reach(r, 14, 2); break;
      case 0x0324:  // POLYGON, POLYLINE: count, then x, y pairs
      case 0x0325:
        for (size_t i = 0; i < size_t(std::max<int>(r.I16(6), 0)) && r.Has(8 + 4 * i, 4); ++i) {
          width = std::max(width, double(r.I16(8 + 4 * i)));
          height = std::max(height, double(r.I16(10 + 4 * i)));
        }
        break;
      default: break;
    }
  }
}

bool ParseWmf(const std::string &bytes, TMetafile &out, std::string &error) {
  TReader file(bytes);
  bool placeable = file.U32(0) == metafile::kPlaceableKey;
  size_t header = placeable ? metafile::kPlaceableSize : 0;
  if (!file.Has(header, metafile::kWmfHeaderSize) || file.U16(header + 2) < 9) {
    error = "Damaged metafile: the header runs past the end of the file";
    return false;
  }
  size_t start = metafile::WmfRecordsStart(bytes);
  if (start > bytes.size()) {
    error = "Damaged metafile: the header runs past the end of the file";
    return false;
  }
  if (!WalkAll(bytes, false, start, error)) return false;
  double width = 0, height = 0;
  if (placeable) {
    double inch = file.U16(14) ? file.U16(14) : 1440;
    width = (double(file.I16(10)) - file.I16(6)) * 96 / inch;
    height = (double(file.I16(12)) - file.I16(8)) * 96 / inch;
  } else {
    // Without the placeable header the size is the window extent the
    // records set up, taken as pixels.
    TRecordWalker walker(bytes, false, start);
    TRecord record;
    while (walker.Next(record)) {
      if (record.Type == 0x020C) {
        height = record.Data.I16(6);
        width = record.Data.I16(8);
        break;
      }
    }
    // Drawn in device pixels with no extent at all: as far as the shapes reach.
    if (width == 0 || height == 0) ReachOfShapes(bytes, start, width, height);
  }
  if (!SetNaturalSize(width, height, out)) {
    error = "The metafile has no size";
    return false;
  }
  return true;
}

}  // namespace

bool ParseMetafile(const std::string &bytes, TMetafile &out, std::string &error) {
  out = TMetafile();
  TReader file(bytes);
  bool parsed = false;
  if (file.Has(0, metafile::kEmfMinHeader) && file.U32(0) == 1 &&
      file.U32(40) == metafile::kEmfSignature) {
    out.Kind = TMetafileKind::Emf;
    parsed = ParseEmf(bytes, out, error);
  } else if (file.U32(0) == metafile::kPlaceableKey ||
             (file.Has(0, metafile::kWmfHeaderSize) && (file.U16(0) == 1 || file.U16(0) == 2) &&
              file.U16(2) == 9 && (file.U16(4) == 0x0100 || file.U16(4) == 0x0300))) {
    out.Kind = TMetafileKind::Wmf;
    parsed = ParseWmf(bytes, out, error);
  } else {
    error = "Not an EMF or WMF metafile";
  }
  if (!parsed) {
    out = TMetafile();
    return false;
  }
  out.Bytes = bytes;
  return true;
}

}  // namespace trovix
