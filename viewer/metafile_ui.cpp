// SPDX-License-Identifier: GPL-3.0-or-later
// Converting between EMF and WMF: the source is played through a paint engine
// that writes the other format's records.
#include "viewer/metafile_ui.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "viewer/metafile_records.h"

namespace trovix {

namespace {

class TWriter {
 public:
  void U16(uint32_t v) { Data += char(v & 0xFF), Data += char(v >> 8 & 0xFF); }
  void U32(uint32_t v) { U16(v & 0xFFFF), U16(v >> 16); }
  void Raw(const std::string &bytes) { Data += bytes; }
  std::string Data;
};

uint32_t ColourRef(const QColor &colour) {
  return uint32_t(colour.red()) | uint32_t(colour.green()) << 8 | uint32_t(colour.blue()) << 16;
}

// A bottom-up DIB of image: 32-bit for EMF (alpha kept for blending), 24-bit
// for WMF. Returns the header and the rows separately.
void MakeDib(const QImage &source, bool thirtyTwo, bool premultiplied, std::string &info,
             std::string &bits) {
  QImage image = source.convertToFormat(premultiplied ? QImage::Format_ARGB32_Premultiplied
                                                      : QImage::Format_ARGB32);
  int bpp = thirtyTwo ? 32 : 24;
  size_t stride = (size_t(image.width()) * size_t(bpp) + 31) / 32 * 4;
  TWriter header;
  header.U32(40), header.U32(uint32_t(image.width())), header.U32(uint32_t(image.height()));
  header.U16(1), header.U16(uint32_t(bpp)), header.U32(0);
  header.U32(uint32_t(stride * size_t(image.height())));
  header.U32(3780), header.U32(3780), header.U32(0), header.U32(0);
  info = header.Data;
  bits.assign(stride * size_t(image.height()), '\0');
  for (int y = 0; y < image.height(); ++y) {
    const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(image.height() - 1 - y));
    char *out = bits.data() + stride * size_t(y);
    for (int x = 0; x < image.width(); ++x) {
      QRgb p = line[x];
      char *o = out + x * (bpp / 8);
      o[0] = char(qBlue(p)), o[1] = char(qGreen(p)), o[2] = char(qRed(p));
      if (thirtyTwo) o[3] = char(qAlpha(p));
    }
  }
}

struct TPenKey {
  uint32_t Style = 0;
  int32_t Width = 0;
  uint32_t Colour = 0;
  std::vector<uint32_t> Dashes;  // a user style, logical units
  bool operator==(const TPenKey &) const = default;
};
struct TBrushKey {
  uint32_t Style = 0;
  uint32_t Colour = 0;
  uint32_t Hatch = 0;
  bool operator==(const TBrushKey &) const = default;
};

// The paint engine that turns painting into records. Coordinates are scaled
// by Unit logical units per pixel for precision.
class TRecordEngine : public QPaintEngine {
 public:
  TRecordEngine(bool emf, int width, int height)
      : QPaintEngine(QPaintEngine::AllFeatures), Emf(emf), Width(width), Height(height) {
    Unit = Emf ? 16 : std::clamp(32000 / std::max(width, height), 1, 16);
  }
  bool begin(QPaintDevice *) override;
  bool end() override { return true; }
  void updateState(const QPaintEngineState &state) override;
  void drawPath(const QPainterPath &path) override;
  void drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) override;
  void drawPixmap(const QRectF &rect, const QPixmap &pixmap, const QRectF &source) override {
    drawImage(rect, pixmap.toImage(), source, Qt::AutoColor);
  }
  void drawImage(const QRectF &rect, const QImage &image, const QRectF &source,
                 Qt::ImageConversionFlags flags) override;
  Type type() const override { return QPaintEngine::User; }

  std::string Finish();
  std::set<std::string> Dropped;

 private:
  void Record(uint32_t type, const std::string &body);
  void Fields(uint32_t type, std::initializer_list<int32_t> fields);
  int32_t Coord(double v) const;
  void Sync(bool pen, bool brush);
  int CreateObject();
  void DeleteObject(int slot);
  void SelectPen(const TPenKey &key);
  void SelectBrush(const TBrushKey &key);
  void SyncClip();
  void EmfPath(const QPainterPath &device);
  void DrawClipped(const QPainterPath &path);
  uint32_t BlitRop() const;

