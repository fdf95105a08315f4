// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/string_arrays.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "foundation/file_system.h"  // PathDelim only
#include "foundation/strings.h"

namespace trovix {

uint16_t StringArrayEncryptionKey = 0;

namespace {

namespace fs = std::filesystem;

inline uint8_t Byte(char c) { return static_cast<uint8_t>(c); }

bool IsHexDigit(char c) { return IsDigit(c) || (UpCase(c) >= 'A' && UpCase(c) <= 'F'); }

// Byte i becomes byte xor low(k) xor low(i); k turns left one bit per byte.
// The same step reads and writes; key 0 leaves the bytes alone.
void Scramble(std::string &block, uint16_t key) {
  if (key == 0) return;
  for (size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<char>(Byte(block[i]) ^ (key & 0xFF) ^ (i & 0xFF));
    key = static_cast<uint16_t>((key << 1) | (key >> 15));
  }
}

// Stable merge sort: of two elements proc calls equal, the earlier stays in
// front. Bounded whatever proc answers.
void MergeSort(TStringArray &a, const TSortProc &proc) {
  const size_t n = a.size();
  if (n < 2) return;
  TStringArray tmp(n);
  for (size_t width = 1; width < n; width *= 2) {
    for (size_t lo = 0; lo < n; lo += 2 * width) {
      const size_t mid = std::min(lo + width, n);
      const size_t hi = std::min(lo + 2 * width, n);
      size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) {
        if (proc(a[i], a[j]) > 0)
          tmp[k++] = std::move(a[j++]);
        else
          tmp[k++] = std::move(a[i++]);
      }
      while (i < mid) tmp[k++] = std::move(a[i++]);
      while (j < hi) tmp[k++] = std::move(a[j++]);
    }
    a.swap(tmp);
  }
}

// A range item: prefix and the trailing run of decimal digits as number
// (-1 without digits). A prefix byte that is not a letter sets StrError.
struct RangeItem {
  std::string prefix;
  int32_t number = -1;
  bool hasNumber = false;
};

RangeItem SplitRangeItem(const std::string &item) {
  RangeItem r;
  size_t b = item.size();
  while (b > 0 && IsDigit(item[b - 1])) --b;
  r.prefix = item.substr(0, b);
  for (char c : r.prefix)
    if (!IsAlpha(c)) StrError = true;
  if (b < item.size()) {
    r.number = StrToNum(item.substr(b));
    r.hasNumber = true;
  }
  return r;
}

bool IsRangeSkip(char c) { return Byte(c) <= 32 || c == ','; }

// One item of a range list at the 0-based index i: blanks and commas around
// it are skipped; an item ends at a blank, "," or "-". Reading nothing sets
// StrError.
std::string ReadRangeToken(const std::string &s, size_t &i) {
  while (i < s.size() && IsRangeSkip(s[i])) ++i;
  const size_t start = i;
  while (i < s.size() && !IsRangeSkip(s[i]) && s[i] != '-') ++i;
  if (i == start) StrError = true;
  std::string token = s.substr(start, i - start);
  while (i < s.size() && IsRangeSkip(s[i])) ++i;
  return token;
}

// StrExtract iterator: the list with a NUL after it, the read position, the
// current value and the upper end of an open range (-1 when none).
std::string ExtractText;
int32_t ExtractPos = 1;
int64_t ExtractValue = 0;
int64_t ExtractUpper = -1;

// ReadStr buffer.
char ReadStrBuffer[ReadStrBufferSize];
int32_t ReadStrCount = 0;
int32_t ReadStrIndex = 0;

std::string FolderPart(const std::string &path) {
  const size_t d = path.rfind(PathDelim);
  return d == std::string::npos ? std::string() : path.substr(0, d + 1);
}

std::string NamePart(const std::string &path) {
  const size_t d = path.rfind(PathDelim);
  return d == std::string::npos ? path : path.substr(d + 1);
}

// A name for a temporary file in folder that does not exist yet.
std::string TempFileName(const std::string &folder) {
  static std::mt19937 gen{std::random_device{}()};
  static const char digits[] = "0123456789abcdef";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = folder + ".trovix-";
    uint32_t r = gen();
    for (int k = 0; k < 8; ++k, r >>= 4) name += digits[r & 15];
    name += ".tmp";
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(name, ec))) return name;
  }
  return std::string();
}

}  // namespace

