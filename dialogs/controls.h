// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Input rules of the program's own controls, free of any widget: the numeric
// up/down edit (TEditUpDown) and the completing combo box
// (TComboBoxAutoFill). The Qt widgets of controls_ui.h apply them.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace trovix {

// Maps the scaled value to the number shown.
using TCalculateFn = std::function<int32_t(int32_t Position)>;

// ---- TEditUpDown ----

// What the edit shows and reads: the value is counted in steps, the number
// shown is value x Scale, with Decimals implied decimal places, or in
// hexadecimal.
struct TEditUpDownRules {
  int32_t Min = 0;
  int32_t Max = 100;
  int32_t Scale = 1;
  int32_t Decimals = 0;
  bool Hex = false;

  // Raised to Min, then lowered to Max.
  int32_t Clamp(int32_t value) const;
  // Hexadecimal digits shown: (bit length of Max + 3) / 4, Max taken as an
  // unsigned 32-bit number (255 gives 2, 4095 gives 3).
  int32_t HexWidth() const;
  // The text for a value: clamped, scaled, passed through calculate when
  // given, then as upper-case hex filled to HexWidth or with Decimals places.
  std::string Text(int32_t value, const TCalculateFn &calculate = {}) const;
  // The value a user change by step (+1 / -1) leads to: counted from the
  // value as shown (clamped), and clamped again.
  int32_t Step(int32_t value, int32_t step) const;
  // The value for typed text. Empty text gives Min. Text starting with "$"
  // or "0x" (or any text while Hex is on) is hexadecimal and divided by
  // Scale. Otherwise it is a decimal real number with Decimals places,
  // rounded half away from zero and divided by Scale; with a calculate
  // function set such text leaves the value as it was. The result is
  // clamped.
  int32_t Parse(const std::string &text, int32_t value, bool hasCalculate = false) const;
};

// ---- TComboBoxAutoFill ----

// The text, caret and selection after a rule ran. Positions are byte offsets
// from 0; the selection runs from SelStart for SelLength bytes and the caret
// stands at its end when SelLength is 0.
struct TAutoFillEdit {
  std::string Text;
  int32_t SelStart = 0;
  int32_t SelLength = 0;
  bool Changed = false;  // Text, caret or selection differ from the input
  bool Beep = false;     // the typed text was refused
};

// Completion, after every change of the text by the user, with the caret at
// caret. The first item (in list order) whose beginning equals the text,
// ignoring case, replaces it; the caret stays and the completed tail is
// selected. When none matches and free text is not allowed, the text is
// refused: characters are dropped from its end until it is empty or begins
// an item again, which is then completed, and Beep is set. Empty text is
// left alone, so the box can be emptied.
TAutoFillEdit AutoFillComplete(const std::vector<std::string> &items, const std::string &text,
                               int32_t caret, bool freeText);

// Backspace while text is selected: the selection is removed, then the
// character before it, so after a completion one backspace takes away the
// completed tail and the last typed character. The result is then completed
// like any change.
TAutoFillEdit AutoFillBackspace(const std::string &text, int32_t selStart, int32_t selLength);

}  // namespace trovix