  bool Emf;
  int Width, Height, Unit;
  TWriter Body;
  uint32_t Records = 0;
  uint32_t LargestRecord = 0;
  std::vector<bool> Slots;  // WMF slots or EMF handles in use
  size_t SlotsHigh = 0;
  QPen Pen;
  QBrush Brush;
  QTransform Transform;
  bool Opaque = false;
  QColor Background = Qt::white;
  QPainter::CompositionMode Mode = QPainter::CompositionMode_SourceOver;
  int PenSlot = -1, BrushSlot = -1;
  TPenKey PenNow;
  TBrushKey BrushNow;
  bool PenKnown = false, BrushKnown = false;
  int BkModeNow = 0;
  uint32_t BkColourNow = 0xFFFFFFFF;
  int FillModeNow = 0;
  bool ClipDirty = false, ClipOn = false, ClipSaved = false, ClipShaped = false;
  bool Baking = false;
  QPainterPath Clip;  // device coordinates
};

bool TRecordEngine::begin(QPaintDevice *) {
  if (Emf) {
    Fields(17, {8});  // MM_ANISOTROPIC: Unit logical units per reference pixel
    Fields(9, {Width * Unit, Height * Unit});
    Fields(11, {Width, Height});
  } else {
    Fields(0x0103, {8});
    Fields(0x020B, {0, 0});
    Fields(0x020C, {Height * Unit, Width * Unit});
  }
  return true;
}

void TRecordEngine::Record(uint32_t type, const std::string &body) {
  TWriter r;
  if (Emf) {
    std::string padded = body;
    padded.resize((padded.size() + 3) / 4 * 4, '\0');
    r.U32(type), r.U32(uint32_t(8 + padded.size())), r.Raw(padded);
  } else {
    std::string padded = body;
    padded.resize((padded.size() + 1) / 2 * 2, '\0');
    uint32_t words = uint32_t(3 + padded.size() / 2);
    LargestRecord = std::max(LargestRecord, words);
    r.U32(words), r.U16(type), r.Raw(padded);
  }
  Body.Raw(r.Data);
  ++Records;
}

void TRecordEngine::Fields(uint32_t type, std::initializer_list<int32_t> fields) {
  TWriter w;
  for (int32_t f : fields) Emf ? w.U32(uint32_t(f)) : w.U16(uint16_t(f));
  Record(type, w.Data);
}

int32_t TRecordEngine::Coord(double v) const {
  double limit = Emf ? 1e9 : 32767;
  return int32_t(std::lround(std::clamp(v, -limit, limit)));
}

int TRecordEngine::CreateObject() {
  size_t first = Emf ? 1 : 0;
  if (Slots.size() < first) Slots.resize(first, true);
  size_t slot = first;
  while (slot < Slots.size() && Slots[slot]) ++slot;
  if (slot == Slots.size()) Slots.push_back(false);
  Slots[slot] = true;
  SlotsHigh = std::max(SlotsHigh, slot + 1);
  return int(slot);
}

void TRecordEngine::DeleteObject(int slot) {
  if (slot < 0) return;
  Fields(Emf ? 40 : 0x01F0, {slot});
  Slots[size_t(slot)] = false;
}

void TRecordEngine::SelectPen(const TPenKey &key) {
  if (PenKnown && key == PenNow) return;
  int slot = CreateObject();
  TWriter w;
  if (Emf) {  // EXTCREATEPEN: keeps end caps, joins and dash patterns
    w.U32(uint32_t(slot)), w.U32(0), w.U32(0), w.U32(0), w.U32(0);
    w.U32(key.Style), w.U32(uint32_t(std::max(key.Width, 1))), w.U32(0), w.U32(key.Colour);
    w.U32(0), w.U32(uint32_t(key.Dashes.size()));
    for (uint32_t d : key.Dashes) w.U32(d);
    Record(95, w.Data);
    Fields(37, {slot});
  } else {
    w.U16(key.Style), w.U16(uint32_t(key.Width)), w.U16(0), w.U32(key.Colour);
    Record(0x02FA, w.Data);
    Fields(0x012D, {slot});
  }
  DeleteObject(PenSlot);
  PenSlot = slot;
  PenNow = key;
  PenKnown = true;
}

