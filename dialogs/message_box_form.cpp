// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/message_box_form.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <algorithm>

#include "dialogs/markup.h"
#include "dialogs/markup_ui.h"
#include "foundation/platform_ui.h"

namespace trovix {

// ---- Shared look ----------------------------------------------------------------

QColor DialogFaceColour() { return QApplication::palette().color(QPalette::Button); }

QColor DialogStripColour() {
  // The scroll-bar grey that the strip's gradient runs down to.
  return QApplication::palette().color(QPalette::Midlight);
}

void PaintDialogFrame(QPainter &canvas, const QRect &rect) {
  const QPalette &palette = QApplication::palette();
  canvas.save();
  canvas.setRenderHint(QPainter::Antialiasing, false);
  canvas.setBrush(Qt::NoBrush);
  canvas.setPen(palette.color(QPalette::Shadow).lighter(250));
  canvas.drawRect(rect.adjusted(0, 0, -1, -1));
  canvas.setPen(palette.color(QPalette::Light));
  canvas.drawRect(rect.adjusted(1, 1, -2, -2));
  canvas.restore();
}

void PlaceDialogAtMouse(QWidget *form) {
  WindowToMouse(form);
  QScreen *primary = QGuiApplication::primaryScreen();
  if (!primary) return;
  const QRect screen = primary->geometry();
  const QRect frame = form->frameGeometry();
  int32_t left = frame.left();
  int32_t top = frame.top();
  MessageBoxKeepOnScreen(left, top, frame.width(), frame.height(), screen.left(), screen.top(),
                         screen.width(), screen.height(), QGuiApplication::screens().size() == 1);
  if (left != frame.left() || top != frame.top()) form->move(left, top);
}

// ---- Glyphs and icons -------------------------------------------------------------

QPixmap MessageBoxGlyphImage(int32_t index) {
  if (index != 0 && index != 1 && index != 2 && index != 4 && index != 5) return QPixmap();
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (index) {
    case 0: {  // confirm: a green tick
      QPainterPath tick;
      tick.moveTo(2.5, 8.5);
      tick.lineTo(6.5, 12.5);
      tick.lineTo(13.5, 3.5);
      p.setPen(QPen(QColor(0x1E, 0x8C, 0x2E), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawPath(tick);
      break;
    }
    case 1: {  // reject: a red cross
      p.setPen(QPen(QColor(0xC8, 0x28, 0x28), 2.4, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
      p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
      break;
    }
    case 2: {  // save: a disk
      p.setPen(QPen(QColor(0x1F, 0x3F, 0x7A), 1));
      p.setBrush(QColor(0x3C, 0x6E, 0xC8));
      p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
      p.setBrush(Qt::white);
      p.setPen(Qt::NoPen);
      p.drawRect(QRectF(4, 2, 8, 5));
      p.setBrush(QColor(0x1F, 0x3F, 0x7A));
      p.drawRect(QRectF(9, 3, 2, 3));
      p.setBrush(QColor(0xDD, 0xE6, 0xF5));
      p.drawRect(QRectF(4, 9, 8, 5));
      break;
    }
    case 4: {  // copy: two overlapping pages
      p.setPen(QPen(QColor(0x40, 0x50, 0x70), 1));
      p.setBrush(QColor(0xE4, 0xEC, 0xF8));
      p.drawRect(QRectF(1.5, 1.5, 8, 10));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(6.5, 4.5, 8, 10));
      p.setPen(QPen(QColor(0x8A, 0x9A, 0xB8), 1));
      for (int y = 7; y <= 12; y += 2) p.drawLine(QPointF(8.5, y + 0.5), QPointF(12.5, y + 0.5));
      break;
    }
    case 5: {  // move: a page with an arrow leaving it
      p.setPen(QPen(QColor(0x40, 0x50, 0x70), 1));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(1.5, 1.5, 8, 11));
      p.setPen(QPen(QColor(0x1E, 0x8C, 0x2E), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.setBrush(Qt::NoBrush);
      p.drawLine(QPointF(5, 9), QPointF(12.5, 9));
      p.drawPolyline(QPolygonF({QPointF(9.5, 5.5), QPointF(13, 9), QPointF(9.5, 12.5)}));
      break;
    }
    default: break;
  }
  return pixmap;
}

namespace {

QPoint Grid(int a, int b) { return QPoint(7 * a + 1, 7 * b + 1); }

// Draws a character with its text cell's top-left corner at (x, y); sizes
// are points at 96 dots per inch, as the icon's grid is in pixels.
void IconText(QPainter &canvas, const char *family, QFont::StyleHint hint, int points, bool italic,
              const QColor &colour, int x, int y, const QString &text) {
  QFont font(family);
  font.setStyleHint(hint);
  font.setPixelSize(points * 96 / 72);
  font.setBold(true);
  font.setItalic(italic);
  canvas.setFont(font);
  canvas.setPen(colour);
  canvas.drawText(QPoint(x, y + QFontMetrics(font).ascent()), text);
}

}  // namespace

void PaintMessageBoxIcon(QPainter &canvas, uint8_t kind, int32_t width, int32_t height) {
  canvas.save();
  canvas.setRenderHint(QPainter::Antialiasing);
  canvas.setRenderHint(QPainter::TextAntialiasing);
  switch (kind) {
    case mbInformation:
      canvas.setPen(QPen(Qt::white, 2));
      canvas.setBrush(QColor(0, 0, 255));
      canvas.drawEllipse(QRect(QPoint(1, 1), QPoint(width * 2 / 3 - 1, height - 2)));
      IconText(canvas, "Times New Roman", QFont::Serif, 40, true, Qt::white, 10, -5, "i");
      break;
    case mbError:
      canvas.setPen(QPen(Qt::white, 2));
      canvas.setBrush(QColor(255, 0, 0));
      canvas.drawPolygon(QPolygon({Grid(3, 0), Grid(6, 6), Grid(0, 6)}));
      IconText(canvas, "Times New Roman", QFont::Serif, 31, false, Qt::white, 16, 2, "!");
      break;
    case mbQuestion:
      canvas.setPen(QPen(Qt::black, 2));
      canvas.setBrush(QColor(255, 255, 0));
      canvas.drawPolygon(QPolygon({Grid(3, 0), Grid(4, 0), Grid(7, 3), Grid(7, 4), Grid(4, 7),
                                   Grid(3, 7), Grid(0, 4), Grid(0, 3)}));
      canvas.setBackgroundMode(Qt::TransparentMode);
      IconText(canvas, "Arial", QFont::SansSerif, 34, false, QColor(255, 0, 0), 13, 1, "?");
      break;
    default: break;
  }
  canvas.restore();
}

// ---- Icon box and strip ---------------------------------------------------------------

TMessageBoxIcon::TMessageBoxIcon(uint8_t kind, QWidget *parent) : QWidget(parent), kind_(kind) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TMessageBoxIcon::paintEvent(QPaintEvent *) {
  QPainter p(this);
  PaintMessageBoxIcon(p, kind_, width(), height());
}

TMessageBoxStrip::TMessageBoxStrip(QWidget *parent) : QWidget(parent) {}

void TMessageBoxStrip::paintEvent(QPaintEvent *) {
  QPainter p(this);
  CanvasGradientFill(p, rect(), DialogFaceColour(), DialogStripColour());
  p.setPen(QApplication::palette().color(QPalette::Midlight).darker(110));
  p.drawLine(0, 0, width() - 1, 0);
}

// ---- TMessageBoxForm --------------------------------------------------------------------

TMessageBoxForm::TMessageBoxForm(uint8_t kind, const std::string &message,
                                 const std::string &buttons, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      kind_(kind),
      message_(message) {
  setObjectName("MessageBoxForm");
  setWindowModality(Qt::ApplicationModal);
  setWindowTitle(QString::fromUtf8(MarkupPlainText(message)).simplified());
  setFocusPolicy(Qt::StrongFocus);

  // The message's extent in the window's font, moved to where it is painted.
  int32_t textWidth = 0;
  int32_t textHeight = 0;
  NiceLabelMeasure(font(), textWidth, textHeight, message_, mbTextGap);
  const std::vector<std::string> captions = MessageBoxButtons(buttons);
  layout_ = MessageBoxArrange(mbTextLeft + textWidth, mbTextTop + textHeight, captions.size());

  pbImage = new TMessageBoxIcon(kind, this);
  pbImage->setObjectName("pbImage");
  pbImage->setGeometry(Frame + mbIconLeft, Frame + mbIconTop, mbIconWidth, mbIconHeight);

  Box = new TMessageBoxStrip(this);
  Box->setObjectName("Box");
  Box->setGeometry(Frame, Frame + layout_.stripTop, layout_.clientWidth, mbStripHeight);

  for (size_t i = 0; i < captions.size(); ++i) {
    auto *button = new TBtnTransparent(QString::fromUtf8(captions[i]), Box);
    button->setFocusPolicy(Qt::NoFocus);  // keys belong to the box
    button->Tag = static_cast<int32_t>(i);
    button->SetGlyph(MessageBoxGlyphImage(MessageBoxGlyph(captions[i])));
    const TMessageBoxRect &r = layout_.buttons[i];
    button->setGeometry(r.left, r.top - layout_.stripTop, r.width, r.height);
    connect(button, &QAbstractButton::clicked, this, &TMessageBoxForm::ButtonClick);
    buttons_.push_back(button);
  }
  setFixedSize(layout_.clientWidth + 2 * Frame, layout_.clientHeight + 2 * Frame);
}

void TMessageBoxForm::ButtonClick() {
  auto *button = qobject_cast<TBtnTransparent *>(sender());
  if (!button) return;
  result_ = button->Tag;
  accept();
}

void TMessageBoxForm::showEvent(QShowEvent *event) {
  result_ = -1;
  PlaceDialogAtMouse(this);
  QDialog::showEvent(event);
  activateWindow();
  setFocus();
}

void TMessageBoxForm::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.fillRect(rect(), DialogFaceColour());
  PaintDialogFrame(p, rect());
  p.translate(Frame, Frame);
  p.setFont(font());
  p.setPen(palette().color(QPalette::WindowText));
  NiceLabelPaint(p, mbTextLeft, mbTextTop, message_, mbTextGap);
  PaintBorder(p, mbTextLeft, mbTextTop, bLowered, layout_.areaHeight - 1, layout_.areaWidth - 1);
}

void TMessageBoxForm::keyPressEvent(QKeyEvent *event) {
  int32_t key = -1;
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: key = mbKeyEnter; break;
    case Qt::Key_Escape: key = mbKeyEscape; break;
    case Qt::Key_Space: key = mbKeySpace; break;
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
      event->accept();  // a modifier alone is no answer, nor a mistake
      return;
    default:
      if (event->key() >= Qt::Key_1 && event->key() <= Qt::Key_9) key = event->key();
      break;
  }
  event->accept();
  const TMessageBoxKey answer = MessageBoxKey(key);
  if (!answer.close) {
    QApplication::beep();
    return;
  }
  result_ = answer.result;
  accept();
}

void TMessageBoxForm::mousePressEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton && event->position().y() < Frame + layout_.stripTop) {
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
    return;
  }
  QDialog::mousePressEvent(event);
}

void TMessageBoxForm::mouseMoveEvent(QMouseEvent *event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - dragOffset_);
    event->accept();
    return;
  }
  QDialog::mouseMoveEvent(event);
}

void TMessageBoxForm::mouseReleaseEvent(QMouseEvent *event) {
  dragging_ = false;
  QDialog::mouseReleaseEvent(event);
}

// ---- Entry points -------------------------------------------------------------------------

int32_t DisplayMany(uint8_t kind, const std::string &message, const std::string &buttons) {
  if (const TMessageBoxAnswerer &answerer = MessageBoxAnswerer()) {
    return answerer(kind, message, buttons);
  }
  TMessageBoxForm form(kind, message, buttons, QApplication::activeWindow());
  form.exec();
  return form.Result();
}

void DisplayMessage(const std::string &message) { DisplayMany(mbInformation, message, "OK"); }

void DisplayError(const std::string &message) { DisplayMany(mbError, message, "OK"); }

bool DisplayOKCancel(const std::string &message) {
  return DisplayMany(mbQuestion, message, "OK,Cancel") == 0;
}

bool DisplayYesNo(const std::string &message) {
  return DisplayMany(mbQuestion, message, "Yes,No") == 0;
}

}  // namespace trovix
