// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's own controls: the numeric up/down edit, the completing combo
// box and the purely visual group box, flat button, owner-painted button and
// edge box. The input rules live in controls.h.
#include <QAbstractButton>
#include <QComboBox>
#include <QPixmap>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "dialogs/controls.h"

class QLineEdit;
class QToolButton;

namespace trovix {

// ---- TEditUpDown ----

// A borderless panel holding an edit box and an up/down button pair at its
// right edge. Up and Down keys step the value (with OnChange), the mouse
// wheel steps it (without OnChange), the buttons step it (with OnChange).
// Typed text is read when the edit box is left, or on Enter.
class TEditUpDown : public QWidget {
  Q_OBJECT
 public:
  explicit TEditUpDown(QWidget *parent = nullptr);

  int32_t Value() const { return value_; }
  int32_t Min() const { return rules_.Min; }
  int32_t Max() const { return rules_.Max; }
  int32_t Scale() const { return rules_.Scale; }
  int32_t Decimals() const { return rules_.Decimals; }
  bool Hex() const { return rules_.Hex; }
  // Each setter shows the value again; none raises OnChange.
  void SetValue(int32_t value);
  void SetMin(int32_t min);
  void SetMax(int32_t max);
  void SetScale(int32_t scale);
  void SetDecimals(int32_t decimals);
  void SetHex(bool hex);
  void SetOnCalculate(TCalculateFn calculate);

  // Raised after the user changed the value.
  std::function<void()> OnChange;

  QLineEdit *Edit() const { return edit_; }
  QToolButton *UpButton() const { return up_; }
  QToolButton *DownButton() const { return down_; }
  QString Text() const;

  // Shows the value as the rules give it.
  void Display();
  // Reads the typed text, if the user changed it, then shows it and raises
  // OnChange. Runs when the edit box loses the focus and on Enter.
  void Commit();

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 signals:
  void changed();
  // Raised whenever the value changed, by the user (the mouse wheel too,
  // which raises no OnChange) or by SetValue.
  void valueChanged(int32_t value);

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void wheelEvent(QWheelEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;

 private:
  bool StepKey(QKeyEvent *event);
  // Steps the value (after reading pending typed text), shows it and raises
  // OnChange when notify is set.
  void UserStep(int32_t step, bool notify);
  void RaiseChange();
  void Arrange();
  void StoreValue(int32_t value);  // stores and shows; valueChanged when new

  TEditUpDownRules rules_;
  TCalculateFn calculate_;
  int32_t value_ = 0;
  bool typed_ = false;          // the text was changed by typing
  bool selectOnClick_ = false;  // entered by keyboard: a click selects all
  int wheelDelta_ = 0;
  QLineEdit *edit_;
  QToolButton *up_;
  QToolButton *down_;
};

// ---- TComboBoxAutoFill ----

// A drop-down combo box that completes typed text from its items. Unless
// FreeText is set, only beginnings of items can be typed.
class TComboBoxAutoFill : public QComboBox {
  Q_OBJECT
 public:
  explicit TComboBoxAutoFill(QWidget *parent = nullptr);

  bool FreeText() const { return freeText_; }
  void SetFreeText(bool on) { freeText_ = on; }
  std::string Text() const;
  void SetText(const std::string &text);

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void TextEdited(const QString &text);
  void Apply(const TAutoFillEdit &edit);
  std::vector<std::string> Items() const;

  bool freeText_ = false;
};

// ---- Visual controls ----

// A group box with a coloured title bar: the client area in Color, a
// one-pixel frame, a title bar (text height + 6 pixels) in ColorTitle and
// the caption at (4, 2) in ColorText. Children are laid out below the bar.
class TNiceGroupBox : public QWidget {
  Q_OBJECT
 public:
  explicit TNiceGroupBox(const QString &caption = {}, QWidget *parent = nullptr);

  QString Caption() const { return caption_; }
  void SetCaption(const QString &caption);
  QColor Color() const { return color_; }
  void SetColor(const QColor &color);
  QColor ColorTitle() const { return colorTitle_; }
  void SetColorTitle(const QColor &color);
  QColor ColorText() const { return colorText_; }
  void SetColorText(const QColor &color);
  int TitleHeight() const;

 protected:
  void paintEvent(QPaintEvent *event) override;
  void changeEvent(QEvent *event) override;

 private:
  void UpdateMargins();
  QString caption_;
  QColor color_;
  QColor colorTitle_;
  QColor colorText_;
};

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// Common state of the program's buttons: Down (shown pressed), Toggle (each
// click flips Down) and GroupIndex (a non-zero group on the same parent keeps
// at most one button down; clicking a grouped button puts it down).
class TBtnBase : public QAbstractButton {
  Q_OBJECT
 public:
  explicit TBtnBase(QWidget *parent = nullptr);

