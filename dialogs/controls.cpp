// SPDX-License-Identifier: GPL-3.0-or-later
// Input rules of TEditUpDown and TComboBoxAutoFill.
#include "dialogs/controls.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "foundation/strings.h"

namespace trovix {

namespace {

// Decimal places taken into account: enough for any 64-bit number.
int32_t Places(int32_t decimals) { return std::clamp<int32_t>(decimals, 0, 18); }

int32_t Saturate(int64_t n) {
  return static_cast<int32_t>(std::clamp<int64_t>(n, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// A scale of 0 would divide by zero; it counts as 1.
int64_t Divisor(int32_t scale) { return scale == 0 ? 1 : scale; }

bool StartsWith(const std::string &s, const char *prefix) { return s.rfind(prefix, 0) == 0; }

// Start of the UTF-8 character that ends just before pos.
size_t PrevChar(const std::string &s, size_t pos) {
  if (pos == 0) return 0;
  size_t p = pos - 1;
  while (p > 0 && (static_cast<unsigned char>(s[p]) & 0xC0) == 0x80) --p;
  return p;
}

// The first item whose beginning equals text, ignoring case; null if none.
const std::string *FirstMatch(const std::vector<std::string> &items, const std::string &text) {
  for (const std::string &item : items)
    if (item.size() >= text.size() && StrCompare(item.substr(0, text.size()), text) == 0)
      return &item;
  return nullptr;
}

}  // namespace

// ---- TEditUpDown ----

int32_t TEditUpDownRules::Clamp(int32_t value) const {
  if (value < Min) value = Min;
  if (value > Max) value = Max;
  return value;
}

int32_t TEditUpDownRules::HexWidth() const {
  uint32_t m = static_cast<uint32_t>(Max);
  int32_t bits = 0;
  while (m != 0) {
    ++bits;
    m >>= 1;
  }
  return (bits + 3) / 4;
}

std::string TEditUpDownRules::Text(int32_t value, const TCalculateFn &calculate) const {
  int32_t shown = Saturate(static_cast<int64_t>(Clamp(value)) * Scale);
  if (calculate) shown = calculate(shown);
  if (Hex) return CardToHexFill(static_cast<uint32_t>(shown), HexWidth());
  return NumToStrDecimals(shown, Places(Decimals));
}

int32_t TEditUpDownRules::Step(int32_t value, int32_t step) const {
  return Clamp(Saturate(static_cast<int64_t>(Clamp(value)) + step));
}

int32_t TEditUpDownRules::Parse(const std::string &text, int32_t value, bool hasCalculate) const {
  if (text.empty()) return Clamp(Min);
  int32_t pos = 0;
  if (StartsWith(text, "$"))
    pos = 2;
  else if (StartsWith(text, "0x") || StartsWith(text, "0X"))
    pos = 3;
  else if (Hex)
    pos = 1;
  if (pos != 0) {
    const uint32_t n = StrGetHex(text, pos);
    return Clamp(Saturate(static_cast<int64_t>(n) / Divisor(Scale)));
  }
  if (hasCalculate) return value;
  pos = 1;
  long double x = StrGetReal(text, pos);
  for (int32_t i = 0; i < Places(Decimals); ++i) x *= 10;
  // Half away from zero: -2.5 with one place is -25, as 2.5 is 25.
  x = x < 0 ? x - 0.5L : x + 0.5L;
  constexpr long double Limit = 9.0e18L;
  int64_t steps = 0;
  if (std::isnan(x))
    steps = 0;
  else if (x >= Limit)
    steps = static_cast<int64_t>(Limit);
  else if (x <= -Limit)
    steps = -static_cast<int64_t>(Limit);
  else
    steps = static_cast<int64_t>(x);  // truncates toward zero
  return Clamp(Saturate(steps / Divisor(Scale)));
}

// ---- TComboBoxAutoFill ----

TAutoFillEdit AutoFillComplete(const std::vector<std::string> &items, const std::string &text,
                               int32_t caret, bool freeText) {
  TAutoFillEdit r;
  r.Text = text;
  r.SelStart = std::clamp<int32_t>(caret, 0, static_cast<int32_t>(text.size()));
  if (text.empty()) return r;
  std::string typed = text;
  if (!FirstMatch(items, typed)) {
    if (freeText) return r;
    r.Beep = true;
    do typed.erase(PrevChar(typed, typed.size()));
    while (!typed.empty() && !FirstMatch(items, typed));
    r.SelStart = static_cast<int32_t>(typed.size());
  }
  const std::string *item = typed.empty() ? nullptr : FirstMatch(items, typed);
  if (item) {
    r.Text = *item;
    r.SelLength = static_cast<int32_t>(item->size()) - r.SelStart;
  } else {
    r.Text = typed;
  }
  r.Changed = r.Text != text || r.SelLength != 0 || r.SelStart != caret;
  return r;
}

TAutoFillEdit AutoFillBackspace(const std::string &text, int32_t selStart, int32_t selLength) {
  const size_t size = text.size();
  const size_t start =
      static_cast<size_t>(std::clamp<int64_t>(selStart, 0, static_cast<int64_t>(size)));
  const size_t length =
      static_cast<size_t>(std::clamp<int64_t>(selLength, 0, static_cast<int64_t>(size - start)));
  TAutoFillEdit r;
  r.Text = text.substr(0, start) + text.substr(start + length);
  const size_t caret = PrevChar(r.Text, start);
  r.Text.erase(caret, start - caret);
  r.SelStart = static_cast<int32_t>(caret);
  r.Changed = r.Text != text;
  return r;
}

}  // namespace trovix
