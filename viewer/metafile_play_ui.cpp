// SPDX-License-Identifier: GPL-3.0-or-later
// The record player: EMF and WMF records onto a QPainter.
#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <vector>

#include "viewer/metafile_records.h"
#include "viewer/metafile_ui.h"
#include "viewer/picture.h"

namespace trovix {

namespace {

using metafile::TReader;
using metafile::TRecord;
using metafile::TRecordWalker;

// Saved states beyond this depth are not kept (a hostile file could ask for
// millions); the matching restores then find nothing and are ignored.
constexpr size_t kMaxSavedStates = 1024;
// Objects a WMF file may create beyond the count its header declares.
constexpr size_t kMaxWmfObjects = 65535;
// The most edges a combined clip may have.
constexpr int kMaxClipElements = 2000;
// The most edges all clip combinations of one playing may handle together.
constexpr int64_t kMaxClipWork = 2000000;

QColor ColourRef(uint32_t colour) {
  return QColor(int(colour & 0xFF), int(colour >> 8 & 0xFF), int(colour >> 16 & 0xFF));
}

struct TPenSpec {
  uint32_t Style = 0;  // PS_* with end cap, join and type bits
  double Width = 0;    // logical units; 0 is one device pixel
  QColor Colour = Qt::black;
  std::vector<double> Dashes;  // user style, logical units
};

struct TBrushSpec {
  uint32_t Style = 0;  // 0 solid, 1 null, 2 hatched, 3 pattern
  QColor Colour = Qt::white;
  uint32_t Hatch = 0;
  QImage Pattern;
};

struct TFontSpec {
  int Height = 0;
  int Width = 0;
  int Escapement = 0;  // tenths of a degree, anticlockwise
  int Weight = 400;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  QString Face;
};

struct TObject {
  enum Kind { None, Pen, Brush, Font, Region, Other } Kind = None;
  TPenSpec PenSpec;
  TBrushSpec BrushSpec;
  TFontSpec FontSpec;
  QPainterPath RegionShape;  // logical coordinates
};

struct TState {
  int MapMode = 1;
  QPointF WindowOrg, ViewportOrg;
  QSizeF WindowExt{1, 1}, ViewportExt{1, 1};
  QTransform World;
  TPenSpec Pen;
  TBrushSpec Brush;
  TFontSpec Font;
  QColor TextColour = Qt::black;
  QColor BkColour = Qt::white;
  int BkMode = 2;  // 1 transparent, 2 opaque
  uint32_t TextAlign = 0;
  int PolyFill = 1;  // 1 alternate, 2 winding
  int StretchMode = 1;
  bool Clockwise = false;
  QPointF Position;  // logical
  bool Clipped = false;
  QPainterPath Clip;  // in target coordinates
};

// The characters 0x80-0x9F of Windows code page 1252; the rest is Latin-1.
QString FromAnsi(std::string_view bytes) {
  static const char16_t kHigh[32] = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  QString text;
  text.reserve(qsizetype(bytes.size()));
  for (char c : bytes) {
    auto byte = uint8_t(c);
    text.append(byte >= 0x80 && byte < 0xA0 ? QChar(kHigh[byte - 0x80]) : QChar(byte));
  }
  return text;
}

// A device-independent bitmap: header, colour table and pixel rows, each part
// checked against the bytes that hold it. topDown says whether row 0 of the
// result was the first row stored.
QImage DecodeDib(const TReader &info, const TReader &bits, bool keepAlpha, bool *bottomUp) {
  uint32_t headerSize = info.U32(0);
  int64_t width, height;
  int bpp;
  uint32_t compression = 0, coloursUsed = 0;
  bool core = headerSize == 12;
  if (core) {
    width = info.U16(4);
    height = info.U16(6);
    bpp = info.U16(10);
  } else if (headerSize >= 40 && info.Has(0, headerSize)) {
    width = info.I32(4);
    height = info.I32(8);
    bpp = info.U16(14);
    compression = info.U32(16);
    coloursUsed = info.U32(32);
  } else {
    return {};
  }
  bool flipped = height > 0;
  if (bottomUp) *bottomUp = flipped;
  height = height < 0 ? -height : height;
  if (!PictureSizeAllowed(width, height)) return {};
  if (compression == 4 || compression == 5) {  // an embedded JPEG or PNG
    QImage image = QImage::fromData(reinterpret_cast<const uchar *>(bits.Data().data()),
                                    int(std::min<size_t>(bits.Size(), INT32_MAX)));
    if (bottomUp) *bottomUp = false;
    return image.convertToFormat(QImage::Format_ARGB32);
  }
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return {};
  if (compression != 0 && !(compression == 3 && (bpp == 16 || bpp == 32))) return {};
  uint32_t masks[3] = {0, 0, 0};
  size_t tableOffset = headerSize;
  if (compression == 3) {
    size_t maskOffset = headerSize >= 52 ? 40 : headerSize;
    for (int i = 0; i < 3; ++i) masks[i] = info.U32(maskOffset + 4 * size_t(i));
    if (headerSize < 52) tableOffset += 12;
  } else if (bpp == 16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  }
  std::vector<QRgb> table;
  if (bpp <= 8) {
    size_t entries = size_t(1) << bpp;
    if (coloursUsed > 0 && coloursUsed < entries) entries = coloursUsed;
    size_t entrySize = core ? 3 : 4;
    for (size_t i = 0; i < entries; ++i) {
      size_t at = tableOffset + i * entrySize;
      if (!info.Has(at, 3)) {
        table.push_back(qRgb(int(i * 255 / ((size_t(1) << bpp) - 1)), 0, 0));
        continue;
      }
      table.push_back(qRgb(info.U8(at + 2), info.U8(at + 1), info.U8(at)));
    }
    table.resize(size_t(1) << bpp, qRgb(0, 0, 0));
  }
  uint64_t stride = (uint64_t(width) * uint64_t(bpp) + 31) / 32 * 4;
  if (stride * uint64_t(height) > bits.Size()) return {};
  QImage image(int(width), int(height),
               keepAlpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_ARGB32);
  if (image.isNull()) return {};
  auto maskValue = [](uint32_t value, uint32_t mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!(mask >> shift & 1)) ++shift;
    uint64_t max = mask >> shift;
    return int(uint64_t((value & mask) >> shift) * 255 / max);
  };
  const auto *data = reinterpret_cast<const uint8_t *>(bits.Data().data());
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t *row = data + stride * uint64_t(flipped ? height - 1 - y : y);
    auto *out = reinterpret_cast<QRgb *>(image.scanLine(int(y)));
    for (int64_t x = 0; x < width; ++x) {
      QRgb pixel;
      switch (bpp) {
        case 1: pixel = table[row[x >> 3] >> (7 - (x & 7)) & 1]; break;
        case 4: pixel = table[row[x >> 1] >> (x & 1 ? 0 : 4) & 0xF]; break;
        case 8: pixel = table[row[x]]; break;
        case 16: {
          uint32_t v = uint32_t(row[2 * x] | row[2 * x + 1] << 8);
          pixel = qRgb(maskValue(v, masks[0]), maskValue(v, masks[1]), maskValue(v, masks[2]));
          break;
        }
        case 24: pixel = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
        default: {
          const uint8_t *p = row + 4 * x;
          if (compression == 3) {
            uint32_t v =
                uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
            pixel = qRgb(maskValue(v, masks[0]), maskValue(v, masks[1]), maskValue(v, masks[2]));
          } else if (keepAlpha) {
            // Alpha-blended sources are premultiplied; clamp colour to alpha.
            int a = p[3];
            pixel =
                qRgba(std::min<int>(p[2], a), std::min<int>(p[1], a), std::min<int>(p[0], a), a);
          } else {
            pixel = qRgb(p[2], p[1], p[0]);
          }
        }
      }
      out[x] = pixel;
    }
  }
  return image;
}

// A packed DIB (WMF records): the header, the colour table and the rows in a row.
QImage DecodePackedDib(const TReader &dib, bool *bottomUp) {
  uint32_t headerSize = dib.U32(0);
  size_t tableBytes = 0;
  if (headerSize == 12) {
    int bpp = dib.U16(10);
    tableBytes = bpp <= 8 ? (size_t(1) << bpp) * 3 : 0;
  } else if (headerSize >= 40) {
    int bpp = dib.U16(14);
    uint32_t compression = dib.U32(16), used = dib.U32(32);
    if (bpp <= 8) {
      size_t entries = size_t(1) << bpp;
      if (used > 0 && used < entries) entries = used;
      tableBytes = entries * 4;
    }
    if (compression == 3 && headerSize < 52) tableBytes += 12;
  } else {
    return {};
  }
  size_t bitsAt = headerSize + tableBytes;
  if (bitsAt > dib.Size()) return {};
  return DecodeDib(TReader(dib.Data().substr(0, bitsAt)), TReader(dib.Data().substr(bitsAt)), false,
                   bottomUp);
}