  bool Down() const { return downState_; }
  void SetDown(bool down);
  bool Toggle() const { return toggle_; }
  void SetToggle(bool on) { toggle_ = on; }
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int index) { groupIndex_ = index; }
  int Tag = 0;

 protected:
  bool Hovered() const { return hovered_; }
  bool ShownDown() const { return downState_ || isDown(); }
  void enterEvent(QEnterEvent *event) override;
  void leaveEvent(QEvent *event) override;
  void ClickState();  // applies Toggle and GroupIndex after a click

 private:
  bool downState_ = false;
  bool toggle_ = false;
  int groupIndex_ = 0;
  bool hovered_ = false;
};

// A flat push or toggle button with caption and glyph that lets its parent's
// background show through. Bevel is the width of its raised (or, when down,
// lowered) edge; 0 draws an edge only under the mouse.
class TBtnTransparent : public TBtnBase {
  Q_OBJECT
 public:
  explicit TBtnTransparent(const QString &caption = {}, QWidget *parent = nullptr);

  QString Caption() const { return text(); }
  void SetCaption(const QString &caption) { setText(caption); }
  QPixmap Glyph() const { return glyph_; }
  void SetGlyph(const QPixmap &glyph);
  int Bevel() const { return bevel_; }
  void SetBevel(int bevel);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout layout);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  QPixmap glyph_;
  int bevel_ = 1;
  TButtonLayout layout_ = blGlyphLeft;
};

// A button whose face its owner paints (the colour swatches of the options).
// With CheckBox set it toggles like a check box and shows a tick while down.
class TBtnPaint : public TBtnBase {
  Q_OBJECT
 public:
  explicit TBtnPaint(QWidget *parent = nullptr);

  bool CheckBox() const { return checkBox_; }
  void SetCheckBox(bool on);
  // Paints the face inside the button's edge.
  std::function<void(QPainter &painter, const QRect &face)> OnPaint;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  bool checkBox_ = false;
};

// A box that draws any of its four edges as an etched line.
class TBox : public QWidget {
  Q_OBJECT
 public:
  explicit TBox(QWidget *parent = nullptr);

  bool LineTop = false;
  bool LineBottom = false;
  bool LineLeft = false;
  bool LineRight = false;
  void SetLines(bool top, bool bottom, bool left, bool right);

 protected:
  void paintEvent(QPaintEvent *event) override;
};

// ---- TSlider ----

// A focusable slider. Vertical when it is not wider than high (Min at the
// bottom), else horizontal (Min at the left). The track runs along the long
// side's centre line, half a knob in from either end; the knob sits at the
// value's position. The left button sets the value from the mouse, Home/End
// give Max/Min, arrows step by 1, Page Up/Down by a tenth of the range, the
// wheel by 1. OnChange is raised whenever the value is set, changed or not,
// and when a mouse button is released over the control.
class TSlider : public QWidget {
  Q_OBJECT
 public:
  explicit TSlider(QWidget *parent = nullptr);

  int32_t Value() const { return value_; }
  int32_t Min() const { return min_; }
  int32_t Max() const { return max_; }
  // Keeps the value within Min..Max and raises OnChange.
  void SetValue(int32_t value);
  // A range given backwards is taken in order; the value is clamped to it
  // (without OnChange).
  void SetRange(int32_t min, int32_t max);
  // Knob length along the track; 0 means the control's short side.
  int32_t KnobThickness() const { return knobThickness_; }
  void SetKnobThickness(int32_t pixels);
  bool KnobText() const { return knobText_; }
  void SetKnobText(bool on);

  std::function<void()> OnChange;
  // Supplies the knob's text instead of the decimal value.
  std::function<QString(int32_t value)> OnFormatKnobText;

  bool Vertical() const { return width() <= height(); }
  // The knob's length, the track's start (Min end: left, or bottom for a
  // vertical slider, in widget coordinates) and its length in pixels.
  int KnobLength() const;
  int TrackLength() const;
  // The value the mouse at pos (widget coordinates) chooses.
  int32_t ValueAtPoint(const QPoint &pos) const;
  // The knob's centre along the long side, in widget coordinates.
  int KnobCentre() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void wheelEvent(QWheelEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;

 private:
  void SetValueInternal(int64_t value);
  int32_t value_ = 0;
  int32_t min_ = 0;
  int32_t max_ = 100;
  int32_t knobThickness_ = 0;
  bool knobText_ = false;
};

}  // namespace trovix
