// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own controls over Qt widgets.
#include "dialogs/controls_ui.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

#include "foundation/platform_ui.h"

namespace trovix {

namespace {

std::string FromQ(const QString &s) { return EditedBytes(s); }

// Byte offset of a character position of q, and back.
int32_t BytePos(const QString &q, int pos) {
  return static_cast<int32_t>(EditedBytes(q.left(pos)).size());
}

int CharPos(const std::string &s, int32_t bytes) {
  return static_cast<int>(EditableText(s.substr(0, static_cast<size_t>(bytes))).size());
}

// One-pixel raised (or lowered) edges, width pixels deep.
void PaintBevel(QPainter &p, QRect r, int width, bool lowered, const QPalette &pal) {
  const QColor light = pal.color(QPalette::Light);
  const QColor dark = pal.color(QPalette::Dark);
  for (int i = 0; i < width && r.width() > 1 && r.height() > 1; ++i) {
    p.setPen(lowered ? dark : light);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(lowered ? light : dark);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    r.adjust(1, 1, -1, -1);
  }
}

}  // namespace

// ---- TEditUpDown ----

TEditUpDown::TEditUpDown(QWidget *parent) : QWidget(parent) {
  edit_ = new QLineEdit(this);
  edit_->installEventFilter(this);
  connect(edit_, &QLineEdit::textEdited, this, [this] { typed_ = true; });

  auto makeButton = [this](Qt::ArrowType arrow, int32_t step) {
    auto *b = new QToolButton(this);
    b->setArrowType(arrow);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRepeat(true);
    b->setAutoRepeatDelay(400);
    b->setAutoRepeatInterval(60);
    b->setIconSize(QSize(7, 7));
    b->setStyleSheet("QToolButton { padding: 0px; }");
    connect(b, &QToolButton::clicked, this, [this, step] { UserStep(step, true); });
    return b;
  };
  up_ = makeButton(Qt::UpArrow, 1);
  down_ = makeButton(Qt::DownArrow, -1);
  setFocusProxy(edit_);
  resize(sizeHint());
  Display();
}

void TEditUpDown::SetValue(int32_t value) { StoreValue(value); }

void TEditUpDown::StoreValue(int32_t value) {
  const bool changed = value != value_;
  value_ = value;
  Display();
  if (changed) emit valueChanged(value_);
}

void TEditUpDown::SetMin(int32_t min) {
  rules_.Min = min;
  Display();
}

void TEditUpDown::SetMax(int32_t max) {
  rules_.Max = max;
  Display();
}

void TEditUpDown::SetScale(int32_t scale) {
  rules_.Scale = scale;
  Display();
}

void TEditUpDown::SetDecimals(int32_t decimals) {
  rules_.Decimals = decimals;
  Display();
}

void TEditUpDown::SetHex(bool hex) {
  rules_.Hex = hex;
  Display();
}

void TEditUpDown::SetOnCalculate(TCalculateFn calculate) {
  calculate_ = std::move(calculate);
  Display();
}

QString TEditUpDown::Text() const { return edit_->text(); }

void TEditUpDown::Display() {
  edit_->setText(DisplayText(rules_.Text(value_, calculate_)));
  typed_ = false;
}

void TEditUpDown::RaiseChange() {
  if (OnChange) OnChange();
  emit changed();
}

void TEditUpDown::Commit() {
  if (!typed_) return;
  StoreValue(rules_.Parse(FromQ(edit_->text()), value_, static_cast<bool>(calculate_)));
  RaiseChange();
}

void TEditUpDown::UserStep(int32_t step, bool notify) {
  int32_t value = value_;
  if (typed_) value = rules_.Parse(FromQ(edit_->text()), value, static_cast<bool>(calculate_));
  StoreValue(rules_.Step(value, step));
  if (notify) RaiseChange();
}

bool TEditUpDown::StepKey(QKeyEvent *event) {
  if (event->key() != Qt::Key_Up && event->key() != Qt::Key_Down) return false;
  UserStep(event->key() == Qt::Key_Up ? 1 : -1, true);
  edit_->selectAll();
  event->accept();
  return true;
}

bool TEditUpDown::eventFilter(QObject *watched, QEvent *event) {
  if (watched != edit_) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto *key = static_cast<QKeyEvent *>(event);
      if (StepKey(key)) return true;
      // Enter reads the typed text and still reaches the dialog's default
      // button, which then sees the new value.
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) Commit();
      break;
    }
    case QEvent::FocusIn: {
      const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
      selectOnClick_ = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                       reason == Qt::ShortcutFocusReason;
      break;
    }
    case QEvent::FocusOut:
      selectOnClick_ = false;
      Commit();
      break;
    case QEvent::MouseButtonRelease:
      if (selectOnClick_) {
        selectOnClick_ = false;
        edit_->selectAll();
      }
      break;
    case QEvent::Wheel:
      // Handled by the panel, wherever the mouse is over it.
      wheelEvent(static_cast<QWheelEvent *>(event));
      return true;
    default: break;
  }
  return QWidget::eventFilter(watched, event);
}