void TRecordEngine::SelectBrush(const TBrushKey &key) {
  if (BrushKnown && key == BrushNow) return;
  int slot = CreateObject();
  TWriter w;
  if (Emf) {
    w.U32(uint32_t(slot)), w.U32(key.Style), w.U32(key.Colour), w.U32(key.Hatch);
    Record(39, w.Data);
    Fields(37, {slot});
  } else {
    w.U16(key.Style), w.U32(key.Colour), w.U16(key.Hatch);
    Record(0x02FC, w.Data);
    Fields(0x012D, {slot});
  }
  DeleteObject(BrushSlot);
  BrushSlot = slot;
  BrushNow = key;
  BrushKnown = true;
}

void TRecordEngine::updateState(const QPaintEngineState &state) {
  QPaintEngine::DirtyFlags flags = state.state();
  if (flags & DirtyPen) Pen = state.pen();
  if (flags & DirtyBrush) Brush = state.brush();
  if (flags & DirtyTransform) Transform = state.transform();
  if (flags & DirtyBackgroundMode) Opaque = state.backgroundMode() == Qt::OpaqueMode;
  if (flags & DirtyBackground) Background = state.backgroundBrush().color();
  if (flags & (DirtyClipPath | DirtyClipRegion | DirtyClipEnabled | DirtyTransform)) {
    bool on = painter()->hasClipping();
    QPainterPath clip = on ? painter()->transform().map(painter()->clipPath()) : QPainterPath();
    if (on != ClipOn || clip != Clip) {
      ClipOn = on;
      Clip = clip;
      ClipDirty = true;
    }
  }
  if (flags & DirtyCompositionMode) Mode = state.compositionMode();
  if (flags & (DirtyCompositionMode | DirtyOpacity)) {
    if (state.opacity() < 1 && state.opacity() > 0 && !Emf)
      Dropped.insert("transparency (drawn opaque)");
  }
}

void TRecordEngine::SyncClip() {
  if (!ClipDirty) return;
  ClipDirty = false;
  QTransform unit = QTransform::fromScale(Unit, Unit);
  if (Emf) {
    if (ClipOn) {
      EmfPath(unit.map(Clip));
      Fields(67, {5});  // SELECTCLIPPATH, RGN_COPY
    } else {
      Fields(75, {0, 5});  // EXTSELECTCLIPRGN without data: no clip
    }
    return;
  }
  if (ClipSaved) {
    Fields(0x0127, {-1});  // RESTOREDC drops the clip and reselects the saved objects
    ClipSaved = false;
    PenKnown = BrushKnown = false;
    BkModeNow = FillModeNow = 0;
    BkColourNow = 0xFFFFFFFF;
    // The objects selected now are gone from the slots that held them after
    // the save; make new ones on the next draw.
    DeleteObject(PenSlot), DeleteObject(BrushSlot);
    PenSlot = BrushSlot = -1;
  }
  if (ClipOn) {
    QRectF box = unit.mapRect(Clip.boundingRect());
    QPainterPath rect;
    rect.addRect(Clip.boundingRect());
    // WMF clips only to rectangles: drawing inside another shape is cut to
    // it before it is written.
    ClipShaped = !rect.subtracted(Clip).isEmpty();
    Fields(0x001E, {});
    ClipSaved = true;
    Fields(0x0416, {Coord(box.bottom()), Coord(box.right()), Coord(box.top()), Coord(box.left())});
  }
}