class TPlayer {
 public:
  TPlayer(const TMetafile &metafile, QPainter &painter, const QRectF &target);
  void Play();

 private:
  // Coordinates.
  QTransform PageTransform() const;
  QTransform Full() const { return S.World * PageTransform() * DeviceToTarget; }
  double Scale() const { return std::sqrt(std::fabs(Full().determinant())); }
  QRectF Box(const TReader &r, size_t at) const {
    return QRectF(QPointF(r.I32(at), r.I32(at + 4)), QPointF(r.I32(at + 8), r.I32(at + 12)))
        .normalized();
  }
  QRectF WmfBox(const TReader &r, size_t at) const {  // bottom, right, top, left
    return QRectF(QPointF(r.I16(at + 6), r.I16(at + 4)), QPointF(r.I16(at + 2), r.I16(at)))
        .normalized();
  }

  // Drawing.
  QPen MakePen() const;
  QBrush MakeBrush(const TBrushSpec &spec) const;
  void ApplyClip();
  void DrawShape(const QPainterPath &logical, bool closed);
  // An ellipse, or a rectangle with corners rounded by ellipses of corner's
  // size (square corners by default), filling box.
  void BoxShape(const QRectF &box, bool ellipse, QSizeF corner = QSizeF());
  void FillTarget(const QPainterPath &target, const QBrush &brush);
  void LineTo(const QPointF &point);
  void PolylineTo(const std::vector<QPointF> &points, bool bezier);
  QPainterPath ArcPath(const QRectF &box, QPointF start, QPointF end, int kind) const;
  void DrawText(QPointF reference, const QString &text, const std::vector<double> &dx,
                uint32_t options, const QRectF *rect);
  void DrawImage(const QImage &image, QRectF source, const QRectF &dest, uint32_t rop,
                 double opacity = 1);
  void PatternBlt(const QRectF &dest, uint32_t rop);

  // Path bracket.
  void PathStart();
  void EndPathUse() { Path = QPainterPath(), FigureOpen = false; }
  void CombineClip(const QPainterPath &with, uint32_t mode);
  QRectF Universe() const;

  // State and objects.
  void Save();
  void Restore(int which);
  void Select(uint32_t index);
  void SelectObject(const TObject &object);
  TObject *EmfObject(uint32_t index);
  TObject *WmfNewObject();

  // Records.
  bool ReadPoints(const TReader &r, size_t at, uint64_t count, bool small,
                  std::vector<QPointF> &points) const;
  void PlayEmf(const TRecord &record);
  void PlayWmf(const TRecord &record);
  void EmfPolyPoly(const TReader &r, bool small, bool closed);
  void EmfText(const TReader &r, bool wide);
  void EmfRegion(const TReader &r, size_t at, size_t size, const QBrush *brush, uint32_t mode);

  const TMetafile &Metafile;
  QPainter &P;
  QRectF Target;
  QTransform Base;
  bool BaseClipped = false;
  QPainterPath BaseClip;
  bool Emf;
  QTransform DeviceToTarget;
  double DevPerMmX = 96 / 25.4, DevPerMmY = 96 / 25.4;
  TState S;
  std::vector<TState> Saved;
  size_t SavesDropped = 0;
  std::vector<TObject> Objects;
  size_t WmfObjectLimit = 0;
  bool InPath = false;
  bool FigureOpen = false;
  QPainterPath Path;  // target coordinates
  bool ClipDirty = true;
  int64_t ClipWork = 0;
  bool RasterOps;
};

TPlayer::TPlayer(const TMetafile &metafile, QPainter &painter, const QRectF &target)
    : Metafile(metafile),
      P(painter),
      Target(target),
      Base(painter.transform()),
      Emf(metafile.Kind == TMetafileKind::Emf) {
  RasterOps = P.paintEngine() && P.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
  if (P.hasClipping()) {
    BaseClipped = true;
    BaseClip = P.clipPath();
  }
  TReader file(metafile.Bytes);
  if (Emf) {
    double devX = file.I32(72), devY = file.I32(76), mmX = file.I32(80), mmY = file.I32(84);
    if (file.U32(4) >= 108 && file.I32(100) > 0 && file.I32(104) > 0)
      mmX = file.I32(100) / 1000.0, mmY = file.I32(104) / 1000.0;
    if (devX > 0 && devY > 0 && mmX > 0 && mmY > 0) DevPerMmX = devX / mmX, DevPerMmY = devY / mmY;
    QRectF frame(QPointF(file.I32(24) * DevPerMmX / 100, file.I32(28) * DevPerMmY / 100),
                 QPointF(file.I32(32) * DevPerMmX / 100, file.I32(36) * DevPerMmY / 100));
    if (std::fabs(frame.width()) < 1e-6 || std::fabs(frame.height()) < 1e-6)
      frame = QRectF(QPointF(file.I32(8), file.I32(12)),
                     QPointF(double(file.I32(16)) + 1, double(file.I32(20)) + 1));
    if (std::fabs(frame.width()) < 1e-6 || std::fabs(frame.height()) < 1e-6)
      frame = QRectF(0, 0, metafile.Width, metafile.Height);
    DeviceToTarget =
        QTransform::fromTranslate(-frame.left(), -frame.top()) *
        QTransform::fromScale(target.width() / frame.width(), target.height() / frame.height()) *
        QTransform::fromTranslate(target.left(), target.top());
    Objects.resize(std::max<size_t>(file.U16(56), 1));
  } else {
    // A WMF plays in window coordinates mapped onto the target: the window
    // is the placeable header's box, or the extent the records set up.
    bool placeable = file.U32(0) == metafile::kPlaceableKey;
    S.MapMode = 8;
    S.ViewportOrg = target.topLeft();
    S.ViewportExt = target.size();
    if (placeable) {
      S.WindowOrg = QPointF(file.I16(6), file.I16(8));
      S.WindowExt = QSizeF(double(file.I16(10)) - file.I16(6), double(file.I16(12)) - file.I16(8));
    } else {
      S.WindowExt = QSizeF(metafile.Width, metafile.Height);
    }
    size_t header = placeable ? metafile::kPlaceableSize : 0;
    WmfObjectLimit = std::max<size_t>(file.U16(header + 10), 16);
  }
}

QTransform TPlayer::PageTransform() const {
  double sx = 1, sy = 1;
  double mm = 0;  // millimetres per logical unit for the fixed modes
  switch (S.MapMode) {
    case 2: mm = 0.1; break;
    case 3: mm = 0.01; break;
    case 4: mm = 0.254; break;
    case 5: mm = 0.0254; break;
    case 6: mm = 25.4 / 1440; break;
    default: break;
  }
  if (!Emf || S.MapMode == 7 || S.MapMode == 8) {
    sx = S.ViewportExt.width() / S.WindowExt.width();
    sy = S.ViewportExt.height() / S.WindowExt.height();
    if (S.MapMode == 7) {  // isotropic: the smaller scale on both axes
      double m = std::min(std::fabs(sx), std::fabs(sy));
      sx = std::copysign(m, sx);
      sy = std::copysign(m, sy);
    }
  } else if (mm > 0) {
    sx = mm * DevPerMmX;
    sy = -mm * DevPerMmY;
  }
  return QTransform(sx, 0, 0, sy, S.ViewportOrg.x() - S.WindowOrg.x() * sx,
                    S.ViewportOrg.y() - S.WindowOrg.y() * sy);
}

QRectF TPlayer::Universe() const {
  double margin = Target.width() + Target.height() + 1000;
  return Target.adjusted(-margin, -margin, margin, margin);
}

QPen TPlayer::MakePen() const {
  const TPenSpec &spec = S.Pen;
  uint32_t style = spec.Style & 0xF;
  if (style == 5) return Qt::NoPen;
  QPen pen(spec.Colour);
  double width = std::min(spec.Width * Scale(), 1e6);
  double device = width * std::sqrt(std::fabs(Base.determinant()));
  bool cosmetic = !(device >= 1.0) || !std::isfinite(width);
  pen.setWidthF(cosmetic ? 0 : width);
  pen.setCosmetic(cosmetic);
  switch (style) {
    case 1: pen.setStyle(Qt::DashLine); break;
    case 2:
    case 8: pen.setStyle(Qt::DotLine); break;
    case 3: pen.setStyle(Qt::DashDotLine); break;
    case 4: pen.setStyle(Qt::DashDotDotLine); break;
    case 7:
      if (!spec.Dashes.empty() && spec.Dashes.size() % 2 == 0 && spec.Width > 0) {
        QList<qreal> pattern;
        for (double d : spec.Dashes) pattern.append(std::max(d / spec.Width, 0.01));
        pen.setDashPattern(pattern);
      }
      break;
    default: break;
  }
  if (!cosmetic) {
    uint32_t cap = spec.Style & 0xF00, join = spec.Style & 0xF000;
    pen.setCapStyle(cap == 0x100 ? Qt::SquareCap : cap == 0x200 ? Qt::FlatCap : Qt::RoundCap);
    pen.setJoinStyle(join == 0x1000   ? Qt::BevelJoin
                     : join == 0x2000 ? Qt::MiterJoin
                                      : Qt::RoundJoin);
  }
  return pen;
}