void TEditUpDown::keyPressEvent(QKeyEvent *event) {
  if (!StepKey(event)) QWidget::keyPressEvent(event);
}

void TEditUpDown::wheelEvent(QWheelEvent *event) {
  // Fine-grained wheels send small deltas: one step per notch of 120.
  wheelDelta_ += event->angleDelta().y();
  while (wheelDelta_ >= 120) {
    wheelDelta_ -= 120;
    UserStep(1, false);
  }
  while (wheelDelta_ <= -120) {
    wheelDelta_ += 120;
    UserStep(-1, false);
  }
  event->accept();
}

QSize TEditUpDown::sizeHint() const {
  const QSize e = edit_->sizeHint();
  return {80, e.height()};
}

QSize TEditUpDown::minimumSizeHint() const {
  const QSize e = edit_->minimumSizeHint();
  return {e.width() + 16, e.height()};
}

void TEditUpDown::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  Arrange();
}

// The buttons fill the right edge, one above the other; the edit box fills
// the rest and is centred vertically.
void TEditUpDown::Arrange() {
  const int w = width();
  const int h = height();
  const int bw = std::max(13, std::min(17, h * 2 / 3));
  const int upH = h / 2;
  up_->setGeometry(w - bw, 0, bw, upH);
  down_->setGeometry(w - bw, upH, bw, h - upH);
  const int eh = std::min(h, edit_->sizeHint().height());
  edit_->setGeometry(0, (h - eh) / 2, std::max(0, w - bw), eh);
}

// ---- TComboBoxAutoFill ----

TComboBoxAutoFill::TComboBoxAutoFill(QWidget *parent) : QComboBox(parent) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  setCompleter(nullptr);  // the completion below replaces Qt's own
  setMaxVisibleItems(16);
  lineEdit()->installEventFilter(this);
  connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString &t) { TextEdited(t); });
}

std::string TComboBoxAutoFill::Text() const { return ComboText(this); }

void TComboBoxAutoFill::SetText(const std::string &text) { ComboSetText(this, text); }

std::vector<std::string> TComboBoxAutoFill::Items() const {
  std::vector<std::string> items;
  items.reserve(static_cast<size_t>(count()));
  for (int i = 0; i < count(); ++i) items.push_back(FromQ(itemText(i)));
  return items;
}

void TComboBoxAutoFill::TextEdited(const QString &text) {
  const int caret = lineEdit()->cursorPosition();
  Apply(AutoFillComplete(Items(), FromQ(text), BytePos(text, caret), freeText_));
}

void TComboBoxAutoFill::Apply(const TAutoFillEdit &edit) {
  if (edit.Beep) QApplication::beep();
  if (!edit.Changed) return;
  QLineEdit *line = lineEdit();
  line->setText(EditableText(edit.Text));
  const int start = CharPos(edit.Text, edit.SelStart);
  const int end = CharPos(edit.Text, edit.SelStart + edit.SelLength);
  // Caret at the start of the selection, as typing continues from there.
  line->setCursorPosition(end);
  line->cursorBackward(true, end - start);
}