void TRecordEngine::Sync(bool pen, bool brush) {
  SyncClip();
  if (pen) {
    TPenKey key;
    if (Pen.style() == Qt::NoPen) {
      key.Style = 5;
    } else {
      static const uint32_t kStyles[] = {5, 0, 1, 2, 3, 4, 0};
      key.Style = kStyles[std::clamp(int(Pen.style()), 0, 6)];
      double scale = std::sqrt(std::fabs(Transform.determinant()));
      bool cosmetic = Pen.isCosmetic() || Pen.widthF() == 0;
      key.Width = cosmetic ? 0 : Coord(Pen.widthF() * scale * Unit);
      if (!cosmetic) {
        key.Style |= Pen.capStyle() == Qt::SquareCap ? 0x100
                     : Pen.capStyle() == Qt::FlatCap ? 0x200
                                                     : 0;
        key.Style |= Pen.joinStyle() == Qt::BevelJoin   ? 0x1000
                     : Pen.joinStyle() == Qt::RoundJoin ? 0
                                                        : 0x2000;
        key.Style |= 0x10000;  // PS_GEOMETRIC
        if (!Emf) key.Style &= 0xFFFF;
      }
      if (Pen.style() == Qt::CustomDashLine) {
        key.Style = (key.Style & ~0xFu) | 1;  // PS_DASH
        QList<qreal> pattern = Pen.dashPattern();
        double unit = cosmetic ? Unit : key.Width;
        if (Emf && pattern.size() % 2 == 0 && pattern.size() <= 16 && unit > 0) {
          key.Style = (key.Style & ~0xFu) | 7;  // PS_USERSTYLE
          for (qreal d : pattern)
            key.Dashes.push_back(uint32_t(std::max(1.0, std::round(d * unit))));
        }
      }
      key.Colour = ColourRef(Pen.color());
      if (Pen.brush().style() != Qt::SolidPattern && Pen.brush().style() != Qt::NoBrush)
        Dropped.insert("patterned pens (drawn in one colour)");
    }
    SelectPen(key);
  }
  if (brush) {
    TBrushKey key;
    switch (Brush.style()) {
      case Qt::NoBrush: key.Style = 1; break;
      case Qt::SolidPattern: break;
      case Qt::HorPattern:
      case Qt::VerPattern:
      case Qt::FDiagPattern:
      case Qt::BDiagPattern:
      case Qt::CrossPattern:
      case Qt::DiagCrossPattern: {
        static const std::pair<Qt::BrushStyle, uint32_t> kHatches[] = {
            {Qt::HorPattern, 0},   {Qt::VerPattern, 1},   {Qt::FDiagPattern, 2},
            {Qt::BDiagPattern, 3}, {Qt::CrossPattern, 4}, {Qt::DiagCrossPattern, 5}};
        key.Style = 2;
        for (auto [style, hatch] : kHatches)
          if (style == Brush.style()) key.Hatch = hatch;
        break;
      }
      default: Dropped.insert("gradient and pattern fills (filled in one colour)"); break;
    }
    QColor colour = Brush.color();
    if (Brush.gradient() && !Brush.gradient()->stops().isEmpty())
      colour = Brush.gradient()->stops().first().second;
    key.Colour = ColourRef(colour);
    SelectBrush(key);
  }
  int bkMode = Opaque ? 2 : 1;
  if (bkMode != BkModeNow) {
    Fields(Emf ? 18 : 0x0102, {bkMode});
    BkModeNow = bkMode;
  }
  if (Opaque && ColourRef(Background) != BkColourNow) {
    BkColourNow = ColourRef(Background);
    TWriter w;
    w.U32(BkColourNow);
    Record(Emf ? 25 : 0x0201, w.Data);
  }
}

void TRecordEngine::EmfPath(const QPainterPath &device) {
  Fields(59, {});  // BEGINPATH
  std::vector<QPointF> run;
  bool curves = false;
  QPointF start;
  auto flush = [&] {
    if (run.empty()) return;
    TWriter w;
    for (int i = 0; i < 4; ++i) w.U32(0);
    w.U32(uint32_t(run.size()));
    for (const QPointF &p : run) w.U32(uint32_t(Coord(p.x()))), w.U32(uint32_t(Coord(p.y())));
    Record(curves ? 5 : 6, w.Data);  // POLYBEZIERTO or POLYLINETO
    run.clear();
  };
  for (int i = 0; i < device.elementCount(); ++i) {
    QPainterPath::Element e = device.elementAt(i);
    if (e.isMoveTo()) {
      flush();
      start = e;
      Fields(27, {Coord(e.x), Coord(e.y)});
    } else if (e.isLineTo()) {
      if (curves) flush();
      curves = false;
      run.push_back(e);
    } else if (e.isCurveTo() && i + 2 < device.elementCount()) {
      if (!curves) flush();
      curves = true;
      run.push_back(e), run.push_back(device.elementAt(i + 1)),
          run.push_back(device.elementAt(i + 2));
      i += 2;
    }
    bool last = i + 1 >= device.elementCount() || device.elementAt(i + 1).isMoveTo();
    if (last && !run.empty() && QPointF(device.elementAt(i)) == start) {
      flush();
      Fields(61, {});  // CLOSEFIGURE
    }
  }
  flush();
  Fields(60, {});  // ENDPATH
}

