// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/strings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace trovix {

bool StrError = false;

namespace {

// Byte at 1-based position pos; the caller has checked the range.
inline uint8_t At(const std::string &s, int64_t pos) {
  return static_cast<uint8_t>(s[static_cast<size_t>(pos - 1)]);
}

inline int64_t Len(const std::string &s) { return static_cast<int64_t>(s.size()); }

inline bool InRange(const std::string &s, int64_t pos) { return pos >= 1 && pos <= Len(s); }

inline bool SameUp(char a, char b) { return UpCase(a) == UpCase(b); }

inline bool IsSeparator(uint8_t c) { return c == 13 || c == 10 || c == 9 || c == ' ' || c == ','; }

inline bool IsItemDelimiter(char c) {
  return StrGetItemDelimiters.find(c) != std::string_view::npos;
}

// Value of a hexadecimal digit of either case, or -1.
inline int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Decimal digits of an unsigned 64-bit value.
std::string Digits(uint64_t v) {
  char buf[24];
  int n = 0;
  do {
    buf[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  std::string r;
  r.reserve(static_cast<size_t>(n));
  while (n > 0) r += buf[--n];
  return r;
}

// Magnitude digits padded to at least decimals + 1 digits, with "." in front
// of the last decimals digits when decimals > 0.
std::string InsertDecimalPoint(std::string digits, int64_t decimals) {
  if (decimals <= 0) return digits;
  if (Len(digits) < decimals + 1)
    digits.insert(0, static_cast<size_t>(decimals + 1 - Len(digits)), '0');
  digits.insert(digits.size() - static_cast<size_t>(decimals), 1, '.');
  return digits;
}

// Start of field n (0-based index into s) split at sep, or npos.
size_t FieldStart(const std::string &s, int32_t n, char sep) {
  size_t start = 0;
  for (int32_t k = 0; k < n; ++k) {
    size_t p = s.find(sep, start);
    if (p == std::string::npos) return std::string::npos;
    start = p + 1;
  }
  return start;
}

std::string GetField(const std::string &s, int32_t n, char sep) {
  if (n < 0) return std::string();
  size_t start = FieldStart(s, n, sep);
  if (start == std::string::npos) return std::string();
  size_t end = s.find(sep, start);
  if (end == std::string::npos) end = s.size();
  return s.substr(start, end - start);
}

// Fixed-width readers with 64-bit positions so that i + k never overflows.
uint8_t GetDigitAt(const std::string &s, int64_t i) {
  return InRange(s, i) ? StrGetD(static_cast<char>(At(s, i))) : 0;
}

uint8_t GetDD(const std::string &s, int64_t i) {
  if (i < 1 || Len(s) < i + 1) return 0;
  return static_cast<uint8_t>(StrGetD(static_cast<char>(At(s, i))) * 10 +
                              StrGetD(static_cast<char>(At(s, i + 1))));
}

uint8_t GetH(const std::string &s, int64_t i) {
  if (!InRange(s, i)) {
    StrError = true;
    return 0;
  }
  return StrGetH_(static_cast<char>(At(s, i)));
}

uint8_t GetHH(const std::string &s, int64_t i) {
  return static_cast<uint8_t>(GetH(s, i) * 16 + GetH(s, i + 1));
}

uint16_t GetHHHH(const std::string &s, int64_t i) {
  return static_cast<uint16_t>(GetHH(s, i) * 256 + GetHH(s, i + 2));
}

// Positions below 1 read as 1.
inline void NormalisePos(int32_t &pos) {
  if (pos < 1) pos = 1;
}

}  // namespace

// ---- Character tests and case -------------------------------------------------

bool IsAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char UpCase(char c) { return IsAlpha(c) ? static_cast<char>(c & ~0x20) : c; }

char LoCase(char c) { return IsAlpha(c) ? static_cast<char>(c | 0x20) : c; }

std::string UpperCase(const std::string &s) {
  std::string r(s);
  for (char &c : r) c = UpCase(c);
  return r;
}

std::string ChangeCase(const std::string &s) {
  bool hasLower = false;
  bool hasUpper = false;
  for (char c : s) {
    if (c >= 'a' && c <= 'z') hasLower = true;
    if (c >= 'A' && c <= 'Z') hasUpper = true;
  }
  std::string r(s);
  if (hasLower && !hasUpper) {
    for (size_t i = 0; i < r.size(); ++i)
      r[i] = (i == 0 || !IsAlpha(r[i - 1])) ? UpCase(r[i]) : LoCase(r[i]);
  } else if (hasUpper && !hasLower) {
    for (char &c : r) c = LoCase(c);
  } else {
    for (char &c : r) c = UpCase(c);
  }
  return r;
}

// ---- Search, replace, count ---------------------------------------------------

int32_t StrPos(int32_t start, const std::string &sub, const std::string &s) {
  if (sub.empty()) return start;
  int64_t last = Len(s) - Len(sub) + 1;  // last position where sub fits
  for (int64_t p = start < 1 ? 1 : start; p <= last; ++p) {
    size_t k = 0;
    while (k < sub.size() && SameUp(s[static_cast<size_t>(p - 1) + k], sub[k])) ++k;
    if (k == sub.size()) return static_cast<int32_t>(p);
  }
  return 0;
}

int32_t StrPosCh(int32_t start, char c, const std::string &s) {
  for (int64_t p = start < 1 ? 1 : start; p <= Len(s); ++p)
    if (s[static_cast<size_t>(p - 1)] == c) return static_cast<int32_t>(p);
  return 0;
}

int32_t StrPosChLast(char c, const std::string &s) {
  size_t p = s.rfind(c);
  return p == std::string::npos ? 0 : static_cast<int32_t>(p + 1);
}

int32_t StrPosWild(int32_t start, const std::string &pattern, const std::string &s) {
  int64_t p = start;
  int64_t j = 1;
  if (p < 1 && !pattern.empty()) p = 1;
  for (;;) {
    if (j > Len(pattern)) return static_cast<int32_t>(p);
    int64_t t = p + j - 1;
    if (t > Len(s)) return 0;
    uint8_t P = At(pattern, j);
    uint8_t T = At(s, t);
    bool match;
    if (P == '#')
      match = T >= '0' && T <= '9';
    else if (P == '?')
      match = T >= 32;
    else
      match = SameUp(static_cast<char>(T), static_cast<char>(P));
    if (match) {
      ++j;
    } else {
      ++p;
      j = 1;
    }
  }
}

void StrSubs(std::string &s, const std::string &find, const std::string &replace) {
  if (find.empty()) return;
  // Replacing the first occurrence and searching again from position 1 is
  // done in one pass: done holds the text in front of the search point, which
  // holds no occurrence; rest holds the text still to search, reversed, so a
  // replacement goes back in front of it at the cost of its own length. The
  // first occurrence is the first one to end, found as done grows by a byte.
  //
  // A replacement that holds the find text would be found again for ever:
  // then each occurrence of the original text is replaced once, and the
  // search resumes after the inserted text (fence).
  const bool once = StrPos(1, find, replace) != 0;
  // Some inputs still never end or grow exponentially ("aaba", "aba" ->
  // "baab"; "ab" -> "bba" on many a's): the replacing stops, with StrError
  // raised, before the text passes 16 MiB (or its own size, when larger) or
  // the replacements pass 8 times the text's length.
  const size_t maxSize = std::max<size_t>(size_t{16} << 20, s.size());
  const size_t maxCount = 8 * (s.size() + 1);
  const size_t n = find.size();
  std::string done, rest(s.rbegin(), s.rend());
  done.reserve(s.size());
  size_t fence = 0, count = 0;
  auto endsWithFind = [&] {
    if (done.size() < fence + n) return false;
    const char *tail = done.data() + done.size() - n;
    for (size_t k = 0; k < n; ++k)
      if (!SameUp(tail[k], find[k])) return false;
    return true;
  };
  while (!rest.empty()) {
    done += rest.back();
    rest.pop_back();
    if (!endsWithFind()) continue;
    if (++count > maxCount || done.size() - n + replace.size() + rest.size() > maxSize) {
      StrError = true;
      break;
    }
    done.resize(done.size() - n);
    if (once) {
      done += replace;
      fence = done.size();
    } else {
      rest.append(replace.rbegin(), replace.rend());
    }
  }
  done.append(rest.rbegin(), rest.rend());
  s = std::move(done);
}

int32_t StrCountChar(const std::string &s, char c) {
  int32_t n = 0;
  for (char x : s) n += x == c;
  return n;
}

int32_t StrCountWord(const std::string &s) {
  int32_t n = 0;
  bool inWord = false;
  for (char c : s) {
    bool w = IsAlpha(c) || IsDigit(c);
    if (w && !inWord) ++n;
    inWord = w;
  }
  return n;
}

// ---- Comparison ---------------------------------------------------------------

int32_t StrCompareFrom(const std::string &a, const std::string &b, int32_t i, int32_t j) {
  int64_t la = Len(a), lb = Len(b);
  int64_t p = (i < 1 || i > la) ? la + 1 : i;
  int64_t q = (j < 1 || j > lb) ? lb + 1 : j;
  while (p <= la && q <= lb) {
    uint8_t ca = static_cast<uint8_t>(UpCase(static_cast<char>(At(a, p))));
    uint8_t cb = static_cast<uint8_t>(UpCase(static_cast<char>(At(b, q))));
    if (ca != cb) return static_cast<int32_t>(ca) - static_cast<int32_t>(cb);
    ++p;
    ++q;
  }
  int64_t d = (la - p) - (lb - q);
  if (d > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (d < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(d);
}

int32_t StrCompare(const std::string &a, const std::string &b) {
  return StrCompareFrom(a, b, 1, 1);
}

bool StrSame(const std::string &a, const std::string &b) {
  return a.size() == b.size() && StrCompare(a, b) == 0;
}

// ---- Layout and padding -------------------------------------------------------

void StrTrim(std::string &s) {
  size_t end = s.size();
  while (end > 0 && (s[end - 1] == ' ' || s[end - 1] == '\t' || s[end - 1] == '\0')) --end;
  s.resize(end);
}

std::string StrStripSpaces(const std::string &s) {
  size_t a = 0, b = s.size();
  while (a < b && static_cast<uint8_t>(s[a]) <= 32) ++a;
  while (b > a && static_cast<uint8_t>(s[b - 1]) <= 32) --b;
  return s.substr(a, b - a);
}

void StrAdd(std::string &s, const std::string &sep, const std::string &add) {
  if (add.empty()) return;
  if (!s.empty()) s += sep;
  s += add;
}

// ---- Tab and comma fields -----------------------------------------------------

std::string StrGetField(const std::string &s, int32_t n) { return GetField(s, n, '\t'); }

std::string StrGetFieldComma(const std::string &s, int32_t n) { return GetField(s, n, ','); }

int32_t StrFields(const std::string &s) { return StrCountChar(s, '\t') + 1; }

int32_t StrCommaFields(const std::string &s) { return StrCountChar(s, ',') + 1; }

// ---- Fixed-width digits -------------------------------------------------------

std::string D(uint8_t b) { return std::string(1, static_cast<char>('0' + b)); }

std::string DD(uint8_t b) { return D(b / 10) + D(b % 10); }

std::string DDDD(uint16_t w) {
  return DD(static_cast<uint8_t>(w / 100)) + DD(static_cast<uint8_t>(w % 100));
}

std::string H(uint8_t b) { return std::string(1, Hex[b & 15]); }

std::string HH(uint8_t b) { return H(b >> 4) + H(b); }

std::string HHHH(uint16_t w) {
  return HH(static_cast<uint8_t>(w >> 8)) + HH(static_cast<uint8_t>(w));
}

// ---- Number to text -----------------------------------------------------------

std::string CardToStr(uint32_t d, int32_t base) {
  static constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  if (base < 2 || base > 36) base = 10;  // an invalid base would divide by 0 or loop
  uint32_t b = static_cast<uint32_t>(base);
  char buf[33];
  int n = 0;
  do {
    buf[n++] = kDigits[d % b];
    d /= b;
  } while (d != 0);
  std::string r;
  while (n > 0) r += buf[--n];
  return r;
}

std::string CardToStr(uint32_t d) { return CardToStr(d, 10); }

std::string NumToStr(int32_t n) {
  if (n < 0) return "-" + Digits(static_cast<uint64_t>(-static_cast<int64_t>(n)));
  return Digits(static_cast<uint64_t>(n));
}

std::string NumToStrFill(int32_t n, int32_t width) {
  std::string r = NumToStr(n);
  if (Len(r) < width) r.insert(n < 0 ? 1 : 0, static_cast<size_t>(width - Len(r)), '0');
  return r;
}

std::string NumToStrDecimals(int32_t n, int32_t decimals) {
  uint64_t mag = n < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(n)) : static_cast<uint64_t>(n);
  std::string r = InsertDecimalPoint(Digits(mag), decimals);
  return n < 0 ? "-" + r : r;
}

std::string CardToHex(uint32_t d) { return CardToStr(d, 16); }

std::string CardToHexFill(uint32_t d, int32_t width) {
  std::string r = CardToHex(d);
  if (Len(r) < width) r.insert(0, static_cast<size_t>(width - Len(r)), '0');
  return r;
}

std::string ItemWord(int64_t count) { return count == 1 ? "item" : "items"; }

std::string NumToStrCommas(int64_t q) {
  uint64_t mag = q < 0 ? 0 - static_cast<uint64_t>(q) : static_cast<uint64_t>(q);
  std::string digits = Digits(mag);
  std::string r = q < 0 ? "-" : "";
  size_t first = digits.size() % 3;
  if (first == 0) first = 3;
  r.append(digits, 0, first);
  for (size_t k = first; k < digits.size(); k += 3) {
    r += ',';
    r.append(digits, k, 3);
  }
  return r;
}

std::string FormatSizeBytes(int64_t q) {
  size_t unit = 0;
  while (q > 9999 && unit < 8) {
    q /= 1024;
    ++unit;
  }
  return NumToStrCommas(q) + " " + SizeUnitNames[unit];
}

// ---- Text to number -----------------------------------------------------------

void StrStepSpace(const std::string &s, int32_t &pos) {
  NormalisePos(pos);
  while (pos <= Len(s) && IsSeparator(At(s, pos))) ++pos;
}

uint32_t StrGetCardinal(const std::string &s, int32_t &pos) {
  NormalisePos(pos);
  int32_t start = pos;
  StrStepSpace(s, pos);
  uint32_t v = 0;
  while (pos <= Len(s) && IsDigit(static_cast<char>(At(s, pos)))) {
    v = v * 10 + (At(s, pos) - '0');
    ++pos;
  }
  StrStepSpace(s, pos);
  if (pos == start) StrError = true;
  return v;
}

int32_t StrGetInt(const std::string &s, int32_t &pos) {
  StrStepSpace(s, pos);
  // Nothing but separators is an empty number, not an error.
  if (pos > Len(s)) return 0;
  bool negative = false;
  if (At(s, pos) == '-' || At(s, pos) == '+') {
    negative = At(s, pos) == '-';
    ++pos;
  }
  uint32_t v = StrGetCardinal(s, pos);
  return static_cast<int32_t>(negative ? 0u - v : v);
}

uint32_t StrGetHex(const std::string &s, int32_t &pos) {
  NormalisePos(pos);
  int32_t start = pos;
  StrStepSpace(s, pos);
  uint32_t v = 0;
  while (pos <= Len(s) && HexValue(At(s, pos)) >= 0) {
    v = v * 16 + static_cast<uint32_t>(HexValue(At(s, pos)));
    ++pos;
  }
  StrStepSpace(s, pos);
  if (pos == start) StrError = true;
  return v;
}

long double StrGetReal(const std::string &s, int32_t &pos) {
  StrStepSpace(s, pos);
  bool negative = false;
  if (pos <= Len(s) && (At(s, pos) == '-' || At(s, pos) == '+')) {
    negative = At(s, pos) == '-';
    ++pos;
  }
  long double value = 0;
  int64_t exponent = 0;
  bool dot = false;
  while (pos <= Len(s)) {
    uint8_t c = At(s, pos);
    ++pos;
    if (c >= '0' && c <= '9') {
      value = value * 10 + (c - '0');
      if (dot) --exponent;
    } else if (c == '.') {
      dot = true;
    } else {
      if (c == 'E' || c == 'e')
        exponent += StrGetInt(s, pos);
      else
        --pos;
      break;
    }
  }
  // One step of ten at a time; 0 and infinity no longer change, so stop there.
  for (; exponent < 0 && value != 0; ++exponent) value /= 10;
  for (; exponent > 0 && value != 0 && !std::isinf(value); --exponent) value *= 10;
  return negative ? -value : value;
}

std::string StrGetItem(const std::string &s, int32_t &pos) {
  NormalisePos(pos);
  while (pos <= Len(s) && IsItemDelimiter(static_cast<char>(At(s, pos)))) ++pos;
  bool quoted = pos <= Len(s) && At(s, pos) == '"';
  if (quoted) ++pos;
  std::string r;
  while (pos <= Len(s)) {
    char c = static_cast<char>(At(s, pos));
    ++pos;
    if (quoted) {
      if (c == '"') break;
    } else {
      if (IsItemDelimiter(c)) break;
      if (c == StrGetItemHardSpace) c = ' ';
    }
    r += c;
  }
  StrStepSpace(s, pos);
  return r;
}

uint32_t StrToCard(const std::string &s) {
  int32_t pos = 1;
  uint32_t v = StrGetCardinal(s, pos);
  if (pos <= Len(s)) StrError = true;
  return v;
}

int32_t StrToNum(const std::string &s) {
  int32_t pos = 1;
  int32_t v = StrGetInt(s, pos);
  if (pos <= Len(s)) StrError = true;
  return v;
}

uint32_t HexToCard(const std::string &s) {
  int32_t pos = 1;
  uint32_t v = StrGetHex(s, pos);
  if (pos <= Len(s)) StrError = true;
  return v;
}

int32_t UnformatDecimal(const std::string &s, int32_t decimals) {
  int32_t pos = 1;
  long double v = StrGetReal(s, pos) * std::pow(10.0L, static_cast<long double>(decimals));
  v = std::nearbyint(v);  // ties to even
  // Out of range saturates rather than overflowing the conversion.
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0L) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0L) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

uint8_t StrGetD(char c) {
  if (IsDigit(c)) return static_cast<uint8_t>(c - '0');
  StrError = true;
  return 0;
}

uint8_t StrGetH_(char c) {
  int h = HexValue(static_cast<uint8_t>(c));
  if (h >= 0) return static_cast<uint8_t>(h);
  StrError = true;
  return 0;
}

uint8_t StrGetDD(const std::string &s, int32_t i) { return GetDD(s, i); }

// A digit past the end reads as 0 without error, as StrGetDD does for a short text.
uint16_t StrGetDDD(const std::string &s, int32_t i) {
  return static_cast<uint16_t>(GetDD(s, i) * 10 + GetDigitAt(s, static_cast<int64_t>(i) + 2));
}

uint16_t StrGetDDDD(const std::string &s, int32_t i) {
  return static_cast<uint16_t>(GetDD(s, i) * 100 + GetDD(s, static_cast<int64_t>(i) + 2));
}

uint8_t StrGetH(const std::string &s, int32_t i) { return GetH(s, i); }

uint8_t StrGetHH(const std::string &s, int32_t i) { return GetHH(s, i); }

uint16_t StrGetHHHH(const std::string &s, int32_t i) { return GetHHHH(s, i); }

uint32_t StrGetHHHHH(const std::string &s, int32_t i) {
  return static_cast<uint32_t>(GetHHHH(s, i)) * 16 + GetH(s, static_cast<int64_t>(i) + 4);
}

uint32_t StrGetHHHHHH(const std::string &s, int32_t i) {
  return static_cast<uint32_t>(GetHH(s, i)) * 65536 + GetHHHH(s, static_cast<int64_t>(i) + 2);
}

uint32_t StrGetHHHHHHHH(const std::string &s, int32_t i) {
  return static_cast<uint32_t>(GetHHHH(s, i)) * 65536 + GetHHHH(s, static_cast<int64_t>(i) + 4);
}

// ---- Hash and scrambler -------------------------------------------------------

uint32_t CrunchString(const std::string &s) {
  uint32_t a = 0, h = 0;
  for (char ch : s) {
    uint32_t c = static_cast<uint8_t>(UpCase(ch));
    for (int k = 0; k < 127; ++k) {
      a = a + ((c * 2) ^ a);
      h = h + a;
    }
  }
  return h;
}

uint32_t CrunchCardinal(uint32_t d) {
  for (int k = 0; k < 99; ++k) d = ((d * 5) ^ 0x12345678u) + 0x4321u;
  return d;
}

std::string Mixup(const std::string &s) {
  std::string r(s);
  for (size_t i = 0; i < r.size(); ++i)
    r[i] = static_cast<char>(static_cast<uint8_t>(r[i]) ^ 15 ^ ((i + 1) & 255));
  return r;
}

}  // namespace trovix