bool TComboBoxAutoFill::eventFilter(QObject *watched, QEvent *event) {
  if (watched == lineEdit() && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent *>(event)->key() == Qt::Key_Backspace &&
      lineEdit()->hasSelectedText()) {
    QLineEdit *line = lineEdit();
    const QString text = line->text();
    const int start = line->selectionStart();
    const int length = static_cast<int>(line->selectedText().size());
    const std::string bytes = FromQ(text);
    const TAutoFillEdit cut = AutoFillBackspace(
        bytes, BytePos(text, start), BytePos(text, start + length) - BytePos(text, start));
    line->setText(EditableText(cut.Text));
    line->setCursorPosition(CharPos(cut.Text, cut.SelStart));
    Apply(AutoFillComplete(Items(), cut.Text, cut.SelStart, freeText_));
    return true;
  }
  return QComboBox::eventFilter(watched, event);
}

// ---- TNiceGroupBox ----

TNiceGroupBox::TNiceGroupBox(const QString &caption, QWidget *parent)
    : QWidget(parent),
      caption_(caption),
      color_(palette().color(QPalette::Window)),
      colorTitle_(0x35, 0x5F, 0x95),
      colorText_(Qt::white) {
  UpdateMargins();
}

void TNiceGroupBox::SetCaption(const QString &caption) {
  caption_ = caption;
  update();
}

void TNiceGroupBox::SetColor(const QColor &color) {
  color_ = color;
  update();
}

void TNiceGroupBox::SetColorTitle(const QColor &color) {
  colorTitle_ = color;
  update();
}

void TNiceGroupBox::SetColorText(const QColor &color) {
  colorText_ = color;
  update();
}

int TNiceGroupBox::TitleHeight() const { return fontMetrics().height() + 6; }

void TNiceGroupBox::UpdateMargins() { setContentsMargins(6, TitleHeight() + 6, 6, 6); }

void TNiceGroupBox::changeEvent(QEvent *event) {
  if (event->type() == QEvent::FontChange) UpdateMargins();
  QWidget::changeEvent(event);
}

void TNiceGroupBox::paintEvent(QPaintEvent *) {
  QPainter p(this);
  const QRect r = rect();
  p.fillRect(r, color_);
  p.fillRect(QRect(0, 0, r.width(), TitleHeight()), colorTitle_);
  p.setPen(colorTitle_.darker(125));
  p.setBrush(Qt::NoBrush);
  p.drawRect(r.adjusted(0, 0, -1, -1));
  p.setPen(colorText_);
  QFont bold = font();
  bold.setBold(true);
  p.setFont(bold);
  p.drawText(QRect(4, 2, r.width() - 8, TitleHeight() - 2),
             Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption_);
}

// ---- TBtnBase ----

TBtnBase::TBtnBase(QWidget *parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::TabFocus);
  setAttribute(Qt::WA_Hover);
  connect(this, &QAbstractButton::clicked, this, [this] { ClickState(); });
}

void TBtnBase::SetDown(bool down) {
  if (down && groupIndex_ != 0 && parentWidget()) {
    for (TBtnBase *other : parentWidget()->findChildren<TBtnBase *>(Qt::FindDirectChildrenOnly))
      if (other != this && other->groupIndex_ == groupIndex_ && other->downState_) {
        other->downState_ = false;
        other->update();
      }
  }
  downState_ = down;
  update();
}

void TBtnBase::ClickState() {
  if (toggle_)
    SetDown(!downState_);
  else if (groupIndex_ != 0)
    SetDown(true);
}