// ---- String arrays ------------------------------------------------------------

void StringArrayAdd(TStringArray &a, const std::string &s) { a.push_back(s); }

void StringArrayDel(TStringArray &a, int32_t i) {
  if (i < 0 || static_cast<size_t>(i) >= a.size()) return;
  a.erase(a.begin() + i);
}

// The order is that of a stable exchange sort in which, with unique, the
// earlier of two equal neighbours is dropped: the stable order, keeping the
// last element of each run of equal ones.
void StringArraySort(TStringArray &a, const TSortProc &proc, bool unique, bool dropEmpty) {
  MergeSort(a, proc);
  if (unique && a.size() > 1) {
    TStringArray out;
    out.reserve(a.size());
    for (auto &x : a) {
      if (!out.empty() && proc(out.back(), x) == 0)
        out.back() = std::move(x);
      else
        out.push_back(std::move(x));
    }
    a.swap(out);
  }
  if (dropEmpty)
    a.erase(std::remove_if(a.begin(), a.end(), [](const std::string &x) { return x.empty(); }),
            a.end());
}

int32_t StringArraySearch(const TStringArray &a, const std::string &s) {
  for (size_t i = 0; i < a.size(); ++i)
    if (StrSame(a[i], s)) return static_cast<int32_t>(i);
  return -1;
}

int32_t StringArraySearchPartial(const TStringArray &a, const std::string &s) {
  for (size_t i = 0; i < a.size(); ++i)
    if (StrPos(1, s, a[i]) > 0) return static_cast<int32_t>(i);
  return -1;
}

void FieldsToStringArray(TStringArray &a, const std::string &s, char sep) {
  a.clear();
  if (s.empty()) return;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != sep) continue;
    a.push_back(s.substr(start, i - start));
    if (sep == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
    start = i + 1;
  }
  a.push_back(s.substr(start));
}

std::string StringArrayToFields(const TStringArray &a, char sep) {
  std::string out;
  for (size_t i = 0; i < a.size(); ++i) {
    if (i > 0) out += sep;
    out += a[i];
  }
  return out;
}

void CommaFieldsToStringArray(TStringArray &a, const std::string &s) {
  FieldsToStringArray(a, s, ',');
}

std::string StringArrayToCommaFields(const TStringArray &a) { return StringArrayToFields(a, ','); }

bool StringArrayRead(TStringArray &a, const std::string &fileName) {
  std::ifstream f(fileName, std::ios::binary);
  if (!f.is_open()) return false;
  std::string data;
  char chunk[65536];
  while (f.read(chunk, sizeof chunk) || f.gcount() > 0)
    data.append(chunk, static_cast<size_t>(f.gcount()));
  if (f.bad()) return false;  // e.g. a folder: opened, but not readable
  f.close();
  Scramble(data, StringArrayEncryptionKey);

  size_t i = 0;
  if (data.size() >= 3 && Byte(data[0]) == 0xEF && Byte(data[1]) == 0xBB && Byte(data[2]) == 0xBF)
    i = 3;
  std::string line;
  for (; i < data.size(); ++i) {
    const char c = data[i];
    if (c == '\r') continue;
    if (c == '\n') {
      a.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) a.push_back(line);
  return true;
}

bool StringArrayWrite(const TStringArray &a, const std::string &fileName) {
  std::string block;
  for (const auto &e : a) {
    block += e;
    block += crlf;
  }
  Scramble(block, StringArrayEncryptionKey);

  std::error_code ec;
  const auto oldStatus = fs::symlink_status(fileName, ec);
  const bool oldExists = fs::exists(oldStatus);
  if (NamePart(fileName).empty() || fs::is_directory(fs::status(fileName, ec))) return false;

  // The new text goes to a temporary file beside the target first, so a
  // failed write never replaces or loses the old file.
  const std::string folder = FolderPart(fileName);
  const std::string temp = TempFileName(folder);
  if (temp.empty()) return false;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) return false;
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
    out.close();
    if (out.fail()) {
      fs::remove(temp, ec);
      return false;
    }
  }
  if (oldExists) {
    const auto st = fs::status(fileName, ec);
    if (!ec) fs::permissions(temp, st.permissions(), fs::perm_options::replace, ec);
  }

  // Keep the old file as the one backup. A hard link keeps the target in
  // place until the rename below replaces it; without one it is moved.
  const std::string backup = folder + ForceExtension(NamePart(fileName), ".bak");
  bool moved = false;
  if (oldExists && backup != fileName) {
    const auto bst = fs::symlink_status(backup, ec);
    if (fs::exists(bst) && !fs::is_directory(bst)) fs::remove(backup, ec);
    fs::create_hard_link(fileName, backup, ec);
    if (ec) {
      fs::rename(fileName, backup, ec);
      moved = !ec;
    }
  }
  fs::rename(temp, fileName, ec);
  if (ec) {
    if (moved) fs::rename(backup, fileName, ec);
    fs::remove(temp, ec);
    return false;
  }
  return true;
}