QBrush TPlayer::MakeBrush(const TBrushSpec &spec) const {
  switch (spec.Style) {
    case 1: return Qt::NoBrush;
    case 2: {
      static const Qt::BrushStyle kHatches[6] = {Qt::HorPattern,   Qt::VerPattern,
                                                 Qt::FDiagPattern, Qt::BDiagPattern,
                                                 Qt::CrossPattern, Qt::DiagCrossPattern};
      return QBrush(spec.Colour, spec.Hatch < 6 ? kHatches[spec.Hatch] : Qt::SolidPattern);
    }
    case 3:
      if (!spec.Pattern.isNull()) return QBrush(spec.Pattern);
      return QBrush(spec.Colour);
    default: return QBrush(spec.Colour);
  }
}

void TPlayer::ApplyClip() {
  if (!ClipDirty) return;
  ClipDirty = false;
  if (S.Clipped) {
    P.setClipPath(BaseClipped ? S.Clip.intersected(BaseClip) : S.Clip);
  } else if (BaseClipped) {
    P.setClipPath(BaseClip);
  } else {
    P.setClipping(false);
  }
}

void TPlayer::FillTarget(const QPainterPath &target, const QBrush &brush) {
  ApplyClip();
  P.setBackgroundMode(S.BkMode == 2 ? Qt::OpaqueMode : Qt::TransparentMode);
  P.setBackground(S.BkColour);
  P.setPen(Qt::NoPen);
  P.setBrush(brush);
  P.drawPath(target);
}

void TPlayer::BoxShape(const QRectF &box, bool ellipse, QSizeF corner) {
  QPainterPath path;
  if (ellipse)
    path.addEllipse(box);
  else
    path.addRoundedRect(box, std::min(std::fabs(corner.width()) / 2, box.width() / 2),
                        std::min(std::fabs(corner.height()) / 2, box.height() / 2));
  DrawShape(path, true);
}

void TPlayer::DrawShape(const QPainterPath &logical, bool closed) {
  QPainterPath target = Full().map(logical);
  target.setFillRule(S.PolyFill == 2 ? Qt::WindingFill : Qt::OddEvenFill);
  if (InPath) {
    Path.addPath(target);
    FigureOpen = !closed;
    return;
  }
  ApplyClip();
  P.setBackgroundMode(S.BkMode == 2 ? Qt::OpaqueMode : Qt::TransparentMode);
  P.setBackground(S.BkColour);
  P.setPen(MakePen());
  P.setBrush(closed ? MakeBrush(S.Brush) : QBrush(Qt::NoBrush));
  P.drawPath(target);
}

void TPlayer::PathStart() {
  if (!FigureOpen) {
    Path.moveTo(Full().map(S.Position));
    FigureOpen = true;
  }
}

void TPlayer::LineTo(const QPointF &point) {
  if (InPath) {
    PathStart();
    Path.lineTo(Full().map(point));
  } else {
    QPainterPath line(S.Position);
    line.lineTo(point);
    DrawShape(line, false);
  }
  S.Position = point;
}

void TPlayer::PolylineTo(const std::vector<QPointF> &points, bool bezier) {
  if (points.empty()) return;
  QTransform full = Full();
  if (InPath) {
    PathStart();
    if (bezier) {
      for (size_t i = 0; i + 2 < points.size(); i += 3)
        Path.cubicTo(full.map(points[i]), full.map(points[i + 1]), full.map(points[i + 2]));
    } else {
      for (const QPointF &p : points) Path.lineTo(full.map(p));
    }
  } else {
    QPainterPath line(S.Position);
    if (bezier) {
      for (size_t i = 0; i + 2 < points.size(); i += 3)
        line.cubicTo(points[i], points[i + 1], points[i + 2]);
    } else {
      for (const QPointF &p : points) line.lineTo(p);
    }
    DrawShape(line, false);
  }
  if (!bezier)
    S.Position = points.back();
  else if (points.size() >= 3)
    S.Position = points[points.size() / 3 * 3 - 1];
}

// kind 0 arc, 1 chord, 2 pie. The angles come from the radial lines through
// start and end; the arc runs anticlockwise as seen unless the direction
// says clockwise.
QPainterPath TPlayer::ArcPath(const QRectF &box, QPointF start, QPointF end, int kind) const {
  QPointF c = box.center();
  double rx = std::max(box.width() / 2, 1e-9), ry = std::max(box.height() / 2, 1e-9);
  double a0 = qRadiansToDegrees(std::atan2(-(start.y() - c.y()) / ry, (start.x() - c.x()) / rx));
  double a1 = qRadiansToDegrees(std::atan2(-(end.y() - c.y()) / ry, (end.x() - c.x()) / rx));
  bool clockwise = S.Clockwise;
  if (Full().determinant() < 0 && PageTransform().m22() < 0) clockwise = !clockwise;
  double sweep = std::fmod(a1 - a0 + 720, 360);
  if (sweep < 1e-9) sweep = 360;
  if (clockwise) sweep -= 360;
  if (clockwise && sweep > -1e-9) sweep = -360;
  QPainterPath path;
  if (kind == 2) {
    path.moveTo(c);
    path.arcTo(box, a0, sweep);
    path.closeSubpath();
  } else {
    path.arcMoveTo(box, a0);
    path.arcTo(box, a0, sweep);
    if (kind == 1) path.closeSubpath();
  }
  return path;
}