void TRecordEngine::drawPath(const QPainterPath &path) {
  bool stroke = Pen.style() != Qt::NoPen, fill = Brush.style() != Qt::NoBrush;
  if ((!stroke && !fill) || path.isEmpty()) return;
  if (Mode >= QPainter::RasterOp_SourceOrDestination) {
    // An inverting fill: drawn plainly it would cover what it should invert.
    Dropped.insert("inverted areas (left out)");
    return;
  }
  if (!Emf && !Baking) {
    SyncClip();
    if (ClipOn && ClipShaped) {
      DrawClipped(path);
      return;
    }
  }
  QPainterPath device = (Transform * QTransform::fromScale(Unit, Unit)).map(path);
  Sync(stroke, fill);
  int fillMode = path.fillRule() == Qt::WindingFill ? 2 : 1;
  if (fill && fillMode != FillModeNow) {
    Fields(Emf ? 19 : 0x0106, {fillMode});
    FillModeNow = fillMode;
  }
  if (Emf) {
    EmfPath(device);
    Fields(stroke && fill ? 63 : fill ? 62 : 64, {0, 0, -1, -1});
    return;
  }
  QList<QPolygonF> polygons = device.toSubpathPolygons();
  bool allClosed = std::all_of(polygons.begin(), polygons.end(),
                               [](const QPolygonF &p) { return p.size() > 2 && p.isClosed(); });
  auto point = [&](TWriter &w, const QPointF &p) {
    w.U16(uint16_t(Coord(p.x()))), w.U16(uint16_t(Coord(p.y())));
  };
  if (fill) {
    // The polygons are outlined with the pen selected: none unless they are the whole stroke.
    if (!stroke || !allClosed) SelectPen({5, 0, 0, {}});
    TWriter w;
    std::vector<const QPolygonF *> kept;
    for (const QPolygonF &p : polygons) {
      if (p.size() > 65535)
        Dropped.insert("polygons of over 65535 points");
      else if (p.size() > 2)
        kept.push_back(&p);
    }
    if (!kept.empty() && kept.size() <= 65535) {
      w.U16(uint32_t(kept.size()));
      for (const QPolygonF *p : kept) w.U16(uint32_t(p->size()));
      for (const QPolygonF *p : kept)
        for (const QPointF &q : *p) point(w, q);
      Record(0x0538, w.Data);
    }
    if (stroke && allClosed) return;
    if (stroke) Sync(true, false);
  }
  if (!stroke) return;
  for (const QPolygonF &p : polygons) {
    for (qsizetype from = 0; from + 1 < p.size(); from += 30000) {
      qsizetype count = std::min<qsizetype>(30001, p.size() - from);
      TWriter w;
      w.U16(uint32_t(count));
      for (qsizetype i = 0; i < count; ++i) point(w, p[from + i]);
      Record(0x0325, w.Data);
    }
  }
}

// The fill and the pen's outline of path, each cut to the clip shape and
// written as a plain fill.
void TRecordEngine::DrawClipped(const QPainterPath &path) {
  QPainterPath device = Transform.map(path);
  device.setFillRule(path.fillRule());
  QPen pen = Pen;
  QBrush brush = Brush;
  QTransform transform = Transform;
  Baking = true;
  Transform = QTransform();
  Pen = Qt::NoPen;
  if (brush.style() != Qt::NoBrush) {
    Brush = brush;
    drawPath(device.intersected(Clip));
  }
  if (pen.style() != Qt::NoPen) {
    QPainterPathStroker stroker(pen);
    bool cosmetic = pen.isCosmetic() || pen.widthF() == 0;
    double width = pen.widthF() * std::sqrt(std::fabs(transform.determinant()));
    stroker.setWidth(cosmetic || !std::isfinite(width) ? std::max(1.0, pen.widthF())
                                                       : std::min(width, 1e6));
    Brush = pen.brush().style() == Qt::NoBrush ? QBrush(pen.color()) : pen.brush();
    QPainterPath outline = stroker.createStroke(device);
    outline.setFillRule(Qt::WindingFill);
    drawPath(outline.intersected(Clip));
  }
  Pen = pen;
  Brush = brush;
  Transform = transform;
  Baking = false;
}

