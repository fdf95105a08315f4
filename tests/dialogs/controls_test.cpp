// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/controls.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <limits>

#include "dialogs/controls_ui.h"

namespace trovix {
namespace {

TEditUpDownRules Rules(int32_t min, int32_t max, int32_t scale = 1, int32_t decimals = 0,
                       bool hex = false) {
  TEditUpDownRules r;
  r.Min = min;
  r.Max = max;
  r.Scale = scale;
  r.Decimals = decimals;
  r.Hex = hex;
  return r;
}

TEST(EditUpDownRules, DisplayText) {
  EXPECT_EQ(Rules(5, 10).Text(-3), "5");  // shown clamped to Min (to Max in the widget test)
  EXPECT_EQ(Rules(0, 9999, 1, 2).Text(1234), "12.34");
  EXPECT_EQ(Rules(0, 100, 5).Text(3), "15");
  EXPECT_EQ(Rules(0, 100, 2).Text(10, [](int32_t x) { return x + 1; }), "21");
  // Hex digits follow the bit length of Max.
  EXPECT_EQ(Rules(0, 256).HexWidth(), 3);
  EXPECT_EQ(Rules(0, 0x7FFFFFFF).HexWidth(), 8);
  EXPECT_EQ(Rules(0, 4095, 1, 0, true).Text(255), "0FF");
  // A scaled value past 32 bits saturates instead of overflowing.
  EXPECT_EQ(
      Rules(0, std::numeric_limits<int32_t>::max(), 1000).Text(std::numeric_limits<int32_t>::max()),
      "2147483647");
}

TEST(EditUpDownRules, TypedTextAndSteps) {
  const TEditUpDownRules dec = Rules(0, 1000);
  EXPECT_EQ(dec.Parse("$1f", 0), 31);
  EXPECT_EQ(Rules(3, 9).Parse("", 5), 3);  // empty: Min
  EXPECT_EQ(dec.Parse("5000", 0), 1000);   // clamped
  EXPECT_EQ(dec.Parse("1e30", 0), 1000);   // no overflow on huge numbers
  EXPECT_EQ(dec.Parse("-1e30", 7), 0);
  EXPECT_EQ(dec.Parse("12.6", 0), 13);  // rounded
  EXPECT_EQ(Rules(-1000, 1000, 1, 1).Parse("-2.5", 0),
            -25);                                     // negative numbers round away from zero too
  EXPECT_EQ(Rules(0, 1000, 10).Parse("$64", 0), 10);  // hex divided by Scale
  EXPECT_EQ(Rules(0, 1000, 10).Parse("95", 0), 9);    // integer division
  EXPECT_EQ(Rules(0, 1000, 0).Parse("7", 0), 7);      // scale 0 divides by 1
  EXPECT_EQ(Rules(0, 4095, 1, 0, true).Parse("0x100", 0), 256);
  // With a calculate function typed hex still counts.
  EXPECT_EQ(dec.Parse("$10", 12, true), 16);

  // Steps count from the value as shown.
  EXPECT_EQ(Rules(0, 10).Step(50, 1), 10);
  EXPECT_EQ(Rules(0, 10).Step(0, -1), 0);
  const int32_t top = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(Rules(0, top).Step(top, 1), top);
}

// Text, selection start and length, then C for changed and B for a beep.
std::string Fill(const TAutoFillEdit &r) {
  return r.Text + " " + std::to_string(r.SelStart) + "+" + std::to_string(r.SelLength) +
         (r.Changed ? " C" : "") + (r.Beep ? " B" : "");
}

// "C" to Courier and refusing "X" run in the widget test below.
TEST(AutoFillRules, CompletionRefusalAndBackspace) {
  const std::vector<std::string> fonts{"Arial", "Courier", "Courier New"};
  // Any case; the item's case wins.
  EXPECT_EQ(Fill(AutoFillComplete(fonts, "courier n", 9, false)), "Courier New 9+2 C");
  // A pasted tail goes as a whole.
  EXPECT_EQ(Fill(AutoFillComplete(fonts, "CXYZ", 4, false)), "Courier 1+6 C B");
  EXPECT_EQ(Fill(AutoFillComplete(fonts, "X", 1, true)), "X 1+0");  // free text
  EXPECT_EQ(Fill(AutoFillComplete(fonts, "", 0, false)), " 0+0");   // an emptied box stays empty
  EXPECT_EQ(Fill(AutoFillBackspace("Courier", 3, 4)), "Co 2+0 C");
  EXPECT_EQ(Fill(AutoFillBackspace("Arial", 2, 0)),
            "Aial 1+0 C");                                        // no selection: a plain backspace
  EXPECT_EQ(Fill(AutoFillBackspace("Arial", 0, 0)).back(), '0');  // nothing before the caret
  // Characters beyond ASCII are dropped whole, never split.
  const std::vector<std::string> words{
      "Gr\xC3\xB6\xC3\x9F"
      "e"};
  EXPECT_EQ(Fill(AutoFillComplete(words, "Gr\xC3\xB6X", 5, false)), words[0] + " 4+3 C B");
  EXPECT_EQ(AutoFillBackspace("Gr\xC3\xB6", 4, 0).Text, "Gr");
}

void SendKey(QObject *to, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(to, &press);
}

void SendWheel(QWidget *to, int delta) {
  const QPointF at(5, 5);
  QWheelEvent wheel(at, to->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(to, &wheel);
}

TEST(EditUpDownWidget, KeysWheelButtonsAndTyping) {
  TEditUpDown e;
  int changes = 0;
  e.OnChange = [&changes] { ++changes; };
  e.resize(90, 24);
  e.show();
  e.SetValue(5);
  EXPECT_EQ(e.Text(), "5");
  EXPECT_EQ(changes, 0);  // set by the program: no OnChange

  SendKey(e.Edit(), Qt::Key_Up);
  EXPECT_EQ(e.Value(), 6);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(e.Edit()->selectedText(), "6");
  SendKey(&e, Qt::Key_Down);
  EXPECT_EQ(e.Value(), 5);
  EXPECT_EQ(changes, 2);

  SendWheel(&e, 120);
  EXPECT_EQ(e.Value(), 6);
  SendWheel(e.Edit(), -240);
  EXPECT_EQ(e.Value(), 4);
  SendWheel(&e, 60);  // half a notch: nothing yet
  EXPECT_EQ(e.Value(), 4);
  SendWheel(&e, 60);
  EXPECT_EQ(e.Value(), 5);
  EXPECT_EQ(changes, 2);  // the wheel raises no OnChange

  e.UpButton()->click();
  EXPECT_EQ(e.Value(), 6);
  e.DownButton()->click();
  e.DownButton()->click();
  EXPECT_EQ(e.Value(), 4);
  EXPECT_EQ(changes, 5);

  // Typed text is read on leaving the box, or on Enter.
  e.Edit()->selectAll();
  QTest::keyClicks(e.Edit(), "0x1F");
  EXPECT_EQ(e.Value(), 4);
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QCoreApplication::sendEvent(e.Edit(), &out);
  EXPECT_EQ(e.Value(), 31);
  EXPECT_EQ(e.Text(), "31");
  EXPECT_EQ(changes, 6);
  QCoreApplication::sendEvent(e.Edit(), &out);  // untouched text: nothing happens
  EXPECT_EQ(changes, 6);
  // A step right after typing starts from the typed number.
  e.Edit()->selectAll();
  QTest::keyClicks(e.Edit(), "50");
  SendKey(e.Edit(), Qt::Key_Up);
  EXPECT_EQ(e.Value(), 51);

  // Max below the value: shown at once, stored on the next user change.
  e.SetValue(80);
  e.SetMax(10);
  EXPECT_EQ(e.Text(), "10");
  EXPECT_EQ(e.Value(), 80);
  SendKey(e.Edit(), Qt::Key_Down);
  EXPECT_EQ(e.Value(), 9);

  // A calculated display; typed text does not change the value.
  e.SetMax(100);
  e.SetValue(10);
  e.SetOnCalculate([](int32_t x) { return x * 3; });
  EXPECT_EQ(e.Text(), "30");
  e.Edit()->selectAll();
  QTest::keyClicks(e.Edit(), "7");
  SendKey(e.Edit(), Qt::Key_Return);
  EXPECT_EQ(e.Value(), 10);
  EXPECT_EQ(e.Text(), "30");

  // Entered by keyboard, the first click selects the whole text.
  QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
  QCoreApplication::sendEvent(e.Edit(), &in);
  e.Edit()->deselect();
  QTest::mouseClick(e.Edit(), Qt::LeftButton, Qt::NoModifier, QPoint(3, 5));
  EXPECT_EQ(e.Edit()->selectedText(), "30");
  e.Edit()->deselect();
  QTest::mouseClick(e.Edit(), Qt::LeftButton, Qt::NoModifier, QPoint(3, 5));
  EXPECT_EQ(e.Edit()->selectedText(), "");  // once only
}

TEST(ComboBoxAutoFillWidget, CompletesRefusesAndBackspaces) {
  TComboBoxAutoFill c;
  c.addItems({"Arial", "Courier"});
  c.show();
  c.SetText("");
  QLineEdit *line = c.lineEdit();
  QTest::keyClick(line, Qt::Key_C);
  EXPECT_EQ(c.Text(), "Courier");
  EXPECT_EQ(line->selectedText(), "ourier");
  EXPECT_EQ(line->selectionStart(), 1);
  QTest::keyClick(line, Qt::Key_Backspace);  // takes the tail and the C
  EXPECT_EQ(c.Text(), "");
  QTest::keyClick(line, Qt::Key_X);  // refused
  EXPECT_EQ(c.Text(), "");
  QTest::keyClicks(line, "co");
  EXPECT_EQ(c.Text(), "Courier");
  EXPECT_EQ(line->selectedText(), "urier");
  QTest::keyClick(line, Qt::Key_Backspace);
  EXPECT_EQ(c.Text(), "Courier");
  EXPECT_EQ(line->selectedText(), "ourier");
  QTest::keyClick(line, Qt::Key_Z);  // refused: back to the completion of C
  EXPECT_EQ(c.Text(), "Courier");
  EXPECT_EQ(line->selectedText(), "ourier");

  c.SetFreeText(true);
  c.SetText("");
  QTest::keyClicks(line, "Xy");
  EXPECT_EQ(c.Text(), "Xy");
  EXPECT_EQ(c.count(), 2);  // typing never adds items
}

TEST(VisualControls, ButtonGroupsAndToggles) {
  QWidget parent;
  auto *a = new TBtnTransparent("One", &parent);
  auto *b = new TBtnTransparent("Two", &parent);
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  a->click();
  EXPECT_TRUE(a->Down());
  b->click();
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());  // one down per group
  b->click();
  EXPECT_TRUE(b->Down());
  auto *t = new TBtnTransparent("Toggle", &parent);
  t->SetToggle(true);
  t->click();
  EXPECT_TRUE(t->Down());
  t->click();
  EXPECT_FALSE(t->Down());
  auto *plain = new TBtnTransparent("Plain", &parent);
  int clicks = 0;
  QObject::connect(plain, &QAbstractButton::clicked, [&clicks] { ++clicks; });
  plain->click();
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(plain->Down());

  auto *swatch = new TBtnPaint(&parent);
  swatch->SetCheckBox(true);
  swatch->click();
  EXPECT_TRUE(swatch->Down());
  swatch->click();
  EXPECT_FALSE(swatch->Down());
}

TEST(SliderWidget, KeysWheelMouseAndChangeEvents) {
  TSlider s;
  s.SetRange(1, 100);
  s.SetKnobThickness(24);
  s.resize(124, 20);  // track from 12 to 112: 100 pixels
  s.show();
  int changes = 0;
  s.OnChange = [&changes] { ++changes; };
  s.SetValue(70);
  EXPECT_EQ(changes, 1);
  s.SetValue(70);  // set again without a change: still raised
  EXPECT_EQ(changes, 2);

  // Home goes to Max and End to Min; steps stop at either end.
  const std::pair<int, int32_t> keys[] = {
      {Qt::Key_PageUp, 79}, {Qt::Key_PageDown, 70}, {Qt::Key_Right, 71}, {Qt::Key_Home, 100},
      {Qt::Key_Up, 100},    {Qt::Key_End, 1},       {Qt::Key_Left, 1}};
  for (auto [key, value] : keys) {
    SendKey(&s, key);
    EXPECT_EQ(s.Value(), value) << "after key " << key;
  }
  SendWheel(&s, 120);
  EXPECT_EQ(s.Value(), 2);
  SendWheel(&s, -120);
  EXPECT_EQ(s.Value(), 1);

  // The mouse: clamped to the track, Min at the left end.
  EXPECT_EQ(s.ValueAtPoint({0, 10}), 1);
  EXPECT_EQ(s.ValueAtPoint({62, 10}), 1 + 50 * 99 / 100);
  EXPECT_EQ(s.ValueAtPoint({500, 10}), 100);
  changes = 0;
  QTest::mousePress(&s, Qt::LeftButton, Qt::NoModifier, QPoint(62, 10));
  EXPECT_EQ(s.Value(), 50);
  EXPECT_TRUE(s.hasFocus() || !s.isActiveWindow());
  QTest::mouseRelease(&s, Qt::LeftButton, Qt::NoModifier, QPoint(62, 10));
  EXPECT_EQ(changes, 2);  // the press set it, the release raises it again
  s.SetValue(100);
  EXPECT_EQ(s.KnobCentre(), 112);

  // Vertical: Min at the bottom.
  TSlider v;
  v.SetRange(0, 10);
  v.resize(20, 120);  // knob 20: track from 10 to 110 above the bottom row
  ASSERT_TRUE(v.Vertical());
  EXPECT_EQ(v.ValueAtPoint({10, 119}), 0);
  EXPECT_EQ(v.ValueAtPoint({10, 0}), 10);
  v.SetValue(0);
  EXPECT_EQ(v.KnobCentre(), 119 - 10);
}

}  // namespace
}  // namespace trovix