// ---- Ranges -------------------------------------------------------------------

int32_t SortRange(const std::string &a, const std::string &b) {
  auto key = [](const std::string &item) {
    const RangeItem r = SplitRangeItem(item);
    std::string k = r.prefix;
    if (r.hasNumber) {
      std::string digits = NumToStr(r.number);
      if (digits.size() < 9) digits.insert(0, 9 - digits.size(), '0');
      k += digits;
    }
    return k;
  };
  return StrCompare(key(a), key(b));
}

std::string RangesToSingles(const std::string &s) {
  TStringArray items;
  int64_t expanded = 0;
  bool stopped = false;
  size_t i = 0;
  while (i < s.size()) {
    const std::string first = ReadRangeToken(s, i);
    std::string second;
    bool hasSecond = false;
    if (i < s.size() && s[i] == '-') {
      ++i;
      second = ReadRangeToken(s, i);
      hasSecond = true;
    }
    if (hasSecond && second != first) {
      const RangeItem lo = SplitRangeItem(first);
      const RangeItem hi = SplitRangeItem(second);
      // Both ends need a number: "A-A3" is no range of numbered items.
      if (lo.prefix != hi.prefix || !lo.hasNumber || !hi.hasNumber || lo.number > hi.number) {
        stopped = true;
        break;
      }
      const int64_t count = int64_t{hi.number} - lo.number + 1;
      if (expanded + count > RangesMaxItems) {
        stopped = true;
        break;
      }
      expanded += count;
      for (int64_t n = lo.number; n <= hi.number; ++n)
        items.push_back(lo.prefix + NumToStr(static_cast<int32_t>(n)));
    } else {
      items.push_back(first);
    }
  }
  if (stopped) StrError = true;
  StringArraySort(items, SortRange, true, true);
  return StringArrayToCommaFields(items);
}

std::string SinglesToRanges(const std::string &s) {
  TStringArray items;
  CommaFieldsToStringArray(items, s);
  StringArraySort(items, SortRange, true, true);
  StrError = false;

  std::string out;
  std::string groupPrefix;
  int64_t groupNumber = 2147483647;
  bool groupHasNumber = false;
  int64_t run = 0;
  auto closeGroup = [&] {
    if (run > 0) out += "-" + groupPrefix + NumToStr(static_cast<int32_t>(groupNumber + run));
  };
  for (const auto &item : items) {
    const RangeItem r = SplitRangeItem(item);
    // Only numbered items form runs; an item without a number stands alone.
    if (r.hasNumber && groupHasNumber && r.prefix == groupPrefix &&
        int64_t{r.number} == groupNumber + run + 1) {
      ++run;
      continue;
    }
    closeGroup();
    StrAdd(out, ", ", item);
    groupPrefix = r.prefix;
    groupNumber = r.number;
    groupHasNumber = r.hasNumber;
    run = 0;
  }
  closeGroup();
  return out;
}

void StrExtractInit(const std::string &s) {
  ExtractText = s;
  ExtractText += '\0';
  ExtractPos = 1;
  ExtractValue = 0;
  ExtractUpper = -1;
  StrError = false;
}