void TRecordEngine::drawPolygon(const QPointF *points, int count, PolygonDrawMode mode) {
  if (count <= 0) return;
  QPainterPath path(points[0]);
  for (int i = 1; i < count; ++i) path.lineTo(points[i]);
  if (mode == PolylineMode) {
    QBrush saved = Brush;
    Brush = Qt::NoBrush;
    drawPath(path);
    Brush = saved;
    return;
  }
  path.closeSubpath();
  path.setFillRule(mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
  drawPath(path);
}

// The raster operation code of a bitmap drawn in the current composition
// mode; 0 for a mode the formats have no code for.
uint32_t TRecordEngine::BlitRop() const {
  switch (Mode) {
    case QPainter::RasterOp_SourceAndDestination: return 0x008800C6;                  // SRCAND
    case QPainter::RasterOp_SourceOrDestination: return 0x00EE0086;                   // SRCPAINT
    case QPainter::RasterOp_SourceXorDestination: return 0x00660046;                  // SRCINVERT
    default: return Mode >= QPainter::RasterOp_SourceOrDestination ? 0 : 0x00CC0020;  // SRCCOPY
  }
}

void TRecordEngine::drawImage(const QRectF &rect, const QImage &image, const QRectF &source,
                              Qt::ImageConversionFlags) {
  const uint32_t rop = BlitRop();
  if (rop == 0) {
    Dropped.insert("bitmaps combined with the picture (left out)");
    return;
  }
  QRect part = source.toAlignedRect().intersected(image.rect());
  if (part.isEmpty()) return;
  QImage piece = image.copy(part);
  QTransform device = Transform * QTransform::fromScale(Unit, Unit);
  if (std::fabs(device.m12()) > 1e-9 || std::fabs(device.m21()) > 1e-9)
    Dropped.insert("rotated bitmaps (drawn upright)");
  QPointF a = device.map(rect.topLeft()), b = device.map(rect.bottomRight());
  QRectF dest = device.isRotating() ? device.mapRect(rect) : QRectF(a, b);
  Sync(false, false);
  if (!Emf && ClipOn && ClipShaped)
    Dropped.insert("bitmaps clipped to a shape (clipped to its bounding box)");
  bool alpha =
      piece.hasAlphaChannel() && !piece.convertToFormat(QImage::Format_RGB32)
                                      .convertToFormat(QImage::Format_ARGB32)
                                      .
                                      operator==(piece.convertToFormat(QImage::Format_ARGB32));
  double opacity = painter() ? painter()->opacity() : 1;
  if (rop != 0x00CC0020 && (alpha || opacity < 1)) {
    // A raster operation combines opaque pixels.
    Dropped.insert("transparent bitmaps (drawn opaque)");
    alpha = false;
    opacity = 1;
  }
  std::string info, bits;
  if (Emf) {
    MakeDib(piece, true, alpha || opacity < 1, info, bits);
    TWriter w;
    for (int i = 0; i < 4; ++i) w.U32(0);
    if (alpha || opacity < 1) {  // ALPHABLEND
      w.U32(uint32_t(Coord(dest.left()))), w.U32(uint32_t(Coord(dest.top())));
      w.U32(uint32_t(Coord(dest.width()))), w.U32(uint32_t(Coord(dest.height())));
      w.U32(uint32_t(std::lround(opacity * 255)) << 16 | (alpha ? 1u << 24 : 0));
      w.U32(0), w.U32(0);
      for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        w.U32(v);
      }
      w.U32(0), w.U32(0);
      w.U32(108), w.U32(uint32_t(info.size())), w.U32(uint32_t(108 + info.size()));
      w.U32(uint32_t(bits.size())), w.U32(uint32_t(piece.width())), w.U32(uint32_t(piece.height()));
      w.Raw(info), w.Raw(bits);
      Record(114, w.Data);
      return;
    }
    w.U32(uint32_t(Coord(dest.left()))), w.U32(uint32_t(Coord(dest.top())));
    w.U32(0), w.U32(0), w.U32(uint32_t(piece.width())), w.U32(uint32_t(piece.height()));
    w.U32(80), w.U32(uint32_t(info.size())), w.U32(uint32_t(80 + info.size()));
    w.U32(uint32_t(bits.size())), w.U32(0), w.U32(rop);
    w.U32(uint32_t(Coord(dest.width()))), w.U32(uint32_t(Coord(dest.height())));
    w.Raw(info), w.Raw(bits);
    Record(81, w.Data);
    return;
  }
  if (alpha || opacity < 1) Dropped.insert("transparent bitmaps (drawn opaque)");
  MakeDib(piece, false, false, info, bits);
  TWriter w;  // STRETCHDIB
  w.U32(rop), w.U16(0);
  w.U16(uint32_t(piece.height())), w.U16(uint32_t(piece.width())), w.U16(0), w.U16(0);
  w.U16(uint16_t(Coord(dest.height()))), w.U16(uint16_t(Coord(dest.width())));
  w.U16(uint16_t(Coord(dest.top()))), w.U16(uint16_t(Coord(dest.left())));
  w.Raw(info), w.Raw(bits);
  Record(0x0F43, w.Data);
}