void TBtnBase::enterEvent(QEnterEvent *event) {
  hovered_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void TBtnBase::leaveEvent(QEvent *event) {
  hovered_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

// ---- TBtnTransparent ----

TBtnTransparent::TBtnTransparent(const QString &caption, QWidget *parent) : TBtnBase(parent) {
  setText(caption);
  resize(sizeHint());
}

void TBtnTransparent::SetGlyph(const QPixmap &glyph) {
  glyph_ = glyph;
  updateGeometry();
  update();
}

void TBtnTransparent::SetBevel(int bevel) {
  bevel_ = std::max(0, bevel);
  update();
}

void TBtnTransparent::SetLayout(TButtonLayout layout) {
  layout_ = layout;
  updateGeometry();
  update();
}

QSize TBtnTransparent::sizeHint() const {
  const QFontMetrics fm = fontMetrics();
  const QSize t(fm.horizontalAdvance(text()), fm.height());
  const QSize g = glyph_.isNull() ? QSize() : glyph_.deviceIndependentSize().toSize();
  const int gap = (g.isEmpty() || text().isEmpty()) ? 0 : 4;
  QSize s = (layout_ == blGlyphLeft || layout_ == blGlyphRight)
                ? QSize(t.width() + g.width() + gap, std::max(t.height(), g.height()))
                : QSize(std::max(t.width(), g.width()), t.height() + g.height() + gap);
  return s + QSize(16 + 2 * bevel_, 8 + 2 * bevel_);
}

void TBtnTransparent::paintEvent(QPaintEvent *) {
  QPainter p(this);
  const QRect r = rect();
  const bool down = ShownDown();
  const bool hot = Hovered() && isEnabled();
  if (down)
    p.fillRect(r.adjusted(1, 1, -1, -1), QColor(0, 0, 0, 28));
  else if (hot)
    p.fillRect(r.adjusted(1, 1, -1, -1), QColor(255, 255, 255, 90));
  const int bevel = bevel_ > 0 ? bevel_ : (hot || down ? 1 : 0);
  PaintBevel(p, r, bevel, down, palette());

  // Glyph and caption as one block, centred, shifted by a pixel when down.
  const QFontMetrics fm = fontMetrics();
  const QSize t(fm.horizontalAdvance(text()), fm.height());
  QPixmap glyph = glyph_;
  if (!glyph.isNull() && !isEnabled())
    glyph = style()->generatedIconPixmap(QIcon::Disabled, glyph_, nullptr);
  const QSize g = glyph.isNull() ? QSize() : glyph.deviceIndependentSize().toSize();
  const int gap = (g.isEmpty() || text().isEmpty()) ? 0 : 4;
  const bool across = layout_ == blGlyphLeft || layout_ == blGlyphRight;
  const QSize block = across ? QSize(t.width() + g.width() + gap, std::max(t.height(), g.height()))
                             : QSize(std::max(t.width(), g.width()), t.height() + g.height() + gap);
  QPoint o((r.width() - block.width()) / 2, (r.height() - block.height()) / 2);
  if (down) o += QPoint(1, 1);
  QPoint gAt, tAt;
  switch (layout_) {
    case blGlyphLeft:
      gAt = o + QPoint(0, (block.height() - g.height()) / 2);
      tAt = o + QPoint(g.width() + gap, (block.height() - t.height()) / 2);
      break;
    case blGlyphRight:
      tAt = o + QPoint(0, (block.height() - t.height()) / 2);
      gAt = o + QPoint(t.width() + gap, (block.height() - g.height()) / 2);
      break;
    case blGlyphTop:
      gAt = o + QPoint((block.width() - g.width()) / 2, 0);
      tAt = o + QPoint((block.width() - t.width()) / 2, g.height() + gap);
      break;
    case blGlyphBottom:
      tAt = o + QPoint((block.width() - t.width()) / 2, 0);
      gAt = o + QPoint((block.width() - g.width()) / 2, t.height() + gap);
      break;
  }
  if (!glyph.isNull()) p.drawPixmap(gAt, glyph);
  p.setPen(
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  p.drawText(QRect(tAt, t), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, text());
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = r.adjusted(bevel + 2, bevel + 2, -bevel - 2, -bevel - 2);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
  }
}

// ---- TBtnPaint ----

TBtnPaint::TBtnPaint(QWidget *parent) : TBtnBase(parent) { resize(sizeHint()); }

void TBtnPaint::SetCheckBox(bool on) {
  checkBox_ = on;
  SetToggle(on || Toggle());
  update();
}

QSize TBtnPaint::sizeHint() const { return {40, 22}; }

void TBtnPaint::paintEvent(QPaintEvent *) {
  QPainter p(this);
  const QRect r = rect();
  // A check box keeps its raised face and shows a tick; otherwise down is
  // shown lowered.
  const bool lowered = isDown() || (Down() && !checkBox_);
  p.fillRect(r, palette().color(QPalette::Button));
  PaintBevel(p, r, 2, lowered, palette());
  QRect face = r.adjusted(4, 4, -4, -4);
  if (lowered) face.translate(1, 1);
  if (OnPaint && face.isValid()) {
    p.save();
    p.setClipRect(face);
    OnPaint(p, face);
    p.restore();
  }
  if (checkBox_ && Down()) {
    const QRect box(r.right() - 12, r.top() + 2, 11, 11);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(palette().color(QPalette::Dark));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRect(box);
    QPen tick(palette().color(QPalette::Text), 1.6);
    p.setPen(tick);
    p.drawPolyline(QPolygonF{QPointF(box.left() + 2.5, box.top() + 5.5),
                             QPointF(box.left() + 4.5, box.top() + 8),
                             QPointF(box.left() + 8.5, box.top() + 2.5)});
  }
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = r.adjusted(2, 2, -2, -2);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
  }
}

// ---- TBox ----

TBox::TBox(QWidget *parent) : QWidget(parent) {}

void TBox::SetLines(bool top, bool bottom, bool left, bool right) {
  LineTop = top;
  LineBottom = bottom;
  LineLeft = left;
  LineRight = right;
  update();
}

void TBox::paintEvent(QPaintEvent *) {
  QPainter p(this);
  const QRect r = rect();
  const QColor dark = palette().color(QPalette::Mid);
  const QColor light = palette().color(QPalette::Light);
  auto etched = [&](QPoint a, QPoint b, QPoint offset) {
    p.setPen(dark);
    p.drawLine(a, b);
    p.setPen(light);
    p.drawLine(a + offset, b + offset);
  };
  if (LineTop) etched(r.topLeft(), r.topRight(), {0, 1});
  if (LineBottom) etched(r.bottomLeft() - QPoint(0, 1), r.bottomRight() - QPoint(0, 1), {0, 1});
  if (LineLeft) etched(r.topLeft(), r.bottomLeft(), {1, 0});
  if (LineRight) etched(r.topRight() - QPoint(1, 0), r.bottomRight() - QPoint(1, 0), {1, 0});
}

// ---- TSlider ----

TSlider::TSlider(QWidget *parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::SizeHorCursor);
}