int64_t StrExtract() {
  if (ExtractUpper >= 0) {
    if (ExtractValue < ExtractUpper) return ++ExtractValue;
    ExtractUpper = -1;
  }
  if (StrError) return -1;
  auto atEnd = [] {
    return ExtractPos > static_cast<int32_t>(ExtractText.size()) ||
           ExtractText[ExtractPos - 1] == '\0';
  };
  if (atEnd()) return -1;
  ExtractValue = StrGetHex(ExtractText, ExtractPos);
  if (StrError) return -1;
  if (!atEnd() && ExtractText[ExtractPos - 1] == '-') {
    ++ExtractPos;
    StrStepSpace(ExtractText, ExtractPos);
    if (atEnd()) return -1;
    const uint32_t upper = StrGetHex(ExtractText, ExtractPos);
    if (StrError) return -1;
    ExtractUpper = upper;
  }
  return ExtractValue;
}

// ---- Byte blocks --------------------------------------------------------------

std::string BlockToHex(const void *p, int32_t n) {
  const auto *b = static_cast<const uint8_t *>(p);
  std::string out;
  if (n >= 0) {
    out.reserve(2 * static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
      out += Hex[b[i] >> 4];
      out += Hex[b[i] & 15];
    }
    return out;
  }
  const int64_t count = -int64_t{n};
  out.reserve(3 * static_cast<size_t>(count) + static_cast<size_t>(count) / 16);
  for (int64_t i = 0; i < count; ++i) {
    if (i > 0) out += (i % 16 == 0) ? crlf : " ";
    out += Hex[b[i] >> 4];
    out += Hex[b[i] & 15];
  }
  return out;
}

std::string BlockToHexASCII(const void *p, int32_t n) {
  const auto *b = static_cast<const uint8_t *>(p);
  std::string out;
  bool open = false;
  for (int32_t i = 0; i < n; ++i) {
    const uint8_t c = b[i];
    if (c >= 32 && c <= 126 && c != '"') {
      if (!open) {
        out += '"';
        open = true;
      }
      out += static_cast<char>(c);
    } else {
      if (open) {
        out += "\" ";
        open = false;
      }
      out += Hex[c >> 4];
      out += Hex[c & 15];
      out += ' ';
    }
  }
  if (open) out += '"';
  return out;
}

int32_t HexToBlock(const std::string &s, int32_t start, void *buf, int32_t max) {
  auto *out = static_cast<uint8_t *>(buf);
  const int64_t first = std::max<int64_t>(start, 1) - 1;
  const int64_t avail = static_cast<int64_t>(s.size()) - first;
  const int64_t pairs = avail > 0 ? avail / 2 : 0;
  for (int64_t k = 0; k < pairs; ++k) {
    const size_t i = static_cast<size_t>(first + 2 * k);
    const uint8_t v = static_cast<uint8_t>((StrGetH_(s[i]) << 4) | StrGetH_(s[i + 1]));
    if (out && k < max) out[k] = v;
  }
  return static_cast<int32_t>(pairs);
}

int32_t HexSpacedToBlock(const std::string &s, int32_t start, void *buf, int32_t max) {
  auto *out = static_cast<uint8_t *>(buf);
  StrError = false;
  int32_t pos = std::max(start, 1);
  int32_t count = 0;
  const int32_t len = static_cast<int32_t>(s.size());
  while (true) {
    StrStepSpace(s, pos);
    if (pos > len) break;
    const uint32_t v = StrGetHex(s, pos);
    if (v > 255) StrError = true;
    if (StrError) return -1;
    if (out && count < max) out[count] = static_cast<uint8_t>(v);
    ++count;
  }
  return count;
}

int32_t StrToBytes(const std::string &s, void *buf, int32_t max) {
  auto *out = static_cast<uint8_t *>(buf);
  const size_t len = s.size();
  bool quoted = false;
  bool comment = false;
  int32_t count = 0;
  size_t i = 0;
  while (i < len && (!out || count < max)) {
    if (quoted) {
      if (s[i] == '"') {
        quoted = false;
      } else {
        if (out) out[count] = Byte(s[i]);
        ++count;
      }
      ++i;
      continue;
    }
    for (; i < len; ++i) {
      const char c = s[i];
      if (c == '\n') {
        comment = false;
      } else if (comment) {
      } else if (c == '/' || c == ';') {
        comment = true;
      } else if (c != '\t' && c != '\r' && c != ' ' && c != ',' && c != ':') {
        break;
      }
    }
    if (i >= len) break;
    if (s[i] == '"') {
      quoted = true;
      ++i;
      continue;
    }
    uint32_t v = 0;
    size_t digits = 0;
    for (; i < len && IsHexDigit(s[i]); ++i, ++digits) v = v * 16 + StrGetH_(s[i]);
    if (digits == 0) return -1;
    if (out) out[count] = static_cast<uint8_t>(v & 0xFF);
    ++count;
  }
  return count;
}