void TPlayer::DrawText(QPointF reference, const QString &text, const std::vector<double> &dx,
                       uint32_t options, const QRectF *rect) {
  QTransform full = Full();
  QPointF origin = full.map(QPointF(0, 0));
  QLineF xAxis(origin, full.map(QPointF(1, 0))), yAxis(origin, full.map(QPointF(0, 1)));
  double xUnit = xAxis.length(), yUnit = yAxis.length();
  if (options & 2 && rect) {  // ETO_OPAQUE
    QPainterPath box;
    box.addRect(*rect);
    FillTarget(full.map(box), S.BkColour);
  }
  if (text.isEmpty()) return;
  const TFontSpec &spec = S.Font;
  QFont font(spec.Face.isEmpty() ? QString("Sans Serif") : spec.Face);
  font.setWeight(QFont::Weight(std::clamp(spec.Weight ? spec.Weight : 400, 1, 1000)));
  font.setItalic(spec.Italic);
  font.setUnderline(spec.Underline);
  font.setStrikeOut(spec.StrikeOut);
  // Height 0 asks for the default size.
  double em = (spec.Height == 0 ? 12 : std::fabs(double(spec.Height))) * yUnit;
  if (spec.Height > 0) {  // a cell height: ascent + descent
    QFont probe = font;
    probe.setPixelSize(100);
    QFontMetricsF m(probe);
    em = em * 100 / std::max(m.ascent() + m.descent(), 1.0);
  }
  if (!(em > 0.05) || !std::isfinite(em)) return;
  int pixels = em >= 8 && em <= 1024 ? int(std::lround(em)) : em < 8 ? 32 : 1024;
  double k = em / pixels;
  font.setPixelSize(pixels);
  if (spec.Width != 0) {
    QFontMetricsF m(font);
    double wanted = std::fabs(double(spec.Width)) * xUnit / k;
    if (m.averageCharWidth() > 0)
      font.setStretch(std::clamp(int(std::lround(wanted / m.averageCharWidth() * 100)), 1, 4000));
  }
  QFontMetricsF metrics(font);
  double angle = -spec.Escapement / 10.0;
  if (std::fabs(full.m12()) > 1e-12 || std::fabs(full.m21()) > 1e-12) angle += xAxis.angle() * -1;
  // Advances along the baseline, in font pixels.
  std::vector<double> advances;
  double width = 0;
  if (!dx.empty()) {
    for (double d : dx) {
      advances.push_back(d * xUnit / k);
      width += advances.back();
    }
  } else {
    width = metrics.horizontalAdvance(text);
  }
  bool updateCp = S.TextAlign & 1;
  QPointF at = full.map(updateCp ? S.Position : reference);
  double x0 = 0, y0 = 0;
  uint32_t horizontal = S.TextAlign & 6, vertical = S.TextAlign & 24;
  if (horizontal == 6)
    x0 = -width / 2;
  else if (horizontal == 2)
    x0 = -width;
  if (vertical == 8)
    y0 = -metrics.descent();
  else if (vertical == 0)
    y0 = metrics.ascent();
  QTransform place = QTransform::fromScale(k, k) * QTransform().rotate(angle) *
                     QTransform::fromTranslate(at.x(), at.y());
  if (InPath) {
    QPainterPath glyphs;
    glyphs.addText(QPointF(x0, y0), font, text);
    Path.addPath(place.map(glyphs));
  } else {
    ApplyClip();
    P.save();
    if (options & 4 && rect) {  // ETO_CLIPPED
      QPainterPath clip;
      clip.addRect(*rect);
      P.setClipPath(full.map(clip), P.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    }
    P.setTransform(place * Base);
    if (S.BkMode == 2)
      P.fillRect(QRectF(x0, y0 - metrics.ascent(), width, metrics.ascent() + metrics.descent()),
                 S.BkColour);
    P.setFont(font);
    P.setPen(S.TextColour);
    if (advances.empty()) {
      P.drawText(QPointF(x0, y0), text);
    } else {
      double x = x0;
      size_t i = 0;
      for (qsizetype c = 0; c < text.size(); ++c) {
        qsizetype length = text[c].isHighSurrogate() && c + 1 < text.size() ? 2 : 1;
        P.drawText(QPointF(x, y0), text.mid(c, length));
        if (i < advances.size()) x += advances[i];
        i += size_t(length);
        c += length - 1;
      }
    }
    P.restore();
    ClipDirty = true;
  }
  if (updateCp) {
    bool invertible;
    QTransform back = full.inverted(&invertible);
    QPointF end = at + QTransform().rotate(angle).map(QPointF(width * k, 0));
    if (invertible) S.Position = back.map(end);
  }
}

void TPlayer::DrawImage(const QImage &image, QRectF source, const QRectF &dest, uint32_t rop,
                        double opacity) {
  if (image.isNull() || source.width() == 0 || source.height() == 0) return;
  QImage picture = image;
  QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
  switch (rop) {
    case 0x008800C6:  // SRCAND
      if (!RasterOps) return;
      mode = QPainter::RasterOp_SourceAndDestination;
      break;
    case 0x00EE0086:  // SRCPAINT
      if (RasterOps) mode = QPainter::RasterOp_SourceOrDestination;
      break;
    case 0x00660046:  // SRCINVERT
      if (!RasterOps) return;
      mode = QPainter::RasterOp_SourceXorDestination;
      break;
    case 0x00330008:  // NOTSRCCOPY
      picture.invertPixels();
      break;
    default: break;
  }
  QTransform place(dest.width() / source.width(), 0, 0, dest.height() / source.height(),
                   dest.left() - source.left() * dest.width() / source.width(),
                   dest.top() - source.top() * dest.height() / source.height());
  ApplyClip();
  P.save();
  P.setTransform(place * Full() * Base);
  P.setRenderHint(QPainter::SmoothPixmapTransform, S.StretchMode == 4);
  P.setCompositionMode(mode);
  P.setOpacity(opacity);
  P.drawImage(source, picture, source);
  P.restore();
  ClipDirty = true;
}

void TPlayer::PatternBlt(const QRectF &dest, uint32_t rop) {
  QPainterPath box;
  box.addRect(dest);
  QPainterPath target = Full().map(box);
  switch (rop) {
    case 0x00000042:  // BLACKNESS
      FillTarget(target, Qt::black);
      break;
    case 0x00FF0062:  // WHITENESS
      FillTarget(target, Qt::white);
      break;
    case 0x00F00021:  // PATCOPY
      FillTarget(target, MakeBrush(S.Brush));
      break;
    case 0x00550009:  // DSTINVERT
    case 0x005A0049:  // PATINVERT
      if (RasterOps) {
        P.save();
        P.setCompositionMode(rop == 0x00550009 ? QPainter::RasterOp_NotDestination
                                               : QPainter::RasterOp_SourceXorDestination);
        FillTarget(target, rop == 0x00550009 ? QBrush(Qt::black) : MakeBrush(S.Brush));
        P.restore();
        ClipDirty = true;
      }
      break;
    default: break;
  }
}

void TPlayer::CombineClip(const QPainterPath &with, uint32_t mode) {
  // Combining shapes costs more the more edges they have; a file that keeps
  // cutting the clip stops being clipped further rather than hanging.
  if (!S.Clipped && (mode == 1 || mode == 5)) {
    S.Clip = with;
    S.Clipped = ClipDirty = true;
    return;
  }
  int64_t work = int64_t(S.Clip.elementCount()) + with.elementCount();
  if (mode != 5 && (work > kMaxClipElements || ClipWork + work > kMaxClipWork)) return;
  ClipWork += work;
  QPainterPath current;
  if (S.Clipped)
    current = S.Clip;
  else
    current.addRect(Universe());
  switch (mode) {
    case 1:  // RGN_AND
      S.Clip = current.intersected(with);
      break;
    case 2:  // RGN_OR
      S.Clip = current.united(with);
      break;
    case 3:  // RGN_XOR
      S.Clip = current.subtracted(with).united(with.subtracted(current));
      break;
    case 4:  // RGN_DIFF
      S.Clip = current.subtracted(with);
      break;
    case 5:  // RGN_COPY
      S.Clip = with;
      break;
    default: return;
  }
  S.Clipped = true;
  ClipDirty = true;
}

void TPlayer::Save() {
  if (Saved.size() >= kMaxSavedStates) {
    ++SavesDropped;
    return;
  }
  Saved.push_back(S);
}

void TPlayer::Restore(int which) {
  // Negative: that many saves back; positive: the save with that number.
  size_t count = Saved.size() + SavesDropped;
  size_t back;
  if (which < 0)
    back = size_t(-int64_t(which));
  else if (which > 0 && size_t(which) <= count)
    back = count - size_t(which) + 1;
  else
    return;
  if (back > count) return;
  size_t fromDropped = std::min(back, SavesDropped);
  SavesDropped -= fromDropped;
  back -= fromDropped;
  if (back == 0) return;
  S = Saved[Saved.size() - back];
  Saved.resize(Saved.size() - back);
  ClipDirty = true;
}

TObject *TPlayer::EmfObject(uint32_t index) {
  if (index == 0 || index >= Objects.size()) return nullptr;
  return &Objects[index];
}

TObject *TPlayer::WmfNewObject() {
  for (TObject &object : Objects)
    if (object.Kind == TObject::None) return &object;
  if (Objects.size() >= std::min(WmfObjectLimit * 4 + 64, kMaxWmfObjects)) return nullptr;
  Objects.emplace_back();
  return &Objects.back();
}

void TPlayer::SelectObject(const TObject &object) {
  switch (object.Kind) {
    case TObject::Pen: S.Pen = object.PenSpec; break;
    case TObject::Brush: S.Brush = object.BrushSpec; break;
    case TObject::Font: S.Font = object.FontSpec; break;
    default: break;
  }
}

void TPlayer::Select(uint32_t index) {
  if (index & 0x80000000) {  // a stock object
    uint32_t stock = index & 0x7FFFFFFF;
    static const int kGreys[5] = {255, 192, 128, 64, 0};
    if (stock <= 4 || stock == 18) {
      S.Brush = TBrushSpec();
      int grey = stock == 18 ? 255 : kGreys[stock];
      S.Brush.Colour = QColor(grey, grey, grey);
    } else if (stock == 5) {
      S.Brush = TBrushSpec();
      S.Brush.Style = 1;
    } else if (stock == 6 || stock == 7 || stock == 19) {
      S.Pen = TPenSpec();
      S.Pen.Colour = stock == 6 ? Qt::white : Qt::black;
    } else if (stock == 8) {
      S.Pen = TPenSpec();
      S.Pen.Style = 5;
    } else if (stock >= 10 && stock <= 17) {
      S.Font = TFontSpec();
    }
    return;
  }
  if (TObject *object = EmfObject(index)) SelectObject(*object);
}

bool TPlayer::ReadPoints(const TReader &r, size_t at, uint64_t count, bool small,
                         std::vector<QPointF> &points) const {
  size_t each = small ? 4 : 8;
  if (at > r.Size() || count > (r.Size() - at) / each) return false;
  points.clear();
  points.reserve(size_t(count));
  for (uint64_t i = 0; i < count; ++i) {
    size_t p = at + size_t(i) * each;
    if (small)
      points.emplace_back(r.I16(p), r.I16(p + 2));
    else
      points.emplace_back(r.I32(p), r.I32(p + 4));
  }
  return true;
}

TPenSpec EmfPen(const TReader &r) {
  TPenSpec pen;
  pen.Style = r.U32(12);
  pen.Width = r.I32(16) < 0 ? 0 : r.I32(16);
  pen.Colour = ColourRef(r.U32(24));
  return pen;
}

void TPlayer::EmfPolyPoly(const TReader &r, bool small, bool closed) {
  uint32_t polygons = r.U32(24), total = r.U32(28);
  if (r.Size() < 32 || polygons > (r.Size() - 32) / 4) return;
  std::vector<QPointF> points;
  if (!ReadPoints(r, 32 + size_t(polygons) * 4, total, small, points)) return;
  QPainterPath path;
  uint64_t used = 0;
  for (uint32_t i = 0; i < polygons; ++i) {
    uint32_t count = r.U32(32 + size_t(i) * 4);
    if (count > total - used) return;
    if (count > 0) {
      path.moveTo(points[used]);
      for (uint32_t j = 1; j < count; ++j) path.lineTo(points[used + j]);
      if (closed) path.closeSubpath();
    }
    used += count;
  }
  DrawShape(path, closed);
}

void TPlayer::EmfText(const TReader &r, bool wide) {
  QPointF reference(r.I32(36), r.I32(40));
  uint32_t chars = r.U32(44), offString = r.U32(48), options = r.U32(52);
  QRectF rect = Box(r, 56);
  bool hasRect = !(options & 0x100);
  uint32_t offDx = r.U32(hasRect ? 72 : 56);
  size_t unit = wide ? 2 : 1;
  if (chars > r.Size() / unit) return;
  std::string_view bytes = r.Sub(offString, size_t(chars) * unit);
  if (bytes.size() != size_t(chars) * unit) return;
  QString text;
  if (options & 0x10) {
    // Glyph indices cannot be turned back into characters without the font.
    text.clear();
  } else if (wide) {
    text.resize(qsizetype(chars));
    for (uint32_t i = 0; i < chars; ++i)
      text[qsizetype(i)] = QChar(char16_t(r.U16(offString + 2 * i)));
  } else {
    text = FromAnsi(bytes);
  }
  std::vector<double> dx;
  size_t dxEach = options & 0x2000 ? 8 : 4;  // ETO_PDY: x and y advances
  if (offDx && chars && r.Has(offDx, size_t(chars) * dxEach)) {
    for (uint32_t i = 0; i < chars; ++i) dx.push_back(r.I32(offDx + i * dxEach));
  }
  DrawText(reference, text, dx, options, hasRect ? &rect : nullptr);
}

// Region data: a 32-byte header and its rectangles. brush null: select as
// clip region (device units) with mode.
void TPlayer::EmfRegion(const TReader &r, size_t at, size_t size, const QBrush *brush,
                        uint32_t mode) {
  TReader data(r.Sub(at, size));
  uint32_t count = data.U32(8);
  QPainterPath region;
  if (size >= 32 && count <= (size - 32) / 16) {
    for (uint32_t i = 0; i < count; ++i) region.addRect(Box(data, 32 + size_t(i) * 16));
  }
  region.setFillRule(Qt::WindingFill);
  if (brush) {
    FillTarget(Full().map(region), *brush);
  } else if (mode == 5 && size == 0) {
    S.Clipped = false;
    ClipDirty = true;
  } else {
    CombineClip(DeviceToTarget.map(region).simplified(), mode);
  }
}

void TPlayer::PlayEmf(const TRecord &record) {
  const TReader &r = record.Data;
  std::vector<QPointF> points;
  switch (record.Type) {
    case 2:   // POLYBEZIER
    case 85:  // POLYBEZIER16
      if (ReadPoints(r, 28, r.U32(24), record.Type == 85, points) && !points.empty()) {
        QPainterPath path(points[0]);
        for (size_t i = 1; i + 2 < points.size(); i += 3)
          path.cubicTo(points[i], points[i + 1], points[i + 2]);
        DrawShape(path, false);
      }
      break;
    case 3:   // POLYGON
    case 4:   // POLYLINE
    case 86:  // POLYGON16
    case 87:  // POLYLINE16
      if (ReadPoints(r, 28, r.U32(24), record.Type >= 85, points) && !points.empty()) {
        bool closed = record.Type == 3 || record.Type == 86;
        QPainterPath path(points[0]);
        for (size_t i = 1; i < points.size(); ++i) path.lineTo(points[i]);
        if (closed) path.closeSubpath();
        DrawShape(path, closed);
      }
      break;
    case 5:   // POLYBEZIERTO
    case 6:   // POLYLINETO
    case 88:  // POLYBEZIERTO16
    case 89:  // POLYLINETO16
      if (ReadPoints(r, 28, r.U32(24), record.Type >= 85, points))
        PolylineTo(points, record.Type == 5 || record.Type == 88);
      break;
    case 7:
    case 90: EmfPolyPoly(r, record.Type == 90, false); break;
    case 8:
    case 91: EmfPolyPoly(r, record.Type == 91, true); break;
    case 56:  // POLYDRAW
    case 92: {
      uint32_t count = r.U32(24);
      bool small = record.Type == 92;
      if (!ReadPoints(r, 28, count, small, points)) break;
      size_t types = 28 + size_t(count) * (small ? 4 : 8);
      if (!r.Has(types, count)) break;
      QPainterPath path(S.Position);
      for (uint32_t i = 0; i < count; ++i) {
        uint8_t type = r.U8(types + i);
        if ((type & 6) == 6)
          path.moveTo(points[i]);
        else if ((type & 6) == 4 && i + 2 < count) {
          path.cubicTo(points[i], points[i + 1], points[i + 2]);
          i += 2;
          type = r.U8(types + i);
        } else
          path.lineTo(points[i]);
        if (type & 1) path.closeSubpath();
      }
      if (count) S.Position = points[count - 1];
      DrawShape(path, false);
      break;
    }
    case 9:  // SETWINDOWEXTEX
      if (r.I32(8) && r.I32(12)) S.WindowExt = QSizeF(r.I32(8), r.I32(12));
      break;
    case 10: S.WindowOrg = QPointF(r.I32(8), r.I32(12)); break;
    case 11:
      if (r.I32(8) && r.I32(12)) S.ViewportExt = QSizeF(r.I32(8), r.I32(12));
      break;
    case 12: S.ViewportOrg = QPointF(r.I32(8), r.I32(12)); break;
    case 15: {  // SETPIXELV
      QPainterPath pixel;
      pixel.addRect(QRectF(r.I32(8), r.I32(12), 1, 1));
      FillTarget(Full().map(pixel), ColourRef(r.U32(16)));
      break;
    }
    case 17:
      if (r.U32(8) >= 1 && r.U32(8) <= 8) S.MapMode = int(r.U32(8));
      break;
    case 18: S.BkMode = int(r.U32(8)); break;
    case 19: S.PolyFill = int(r.U32(8)); break;
    case 21: S.StretchMode = int(r.U32(8)); break;
    case 22: S.TextAlign = r.U32(8); break;
    case 24: S.TextColour = ColourRef(r.U32(8)); break;
    case 25: S.BkColour = ColourRef(r.U32(8)); break;
    case 26:  // OFFSETCLIPRGN
      if (S.Clipped) {
        QTransform full = Full();
        QPointF delta = full.map(QPointF(r.I32(8), r.I32(12))) - full.map(QPointF(0, 0));
        S.Clip.translate(delta);
        ClipDirty = true;
      }
      break;
    case 27:
      S.Position = QPointF(r.I32(8), r.I32(12));
      if (InPath) {
        Path.moveTo(Full().map(S.Position));
        FigureOpen = true;
      }
      break;
    case 29:  // EXCLUDECLIPRECT
    case 30: {
      QPainterPath box;
      box.addRect(Box(r, 8));
      CombineClip(Full().map(box), record.Type == 29 ? 4 : 1);
      break;
    }
    case 31:  // SCALEVIEWPORTEXTEX
    case 32:
      if (r.I32(12) && r.I32(20)) {
        QSizeF &ext = record.Type == 31 ? S.ViewportExt : S.WindowExt;
        QSizeF scaled(ext.width() * r.I32(8) / r.I32(12), ext.height() * r.I32(16) / r.I32(20));
        if (scaled.width() != 0 && scaled.height() != 0) ext = scaled;
      }
      break;
    case 33: Save(); break;
    case 34: Restore(r.I32(8)); break;
    case 35:  // SETWORLDTRANSFORM
    case 36: {
      QTransform x(r.F32(8), r.F32(12), r.F32(16), r.F32(20), r.F32(24), r.F32(28));
      uint32_t mode = record.Type == 35 ? 4 : r.U32(32);
      bool finite = std::isfinite(x.m11()) && std::isfinite(x.m12()) && std::isfinite(x.m21()) &&
                    std::isfinite(x.m22()) && std::isfinite(x.dx()) && std::isfinite(x.dy());
      if (mode == 1) {
        S.World = QTransform();
      } else if (finite && x.determinant() != 0 && std::isfinite(x.determinant())) {
        if (mode == 2)
          S.World = x * S.World;
        else if (mode == 3)
          S.World = S.World * x;
        else if (mode == 4)
          S.World = x;
      }
      break;
    }
    case 37: Select(r.U32(8)); break;
    case 38:  // CREATEPEN
      if (TObject *object = EmfObject(r.U32(8))) {
        *object = TObject();
        object->Kind = TObject::Pen;
        object->PenSpec = EmfPen(r);
      }
      break;
    case 39:  // CREATEBRUSHINDIRECT
      if (TObject *object = EmfObject(r.U32(8))) {
        *object = TObject();
        object->Kind = TObject::Brush;
        object->BrushSpec.Style = r.U32(12);
        object->BrushSpec.Colour = ColourRef(r.U32(16));
        object->BrushSpec.Hatch = r.U32(20);
      }
      break;
    case 40:
      if (TObject *object = EmfObject(r.U32(8))) *object = TObject();
      break;
    case 41: {  // ANGLEARC
      QPointF centre(r.I32(8), r.I32(12));
      double radius = r.U32(16), start = r.F32(20), sweep = r.F32(24);
      if (!std::isfinite(start) || !std::isfinite(sweep)) break;
      QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
      QPainterPath path(S.Position);
      path.arcTo(box, start, sweep);
      S.Position = path.currentPosition();
      if (InPath) {
        PathStart();
        Path.connectPath(Full().map(path));
      } else {
        DrawShape(path, false);
      }
      break;
    }
    case 42: BoxShape(Box(r, 8), true); break;   // ELLIPSE
    case 43: BoxShape(Box(r, 8), false); break;  // RECTANGLE
    case 44:                                     // ROUNDRECT
      BoxShape(Box(r, 8), false, QSizeF(r.I32(24), r.I32(28)));
      break;
    case 45:    // ARC
    case 46:    // CHORD
    case 47:    // PIE
    case 55: {  // ARCTO
      QPointF start(r.I32(24), r.I32(28)), end(r.I32(32), r.I32(36));
      int kind = record.Type == 46 ? 1 : record.Type == 47 ? 2 : 0;
      QPainterPath path = ArcPath(Box(r, 8), start, end, kind);
      if (record.Type == 55) {
        QPainterPath joined(S.Position);
        joined.connectPath(path);
        S.Position = path.currentPosition();
        if (InPath) {
          PathStart();
          Path.connectPath(Full().map(path));
        } else {
          DrawShape(joined, false);
        }
      } else {
        DrawShape(path, kind != 0);
      }
      break;
    }
    case 54: LineTo(QPointF(r.I32(8), r.I32(12))); break;
    case 57: S.Clockwise = r.U32(8) == 2; break;
    case 59:  // BEGINPATH
      InPath = true;
      EndPathUse();
      break;
    case 60: InPath = false; break;
    case 61:
      if (InPath) {
        Path.closeSubpath();
        FigureOpen = false;
      }
      break;
    case 62:  // FILLPATH
    case 63:  // STROKEANDFILLPATH
    case 64: {
      if (InPath) break;
      Path.setFillRule(S.PolyFill == 2 ? Qt::WindingFill : Qt::OddEvenFill);
      ApplyClip();
      P.setBackgroundMode(S.BkMode == 2 ? Qt::OpaqueMode : Qt::TransparentMode);
      P.setBackground(S.BkColour);
      P.setPen(record.Type == 62 ? QPen(Qt::NoPen) : MakePen());
      P.setBrush(record.Type == 64 ? QBrush(Qt::NoBrush) : MakeBrush(S.Brush));
      P.drawPath(Path);
      EndPathUse();
      break;
    }
    case 66:  // WIDENPATH
      if (!InPath) {
        QPainterPathStroker stroker(MakePen());
        if (stroker.width() <= 0) stroker.setWidth(1);
        Path = stroker.createStroke(Path);
      }
      break;
    case 67:  // SELECTCLIPPATH
      if (!InPath) {
        Path.setFillRule(S.PolyFill == 2 ? Qt::WindingFill : Qt::OddEvenFill);
        CombineClip(Path.simplified(), r.U32(8));
        EndPathUse();
      }
      break;
    case 68:
      InPath = false;
      EndPathUse();
      break;
    case 71: {  // FILLRGN
      TObject *brush = EmfObject(r.U32(28));
      QBrush fill =
          brush && brush->Kind == TObject::Brush ? MakeBrush(brush->BrushSpec) : MakeBrush(S.Brush);
      EmfRegion(r, 32, r.U32(24), &fill, 0);
      break;
    }
    case 74: {  // PAINTRGN
      QBrush fill = MakeBrush(S.Brush);
      EmfRegion(r, 28, r.U32(24), &fill, 0);
      break;
    }
    case 75:  // EXTSELECTCLIPRGN
      EmfRegion(r, 16, r.U32(8), nullptr, r.U32(12));
      break;
    case 76:     // BITBLT
    case 77:     // STRETCHBLT
    case 114:    // ALPHABLEND
    case 116: {  // TRANSPARENTBLT
      QRectF dest(r.I32(24), r.I32(28), r.I32(32), r.I32(36));
      uint32_t rop = r.U32(40);
      if (r.U32(88) == 0) {
        if (record.Type == 76 || record.Type == 77) PatternBlt(dest, rop);
        break;
      }
      bool alpha = record.Type == 114 && (r.U8(43) & 1);
      QImage image = DecodeDib(TReader(r.Sub(r.U32(84), r.U32(88))),
                               TReader(r.Sub(r.U32(92), r.U32(96))), alpha, nullptr);
      if (image.isNull()) break;
      QRectF source(r.I32(44), r.I32(48), dest.width(), dest.height());
      if (record.Type != 76) source.setSize(QSizeF(r.I32(100), r.I32(104)));
      if (record.Type == 116) {
        image = image.convertToFormat(QImage::Format_ARGB32);
        QRgb key = ColourRef(rop).rgb();
        for (int y = 0; y < image.height(); ++y) {
          auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
          for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF)) line[x] = 0;
        }
        rop = 0x00CC0020;
      }
      if (record.Type == 114)
        DrawImage(image, source, dest, 0x00CC0020, r.U8(42) / 255.0);
      else
        DrawImage(image, source, dest, rop);
      break;
    }
    case 80:    // SETDIBITSTODEVICE
    case 81: {  // STRETCHDIBITS
      bool bottomUp = false;
      QImage image = DecodeDib(TReader(r.Sub(r.U32(48), r.U32(52))),
                               TReader(r.Sub(r.U32(56), r.U32(60))), false, &bottomUp);
      if (image.isNull()) break;
      QRectF source(r.I32(32), r.I32(36), r.I32(40), r.I32(44));
      if (bottomUp) source.moveTop(image.height() - source.top() - source.height());
      QRectF dest(r.I32(24), r.I32(28), source.width(), source.height());
      uint32_t rop = 0x00CC0020;
      if (record.Type == 81) {
        dest.setSize(QSizeF(r.I32(72), r.I32(76)));
        rop = r.U32(68);
      } else if (r.U32(68) != 0 || r.U32(72) != uint32_t(image.height())) {
        break;  // a band of scan lines: not kept in metafiles in practice
      }
      DrawImage(image, source, dest, rop);
      break;
    }
    case 82:  // EXTCREATEFONTINDIRECTW
      if (TObject *object = EmfObject(r.U32(8))) {
        *object = TObject();
        object->Kind = TObject::Font;
        TFontSpec &font = object->FontSpec;
        font.Height = r.I32(12);
        font.Width = r.I32(16);
        font.Escapement = r.I32(20);
        font.Weight = r.I32(28);
        font.Italic = r.U8(32);
        font.Underline = r.U8(33);
        font.StrikeOut = r.U8(34);
        for (size_t i = 0; i < 32; ++i) {
          char16_t c = r.U16(40 + 2 * i);
          if (!c) break;
          font.Face.append(QChar(c));
        }
      }
      break;
    case 83:
    case 84: EmfText(r, record.Type == 84); break;
    case 93:    // CREATEMONOBRUSH
    case 94: {  // CREATEDIBPATTERNBRUSHPT
      TObject *object = EmfObject(r.U32(8));
      if (!object) break;
      *object = TObject();
      object->Kind = TObject::Brush;
      QImage pattern = DecodeDib(TReader(r.Sub(r.U32(16), r.U32(20))),
                                 TReader(r.Sub(r.U32(24), r.U32(28))), false, nullptr);
      object->BrushSpec.Style = pattern.isNull() ? 0 : 3;
      object->BrushSpec.Colour = Qt::black;
      object->BrushSpec.Pattern = pattern;
      break;
    }
    case 95: {  // EXTCREATEPEN
      TObject *object = EmfObject(r.U32(8));
      if (!object) break;
      *object = TObject();
      object->Kind = TObject::Pen;
      TPenSpec &pen = object->PenSpec;
      pen.Style = r.U32(28);
      bool geometric = pen.Style & 0x10000;
      pen.Width = geometric ? r.U32(32) : 0;
      if (r.U32(36) == 1) pen.Style = (pen.Style & ~0xFu) | 5;  // BS_NULL brush
      pen.Colour = ColourRef(r.U32(40));
      uint32_t entries = r.U32(48);
      if ((pen.Style & 0xF) == 7 && entries <= 16 && r.Has(52, size_t(entries) * 4))
        for (uint32_t i = 0; i < entries; ++i) pen.Dashes.push_back(r.U32(52 + 4 * i));
      break;
    }
    case 118: {  // GRADIENTFILL
      uint32_t vertices = r.U32(24), shapes = r.U32(28), mode = r.U32(32);
      if (vertices > r.Size() / 16 || shapes > r.Size() / 8) break;
      size_t shapeAt = 36 + size_t(vertices) * 16;
      size_t shapeSize = mode == 2 ? 12 : 8;
      if (!r.Has(36, size_t(vertices) * 16) || !r.Has(shapeAt, size_t(shapes) * shapeSize)) break;
      auto vertex = [&](uint32_t i, QPointF &at, QColor &colour) {
        size_t v = 36 + size_t(i) * 16;
        at = QPointF(r.I32(v), r.I32(v + 4));
        colour = QColor(r.U16(v + 8) >> 8, r.U16(v + 10) >> 8, r.U16(v + 12) >> 8);
      };
      QTransform full = Full();
      for (uint32_t s = 0; s < shapes; ++s) {
        size_t at = shapeAt + size_t(s) * shapeSize;
        if (mode == 2) {
          QPointF a, b, c;
          QColor ca, cb, cc;
          uint32_t ia = r.U32(at), ib = r.U32(at + 4), ic = r.U32(at + 8);
          if (ia >= vertices || ib >= vertices || ic >= vertices) continue;
          vertex(ia, a, ca), vertex(ib, b, cb), vertex(ic, c, cc);
          QPainterPath tri;
          tri.addPolygon(QPolygonF({a, b, c}));
          QColor mean((ca.red() + cb.red() + cc.red()) / 3,
                      (ca.green() + cb.green() + cc.green()) / 3,
                      (ca.blue() + cb.blue() + cc.blue()) / 3);
          FillTarget(full.map(tri), mean);
        } else {
          uint32_t ia = r.U32(at), ib = r.U32(at + 4);
          if (ia >= vertices || ib >= vertices) continue;
          QPointF a, b;
          QColor ca, cb;
          vertex(ia, a, ca), vertex(ib, b, cb);
          QPainterPath box;
          box.addRect(QRectF(a, b).normalized());
          QPointF end = mode == 0 ? QPointF(b.x(), a.y()) : QPointF(a.x(), b.y());
          QLinearGradient gradient(full.map(a), full.map(end));
          gradient.setColorAt(0, ca);
          gradient.setColorAt(1, cb);
          FillTarget(full.map(box), gradient);
        }
      }
      break;
    }
    default: break;  // palettes, colour management, comments (EMF+ too) and the rest
  }
}