void TSlider::SetValueInternal(int64_t value) {
  if (value < min_) value = min_;
  if (value > max_) value = max_;
  value_ = static_cast<int32_t>(value);
  update();
  if (OnChange) OnChange();
}

void TSlider::SetValue(int32_t value) { SetValueInternal(value); }

void TSlider::SetRange(int32_t min, int32_t max) {
  if (max < min) std::swap(min, max);
  min_ = min;
  max_ = max;
  value_ = std::clamp(value_, min_, max_);
  update();
}

void TSlider::SetKnobThickness(int32_t pixels) {
  knobThickness_ = std::max<int32_t>(0, pixels);
  update();
}

void TSlider::SetKnobText(bool on) {
  knobText_ = on;
  update();
}

int TSlider::KnobLength() const {
  const int shortSide = Vertical() ? width() : height();
  const int longSide = Vertical() ? height() : width();
  return std::min(knobThickness_ > 0 ? knobThickness_ : shortSide, longSide);
}

int TSlider::TrackLength() const {
  const int longSide = Vertical() ? height() : width();
  return std::max(0, longSide - 2 * (KnobLength() / 2));
}

int TSlider::KnobCentre() const {
  const int start = KnobLength() / 2;
  int offset = 0;
  if (max_ != min_)
    offset = static_cast<int>((static_cast<int64_t>(value_) - min_) * TrackLength() /
                              (static_cast<int64_t>(max_) - min_));
  // A vertical slider has Min at the bottom.
  return Vertical() ? height() - 1 - (start + offset) : start + offset;
}