std::string TRecordEngine::Finish() {
  if (!Emf && ClipSaved) Fields(0x0127, {-1});
  TWriter out;
  if (Emf) {
    Record(14, std::string(12, '\0') + std::string("\x14\0\0\0", 4));  // EOF
    int frameX = int(std::lround(Width * 2540.0 / 96)),
        frameY = int(std::lround(Height * 2540.0 / 96));
    out.U32(1), out.U32(108);
    for (int v : {0, 0, Width - 1, Height - 1, 0, 0, frameX, frameY}) out.U32(uint32_t(v));
    out.U32(metafile::kEmfSignature), out.U32(0x10000);
    out.U32(uint32_t(108 + Body.Data.size())), out.U32(Records + 1);
    out.U16(uint32_t(std::max<size_t>(SlotsHigh, 1))), out.U16(0);
    out.U32(0), out.U32(0), out.U32(0);
    out.U32(1920), out.U32(1080), out.U32(508), out.U32(286);  // 96 pixels per inch
    out.U32(0), out.U32(0), out.U32(0), out.U32(508000), out.U32(285750);
    return out.Data + Body.Data;
  }
  Record(0, "");  // EOF
  int inch = 96 * Unit;
  TWriter placeable;
  placeable.U32(metafile::kPlaceableKey), placeable.U16(0);
  placeable.U16(0), placeable.U16(0);
  placeable.U16(uint16_t(std::min(Width * Unit, 32767))),
      placeable.U16(uint16_t(std::min(Height * Unit, 32767)));
  placeable.U16(uint32_t(inch)), placeable.U32(0);
  uint16_t checksum = 0;
  for (size_t i = 0; i < 20; i += 2)
    checksum ^= uint16_t(uint8_t(placeable.Data[i]) | uint8_t(placeable.Data[i + 1]) << 8);
  placeable.U16(checksum);
  uint32_t words = uint32_t(9 + Body.Data.size() / 2);
  out.U16(1), out.U16(9), out.U16(0x0300), out.U32(words);
  out.U16(uint32_t(std::max<size_t>(SlotsHigh, 1))), out.U32(LargestRecord), out.U16(0);
  return placeable.Data + out.Data + Body.Data;
}

class TRecordDevice : public QPaintDevice {
 public:
  TRecordDevice(bool emf, int width, int height)
      : Engine(emf, width, height), Width(width), Height(height) {}
  QPaintEngine *paintEngine() const override { return &Engine; }
  int metric(PaintDeviceMetric metric) const override {
    switch (metric) {
      case PdmWidth: return Width;
      case PdmHeight: return Height;
      case PdmWidthMM: return int(Width * 25.4 / 96);
      case PdmHeightMM: return int(Height * 25.4 / 96);
      case PdmNumColors: return INT_MAX;
      case PdmDepth: return 32;
      case PdmDpiX:
      case PdmDpiY:
      case PdmPhysicalDpiX:
      case PdmPhysicalDpiY: return 96;
      case PdmDevicePixelRatio: return 1;
      case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
      default: return 0;
    }
  }
  mutable TRecordEngine Engine;

 private:
  int Width, Height;
};

}  // namespace

bool ConvertMetafile(const TMetafile &metafile, TMetafileKind to, std::string &out,
                     std::vector<std::string> &dropped, std::string &error) {
  dropped.clear();
  if (metafile.Bytes.empty() || metafile.Width <= 0 || metafile.Height <= 0) {
    error = "There is no metafile to convert";
    return false;
  }
  if (metafile.Kind == to) {
    out = metafile.Bytes;
    return true;
  }
  TRecordDevice device(to == TMetafileKind::Emf, metafile.Width, metafile.Height);
  {
    QPainter painter;
    if (!painter.begin(&device)) {
      error = "Can not write the metafile";
      return false;
    }
    PlayMetafile(metafile, painter, QRectF(0, 0, metafile.Width, metafile.Height));
    painter.end();
  }
  out = device.Engine.Finish();
  dropped.assign(device.Engine.Dropped.begin(), device.Engine.Dropped.end());
  return true;
}

}  // namespace trovix