void TPlayer::PlayWmf(const TRecord &record) {
  const TReader &r = record.Data;
  std::vector<QPointF> points;
  auto point = [&](size_t at) { return QPointF(r.I16(at + 2), r.I16(at)); };  // y, x
  switch (record.Type) {
    case 0x0102: S.BkMode = r.U16(6); break;
    case 0x0103: S.MapMode = r.U16(6) == 7 ? 7 : 8; break;
    case 0x0106: S.PolyFill = r.U16(6); break;
    case 0x0107: S.StretchMode = r.U16(6); break;
    case 0x012E: S.TextAlign = r.U16(6); break;
    case 0x0201: S.BkColour = ColourRef(r.U32(6)); break;
    case 0x0209: S.TextColour = ColourRef(r.U32(6)); break;
    case 0x020B: S.WindowOrg = point(6); break;
    case 0x020C:
      if (r.I16(6) && r.I16(8)) S.WindowExt = QSizeF(r.I16(8), r.I16(6));
      break;
    case 0x020F:  // OFFSETWINDOWORG
      S.WindowOrg += point(6);
      break;
    case 0x0410:  // SCALEWINDOWEXT: yDenom, yNum, xDenom, xNum
      if (r.I16(6) && r.I16(10)) {
        QSizeF scaled(S.WindowExt.width() * r.I16(12) / r.I16(10),
                      S.WindowExt.height() * r.I16(8) / r.I16(6));
        if (scaled.width() != 0 && scaled.height() != 0) S.WindowExt = scaled;
      }
      break;
    case 0x0213: LineTo(point(6)); break;
    case 0x0214: S.Position = point(6); break;
    case 0x0415:  // EXCLUDECLIPRECT
    case 0x0416: {
      QPainterPath box;
      box.addRect(WmfBox(r, 6));
      CombineClip(Full().map(box), record.Type == 0x0415 ? 4 : 1);
      break;
    }
    case 0x0220:  // OFFSETCLIPRGN
      if (S.Clipped) {
        QTransform full = Full();
        S.Clip.translate(full.map(point(6)) - full.map(QPointF(0, 0)));
        ClipDirty = true;
      }
      break;
    case 0x012C: {  // SELECTCLIPREGION: a region object, or none to stop clipping
      uint32_t index = r.U16(6);
      if (index < Objects.size() && Objects[index].Kind == TObject::Region)
        CombineClip(Full().map(Objects[index].RegionShape), 5);
      else
        S.Clipped = false, ClipDirty = true;
      break;
    }
    case 0x0228:    // FILLREGION: region, brush
    case 0x012B: {  // PAINTREGION: region, with the selected brush
      uint32_t index = r.U16(6), brush = r.U16(8);
      if (index >= Objects.size() || Objects[index].Kind != TObject::Region) break;
      QBrush fill = MakeBrush(S.Brush);
      if (record.Type == 0x0228) {
        if (brush >= Objects.size() || Objects[brush].Kind != TObject::Brush) break;
        fill = MakeBrush(Objects[brush].BrushSpec);
      }
      FillTarget(Full().map(Objects[index].RegionShape), fill);
      break;
    }
    case 0x06FF: {  // CREATEREGION: bands of scan lines, each a run of left-right pairs
      TObject *object = WmfNewObject();
      if (!object) break;
      *object = TObject();
      object->Kind = TObject::Region;
      int scans = r.I16(16);
      size_t at = 28;
      for (int i = 0; i < scans && r.Has(at, 6); ++i) {
        size_t count = r.U16(at);
        double top = r.I16(at + 2), bottom = r.I16(at + 4);
        if (!r.Has(at + 6, count * 2 + 2)) break;
        for (size_t j = 0; j + 1 < count; j += 2) {
          double left = r.I16(at + 6 + 2 * j), right = r.I16(at + 8 + 2 * j);
          object->RegionShape.addRect(QRectF(QPointF(left, top), QPointF(right, bottom)));
        }
        at += 6 + count * 2 + 2;
      }
      object->RegionShape.setFillRule(Qt::WindingFill);
      break;
    }
    case 0x001E: Save(); break;
    case 0x0127: Restore(r.I16(6)); break;
    case 0x0324:  // POLYGON
    case 0x0325: {
      int count = r.I16(6);
      if (count > 0 && ReadPoints(r, 8, uint64_t(count), true, points)) {
        bool closed = record.Type == 0x0324;
        QPainterPath path(points[0]);
        for (size_t i = 1; i < points.size(); ++i) path.lineTo(points[i]);
        if (closed) path.closeSubpath();
        DrawShape(path, closed);
      }
      break;
    }
    case 0x0538: {  // POLYPOLYGON
      uint32_t polygons = r.U16(6);
      if (!r.Has(8, size_t(polygons) * 2)) break;
      uint64_t total = 0;
      for (uint32_t i = 0; i < polygons; ++i) total += r.U16(8 + 2 * i);
      if (!ReadPoints(r, 8 + size_t(polygons) * 2, total, true, points)) break;
      QPainterPath path;
      size_t used = 0;
      for (uint32_t i = 0; i < polygons; ++i) {
        uint32_t count = r.U16(8 + 2 * i);
        if (count) {
          path.moveTo(points[used]);
          for (uint32_t j = 1; j < count; ++j) path.lineTo(points[used + j]);
          path.closeSubpath();
        }
        used += count;
      }
      DrawShape(path, true);
      break;
    }
    case 0x0418: BoxShape(WmfBox(r, 6), true); break;   // ELLIPSE
    case 0x041B: BoxShape(WmfBox(r, 6), false); break;  // RECTANGLE
    case 0x061C:                                        // ROUNDRECT: height, width, box
      BoxShape(WmfBox(r, 10), false, QSizeF(r.I16(8), r.I16(6)));
      break;
    case 0x0817:    // ARC
    case 0x0830:    // CHORD
    case 0x081A: {  // PIE: end y, x, start y, x, box
      int kind = record.Type == 0x0830 ? 1 : record.Type == 0x081A ? 2 : 0;
      DrawShape(ArcPath(WmfBox(r, 14), point(10), point(6), kind), kind != 0);
      break;
    }
    case 0x041F: {  // SETPIXEL
      QPainterPath pixel;
      pixel.addRect(QRectF(point(10), QSizeF(1, 1)));
      FillTarget(Full().map(pixel), ColourRef(r.U32(6)));
      break;
    }
    case 0x0521: {  // TEXTOUT
      int length = r.I16(6);
      if (length <= 0) break;
      std::string_view bytes = r.Sub(8, size_t(length));
      size_t after = 8 + (size_t(length) + 1) / 2 * 2;
      if (bytes.empty()) break;
      DrawText(point(after), FromAnsi(bytes), {}, 0, nullptr);
      break;
    }
    case 0x0A32: {  // EXTTEXTOUT: y, x, length, options, [rect], string, [dx]
      QPointF at(r.I16(8), r.I16(6));
      int length = r.I16(10);
      uint32_t options = r.U16(12);
      size_t text = 14;
      QRectF rect;
      bool hasRect = options & 6;
      if (hasRect) {
        rect = QRectF(QPointF(r.I16(14), r.I16(16)), QPointF(r.I16(18), r.I16(20))).normalized();
        text += 8;
      }
      if (length < 0) break;
      std::string_view bytes = r.Sub(text, size_t(length));
      if (bytes.size() != size_t(length)) break;
      std::vector<double> dx;
      size_t dxAt = text + (size_t(length) + 1) / 2 * 2;
      if (length && r.Has(dxAt, size_t(length) * 2))
        for (int i = 0; i < length; ++i) dx.push_back(r.I16(dxAt + 2 * size_t(i)));
      DrawText(at, FromAnsi(bytes), dx, options, hasRect ? &rect : nullptr);
      break;
    }
    case 0x012D: {  // SELECTOBJECT
      uint32_t index = r.U16(6);
      if (index < Objects.size()) SelectObject(Objects[index]);
      break;
    }
    case 0x01F0: {  // DELETEOBJECT
      uint32_t index = r.U16(6);
      if (index < Objects.size()) Objects[index] = TObject();
      break;
    }
    case 0x02FA: {  // CREATEPENINDIRECT
      TObject *object = WmfNewObject();
      if (!object) break;
      object->Kind = TObject::Pen;
      object->PenSpec = TPenSpec();
      object->PenSpec.Style = r.U16(6);
      object->PenSpec.Width = std::max<int>(r.I16(8), 0);
      object->PenSpec.Colour = ColourRef(r.U32(12));
      break;
    }
    case 0x02FC: {  // CREATEBRUSHINDIRECT
      TObject *object = WmfNewObject();
      if (!object) break;
      object->Kind = TObject::Brush;
      object->BrushSpec = TBrushSpec();
      object->BrushSpec.Style = r.U16(6);
      object->BrushSpec.Colour = ColourRef(r.U32(8));
      object->BrushSpec.Hatch = r.U16(12);
      break;
    }
    case 0x02FB: {  // CREATEFONTINDIRECT
      TObject *object = WmfNewObject();
      if (!object) break;
      object->Kind = TObject::Font;
      TFontSpec &font = object->FontSpec;
      font = TFontSpec();
      font.Height = r.I16(6);
      font.Width = r.I16(8);
      font.Escapement = r.I16(10);
      font.Weight = r.I16(14);
      font.Italic = r.U8(16);
      font.Underline = r.U8(17);
      font.StrikeOut = r.U8(18);
      std::string face;
      for (size_t i = 24; i < 56 && i < r.Size() && r.U8(i); ++i) face.push_back(char(r.U8(i)));
      font.Face = FromAnsi(face);
      break;
    }
    case 0x0142: {  // DIBCREATEPATTERNBRUSH
      TObject *object = WmfNewObject();
      if (!object) break;
      object->Kind = TObject::Brush;
      QImage pattern =
          DecodePackedDib(TReader(r.Data().substr(std::min<size_t>(10, r.Size()))), nullptr);
      object->BrushSpec = TBrushSpec();
      object->BrushSpec.Style = pattern.isNull() ? 0 : 3;
      object->BrushSpec.Colour = Qt::black;
      object->BrushSpec.Pattern = pattern;
      break;
    }
    case 0x00F7:  // CREATEPALETTE
    case 0x01F9:  // CREATEPATTERNBRUSH
      if (TObject *object = WmfNewObject()) *object = TObject(), object->Kind = TObject::Other;
      break;
    case 0x061D: {  // PATBLT: rop, height, width, y, x
      QRectF dest(r.I16(16), r.I16(14), r.I16(12), r.I16(10));
      PatternBlt(dest, r.U32(6));
      break;
    }
    case 0x0940:    // DIBBITBLT: rop, ySrc, xSrc, height, width, yDest, xDest, DIB
    case 0x0B41: {  // DIBSTRETCHBLT: rop, srcH, srcW, ySrc, xSrc, destH, destW, yDest, xDest
      bool stretch = record.Type == 0x0B41;
      size_t words = r.Size() / 2;
      bool hasBitmap = words != size_t((record.Type >> 8) + 3);
      uint32_t rop = r.U32(6);
      if (!hasBitmap) {
        size_t at = stretch ? 20 : 16;  // after the reserved word
        PatternBlt(QRectF(r.I16(at + 6), r.I16(at + 4), r.I16(at + 2), r.I16(at)), rop);
        break;
      }
      QRectF dest, source;
      size_t dibAt;
      if (stretch) {
        source = QRectF(r.I16(16), r.I16(14), r.I16(12), r.I16(10));
        dest = QRectF(r.I16(24), r.I16(22), r.I16(20), r.I16(18));
        dibAt = 26;
      } else {
        dest = QRectF(r.I16(20), r.I16(18), r.I16(16), r.I16(14));
        source = QRectF(r.I16(12), r.I16(10), dest.width(), dest.height());
        dibAt = 22;
      }
      bool bottomUp = false;
      QImage image =
          DecodePackedDib(TReader(r.Sub(dibAt, r.Size() - std::min(dibAt, r.Size()))), &bottomUp);
      if (image.isNull()) break;
      DrawImage(image, source, dest, rop);
      break;
    }
    case 0x0F43: {  // STRETCHDIB: rop, usage, srcH, srcW, ySrc, xSrc, destH, destW, yDst, xDst
      bool bottomUp = false;
      QImage image =
          DecodePackedDib(TReader(r.Sub(28, r.Size() - std::min<size_t>(28, r.Size()))), &bottomUp);
      if (image.isNull()) break;
      QRectF source(r.I16(18), r.I16(16), r.I16(14), r.I16(12));
      if (bottomUp) source.moveTop(image.height() - source.top() - source.height());
      QRectF dest(r.I16(26), r.I16(24), r.I16(22), r.I16(20));
      DrawImage(image, source, dest, r.U32(6));
      break;
    }
    case 0x0D33: {  // SETDIBTODEV: usage, scans, start, yDib, xDib, h, w, yDest, xDest, DIB
      bool bottomUp = false;
      QImage image =
          DecodePackedDib(TReader(r.Sub(24, r.Size() - std::min<size_t>(24, r.Size()))), &bottomUp);
      if (image.isNull() || r.U16(10) != 0 || r.U16(8) != image.height()) break;
      QRectF source(r.I16(14), r.I16(12), r.I16(18), r.I16(16));
      if (bottomUp) source.moveTop(image.height() - source.top() - source.height());
      DrawImage(image, source, QRectF(r.I16(22), r.I16(20), source.width(), source.height()),
                0x00CC0020);
      break;
    }
    default: break;  // palettes, escapes, regions and the rest
  }
}

void TPlayer::Play() {
  P.save();
  P.setRenderHint(QPainter::Antialiasing, true);
  P.setRenderHint(QPainter::TextAntialiasing, true);
  size_t start = Emf ? 0 : metafile::WmfRecordsStart(Metafile.Bytes);
  TRecordWalker walker(Metafile.Bytes, Emf, start);
  TRecord record;
  while (walker.Next(record)) {
    if (Emf)
      PlayEmf(record);
    else
      PlayWmf(record);
  }
  P.restore();
}

}  // namespace

void PlayMetafile(const TMetafile &metafile, QPainter &painter, const QRectF &target) {
  if (metafile.Bytes.empty() || !painter.isActive() || target.isEmpty()) return;
  TPlayer player(metafile, painter, target);
  player.Play();
}

}  // namespace trovix