int32_t TSlider::ValueAtPoint(const QPoint &pos) const {
  const int along = Vertical() ? height() - 1 - pos.y() : pos.x();
  const int length = TrackLength();
  if (length <= 0) return min_;
  const int64_t offset = std::clamp(along - KnobLength() / 2, 0, length);
  return static_cast<int32_t>(min_ + offset * (static_cast<int64_t>(max_) - min_) / length);
}

QSize TSlider::sizeHint() const { return {120, 24}; }

void TSlider::resizeEvent(QResizeEvent *event) {
  setCursor(Vertical() ? Qt::SizeVerCursor : Qt::SizeHorCursor);
  QWidget::resizeEvent(event);
}

void TSlider::paintEvent(QPaintEvent *) {
  QPainter p(this);
  const QPalette &pal = palette();
  const bool vertical = Vertical();
  const int knob = KnobLength();
  const int half = knob / 2;
  // The track: an etched line along the centre.
  p.setPen(pal.color(QPalette::Dark));
  if (vertical) {
    const int x = width() / 2;
    p.drawLine(x - 1, half, x - 1, height() - 1 - half);
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(x, half, x, height() - 1 - half);
  } else {
    const int y = height() / 2;
    p.drawLine(half, y - 1, width() - 1 - half, y - 1);
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(half, y, width() - 1 - half, y);
  }
  if (!isEnabled()) return;
  const int centre = KnobCentre();
  const QRect box =
      vertical ? QRect(0, centre - half, width(), knob) : QRect(centre - half, 0, knob, height());
  p.fillRect(box, pal.color(QPalette::Button));
  PaintBevel(p, box, 1, false, pal);
  if (hasFocus()) {
    p.setPen(QPen(pal.color(QPalette::Highlight), 1, Qt::DotLine));
    p.drawRect(box.adjusted(2, 2, -3, -3));
  }
  if (knobText_) {
    const QString text =
        OnFormatKnobText ? OnFormatKnobText(value_) : QString::number(static_cast<int>(value_));
    p.setPen(pal.color(QPalette::ButtonText));
    p.drawText(box, Qt::AlignCenter, text);
  }
}

void TSlider::mousePressEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton) {
    setFocus(Qt::MouseFocusReason);
    SetValue(ValueAtPoint(event->position().toPoint()));
  }
  event->accept();
}

void TSlider::mouseMoveEvent(QMouseEvent *event) {
  if (event->buttons() & Qt::LeftButton) SetValue(ValueAtPoint(event->position().toPoint()));
  event->accept();
}

void TSlider::mouseReleaseEvent(QMouseEvent *event) {
  if (rect().contains(event->position().toPoint()) && OnChange) OnChange();
  event->accept();
}

void TSlider::keyPressEvent(QKeyEvent *event) {
  const int64_t page = (static_cast<int64_t>(max_) - min_) / 10;
  switch (event->key()) {
    case Qt::Key_Home: SetValueInternal(max_); break;
    case Qt::Key_End: SetValueInternal(min_); break;
    case Qt::Key_Up:
    case Qt::Key_Right: SetValueInternal(static_cast<int64_t>(value_) + 1); break;
    case Qt::Key_Down:
    case Qt::Key_Left: SetValueInternal(static_cast<int64_t>(value_) - 1); break;
    case Qt::Key_PageUp: SetValueInternal(value_ + page); break;
    case Qt::Key_PageDown: SetValueInternal(value_ - page); break;
    default: QWidget::keyPressEvent(event); return;
  }
  event->accept();
}

void TSlider::wheelEvent(QWheelEvent *event) {
  const int delta = event->angleDelta().y();
  if (delta > 0) SetValueInternal(static_cast<int64_t>(value_) + 1);
  if (delta < 0) SetValueInternal(static_cast<int64_t>(value_) - 1);
  event->accept();
}

}  // namespace trovix