// ---- Paths and file names -----------------------------------------------------

std::string ForceExtension(const std::string &name, const std::string &ext) {
  const size_t dot = name.find('.');
  std::string out = (dot == std::string::npos || dot == 0) ? name : name.substr(0, dot);
  if (!ext.empty() && ext[0] != '.') out += '.';
  out += ext;
  return out;
}

std::string RemoveExtension(const std::string &name) { return ForceExtension(name, ""); }

std::string AddExtension(const std::string &name, const std::string &ext) {
  if (name.find('.') != std::string::npos) return name;
  return ForceExtension(name, ext);
}

std::string ExtractFileNameNoExt(const std::string &path) {
  const std::string name = NamePart(path);
  return name.substr(0, name.find('.'));
}

std::string ExtractFileExtNoDot(const std::string &path) {
  const std::string name = NamePart(path);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string PathDropSlosh(const std::string &path) {
  if (!path.empty() && path.back() == PathDelim) return path.substr(0, path.size() - 1);
  return path;
}

std::string StripPath(const std::string &path, int32_t n) {
  int32_t seen = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] != PathDelim) continue;
    if (seen >= n) return path.substr(0, i);
    ++seen;
  }
  return path;
}

// ---- IP addresses and buffers -------------------------------------------------

bool IPToBytes(const std::string &s, uint8_t *out) {
  StrError = false;
  for (int k = 0; k < 4; ++k) out[k] = 0;
  const int32_t len = static_cast<int32_t>(s.size());
  int32_t pos = 1;
  int numbers = 0;
  for (int k = 0; k < 4; ++k) {
    out[k] = static_cast<uint8_t>(StrGetCardinal(s, pos) & 0xFF);
    ++numbers;
    if (k == 3 || pos > len) break;
    if (s[pos - 1] != '.') StrError = true;
    ++pos;
  }
  // Fewer than four numbers ("1.2.3") is no address either.
  if (pos <= len || numbers < 4) StrError = true;
  return !StrError;
}

std::string BytesToIP(const uint8_t *b) {
  return NumToStr(b[0]) + "." + NumToStr(b[1]) + "." + NumToStr(b[2]) + "." + NumToStr(b[3]);
}

bool StrIsIP(const std::string &s) {
  uint8_t b[4];
  const bool ok = IPToBytes(s, b);
  return ok && StrSame(BytesToIP(b), s);
}

void ReadStrInit(std::istream &f) {
  f.read(ReadStrBuffer, ReadStrBufferSize);
  ReadStrCount = static_cast<int32_t>(f.gcount());
  ReadStrIndex = 0;
}

bool ReadStr(std::string &s) {
  for (int32_t i = ReadStrIndex; i < ReadStrCount; ++i) {
    if (ReadStrBuffer[i] != '\r') continue;
    s.assign(ReadStrBuffer + ReadStrIndex, ReadStrBuffer + i);
    ReadStrIndex = std::min(i + 2, ReadStrCount);
    return true;
  }
  s.assign(ReadStrBuffer + ReadStrIndex, ReadStrBuffer + ReadStrCount);
  ReadStrIndex = ReadStrCount;
  return false;
}

void StrToCStr(const std::string &s, char *buf) {
  std::memcpy(buf, s.data(), s.size());
  buf[s.size()] = '\0';
}

std::string StringGet(const void *buf, int32_t n) {
  if (n < 1) return std::string();
  std::string s(static_cast<const char *>(buf), static_cast<size_t>(n));
  while (!s.empty() && (Byte(s.back()) == 0 || Byte(s.back()) == 32 || Byte(s.back()) == 255))
    s.pop_back();
  return s;
}

void StringPut(const std::string &s, void *buf, int32_t n, char fill) {
  if (n <= 0) return;
  auto *out = static_cast<char *>(buf);
  const size_t m = std::min(s.size(), static_cast<size_t>(n));
  std::memcpy(out, s.data(), m);
  std::memset(out + m, fill, static_cast<size_t>(n) - m);
}

}  // namespace trovix
