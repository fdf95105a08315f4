// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare/text_compare.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "dialogs/markup.h"
#include "dialogs/options.h"
#include "foundation/strings.h"

namespace trovix {

// ---- Lines -------------------------------------------------------------------------

std::vector<std::string_view> CompareSplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  const char *data = text.data();
  const size_t size = text.size();
  size_t start = 0;
  size_t k = 0;
  while (k < size) {
    const void *hit = nullptr;
    // The next CR or LF: memchr for LF is fast; CR is rare in LF texts, so
    // look for it only inside the stretch up to the LF.
    const void *lf = std::memchr(data + k, '\n', size - k);
    const size_t end = lf ? static_cast<const char *>(lf) - data : size;
    hit = std::memchr(data + k, '\r', end - k);
    if (!hit) hit = lf;
    if (!hit) break;
    const size_t at = static_cast<const char *>(hit) - data;
    lines.emplace_back(data + start, at - start);
    k = at + 1;
    if (data[at] == '\r' && k < size && data[k] == '\n') ++k;
    start = k;
  }
  lines.emplace_back(data + start, size - start);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// ---- Merged text -------------------------------------------------------------------

void CompareResult::AddLine(std::string_view line, uint8_t kind) {
  if (kind != LastLineKind) {
    const int32_t index = static_cast<int32_t>(Lines.size());
    if ((LastLineKind == ckFirst || LastLineKind == ckSecond) && !Sections.empty()) {
      Sections.back().EndLine = index;
    }
    if (kind == ckFirst || kind == ckSecond) Sections.push_back({index, -1, kind});
    LastLineKind = kind;
  }
  Lines.push_back(line);
  Kinds.push_back(kind);
}

void CompareResult::Clear() {
  Lines.clear();
  Kinds.clear();
  Sections.clear();
  LastLineKind = ckNone;
}

// ---- Line classes ------------------------------------------------------------------

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHigh = 0x8080808080808080ULL;

// The eight bytes with ASCII a..z upper-cased (UpCase on each byte).
inline uint64_t UpCase8(uint64_t x) {
  const uint64_t v = x & ~kHigh;
  const uint64_t atLeastA = (v + (0x80 - 'a') * kOnes) & kHigh;
  const uint64_t aboveZ = (v + (0x80 - 'z' - 1) * kOnes) & kHigh;
  const uint64_t lower = atLeastA & ~aboveZ & ~x;
  return x - (lower >> 2);
}

inline uint64_t Load8(const char *p, size_t n) {
  uint64_t x = 0;
  std::memcpy(&x, p, n);
  return x;
}

inline uint64_t Mix(uint64_t h) {
  h ^= h >> 32;
  h *= 0xd6e8feb86659fd93ULL;
  h ^= h >> 32;
  return h;
}

// A hash of the line's upper-cased bytes: lines that are StrSame hash alike.
uint64_t LineHash(std::string_view s) {
  uint64_t h = 0x9e3779b97f4a7c15ULL ^ s.size();
  size_t k = 0;
  for (; k + 8 <= s.size(); k += 8)
    h = (h ^ UpCase8(Load8(s.data() + k, 8))) * 0xff51afd7ed558ccdULL;
  if (k < s.size()) h = (h ^ UpCase8(Load8(s.data() + k, s.size() - k))) * 0xff51afd7ed558ccdULL;
  return Mix(h);
}

bool LinesSame(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  size_t k = 0;
  for (; k + 8 <= a.size(); k += 8) {
    if (UpCase8(Load8(a.data() + k, 8)) != UpCase8(Load8(b.data() + k, 8))) return false;
  }
  const size_t rest = a.size() - k;
  return rest == 0 || UpCase8(Load8(a.data() + k, rest)) == UpCase8(Load8(b.data() + k, rest));
}

// Numbers lines by their StrSame class: an open-addressing table of the
// first line of each class, referred to by its index into one of two arrays.
class TLineClasses {
 public:
  TLineClasses(const std::vector<std::string_view> &a, const std::vector<std::string_view> &b)
      : a_(a), b_(b) {
    size_t capacity = 16;
    while (capacity < (a.size() + b.size()) * 3 / 2) capacity *= 2;
    slots_.assign(capacity, Slot{});
    mask_ = capacity - 1;
  }
  // The class of line number ref (A's lines first, then B's) and its hash.
  int32_t Add(uint32_t ref, uint64_t &hash) {
    const std::string_view line = Line(ref);
    hash = LineHash(line);
    for (size_t k = hash & mask_;; k = (k + 1) & mask_) {
      Slot &slot = slots_[k];
      if (slot.id < 0) {
        slot = {hash, count_, ref};
        return count_++;
      }
      if (slot.hash == hash && LinesSame(Line(slot.ref), line)) return slot.id;
    }
  }

 private:
  struct Slot {
    uint64_t hash = 0;
    int32_t id = -1;
    uint32_t ref = 0;
  };
  std::string_view Line(uint32_t ref) const {
    return ref < a_.size() ? a_[ref] : b_[ref - a_.size()];
  }
  const std::vector<std::string_view> &a_;
  const std::vector<std::string_view> &b_;
  std::vector<Slot> slots_;
  size_t mask_ = 0;
  int32_t count_ = 0;
};

}  // namespace

// ---- Resync search -----------------------------------------------------------------

// Positions of one side grouped by a key, ascending inside each group.
struct TResyncFinder::Index {
  std::vector<int32_t> start;  // group g holds positions[start[g] .. start[g + 1])
  std::vector<int32_t> positions;
  int32_t length = 0;  // window length, for window indexes
  uint32_t shift = 0;  // key = (hash * multiplier) >> shift
};

struct TResyncFinder::Side {
  int32_t count = 0;
  std::vector<int32_t> ids;       // class of each line
  std::vector<uint64_t> prefix;   // polynomial hash of lines [0, k) over the line hashes
  std::unique_ptr<Index> window;  // windows of Index::length lines
  std::unique_ptr<Index> first;   // lines by class
  // Per y of the other side: the last tail search (x, answer) at memoT.
  std::unordered_map<int32_t, std::pair<int32_t, int32_t>> memo;
  int32_t memoT = -1;
};

namespace {

constexpr uint64_t kBase = 0x100000001b3ULL * 2 + 1;
constexpr uint64_t kBucketMultiplier = 0x9e3779b97f4a7c15ULL;

uint64_t Power(int32_t n) {
  uint64_t r = 1;
  for (int32_t k = 0; k < n; ++k) r *= kBase;
  return r;
}

}  // namespace

TResyncFinder::TResyncFinder(const std::vector<std::string_view> &a,
                             const std::vector<std::string_view> &b)
    : a_(new Side), b_(new Side) {
  TLineClasses classes(a, b);
  auto fill = [&classes](Side &side, size_t count, uint32_t first) {
    side.count = static_cast<int32_t>(count);
    side.ids.resize(count);
    side.prefix.resize(count + 1);
    side.prefix[0] = 0;
    for (size_t k = 0; k < count; ++k) {
      uint64_t hash;
      side.ids[k] = classes.Add(first + static_cast<uint32_t>(k), hash);
      side.prefix[k + 1] = side.prefix[k] * kBase + hash;
    }
  };
  fill(*a_, a.size(), 0);
  fill(*b_, b.size(), static_cast<uint32_t>(a.size()));
}

TResyncFinder::~TResyncFinder() {
  delete a_;
  delete b_;
}

bool TResyncFinder::Same(int32_t i, int32_t j) const { return a_->ids[i] == b_->ids[j]; }

int32_t TResyncFinder::Find(bool aFirst, int32_t x, int32_t y, int32_t threshold) {
  Side &X = aFirst ? *a_ : *b_;
  const Side &Y = aFirst ? *b_ : *a_;
  if (x < 0) x = 0;
  if (x >= X.count || y < 0) return -1;
  if (y >= Y.count) return x;  // Y has ended before the first comparison
  // A threshold below 0 acts like 0: the first equal line is enough.
  const int32_t t = std::max(threshold, 0);
  const int32_t left = Y.count - y;
  if (left > t) return FindWindow(X, Y, x, y, t + 1);
  return FindTail(X, Y, x, y, left, t);
}

namespace {

inline uint64_t WindowHash(const std::vector<uint64_t> &prefix, int32_t p, int32_t length,
                           uint64_t power) {
  return prefix[p + length] - prefix[p] * power;
}

}  // namespace

// The first p >= x whose length lines equal Y's from y.
int32_t TResyncFinder::FindWindow(Side &X, const Side &Y, int32_t x, int32_t y, int32_t length) {
  const int32_t windows = X.count - length + 1;
  if (windows <= x) return -1;
  const uint64_t power = Power(length);
  if (!X.window || X.window->length != length) {
    auto index = std::make_unique<Index>();
    index->length = length;
    uint32_t bits = 4;
    while ((int64_t{1} << bits) < 2 * int64_t{windows}) ++bits;
    index->shift = 64 - bits;
    index->start.assign((size_t{1} << bits) + 1, 0);
    std::vector<uint32_t> keys(windows);
    for (int32_t p = 0; p < windows; ++p) {
      keys[p] = static_cast<uint32_t>(
          (WindowHash(X.prefix, p, length, power) * kBucketMultiplier) >> index->shift);
      ++index->start[keys[p] + 1];
    }
    for (size_t g = 1; g < index->start.size(); ++g) index->start[g] += index->start[g - 1];
    index->positions.resize(windows);
    std::vector<int32_t> next(index->start.begin(), index->start.end() - 1);
    for (int32_t p = 0; p < windows; ++p) index->positions[next[keys[p]]++] = p;
    X.window = std::move(index);
  }
  const Index &index = *X.window;
  const uint64_t hash = WindowHash(Y.prefix, y, length, power);
  const uint32_t key = static_cast<uint32_t>((hash * kBucketMultiplier) >> index.shift);
  auto end = index.positions.begin() + index.start[key + 1];
  for (auto it = std::lower_bound(index.positions.begin() + index.start[key], end, x); it != end;
       ++it) {
    const int32_t p = *it;
    if (WindowHash(X.prefix, p, length, power) != hash) continue;
    if (std::equal(X.ids.begin() + p, X.ids.begin() + p + length, Y.ids.begin() + y)) return p;
  }
  return -1;
}

// Y has length <= threshold lines left from y: the first p >= x whose next
// length lines equal them, with a line of X left after them.
int32_t TResyncFinder::FindTail(Side &X, const Side &Y, int32_t x, int32_t y, int32_t length,
                                int32_t threshold) {
  if (X.memoT != threshold) {
    X.memo.clear();
    X.memoT = threshold;
  }
  auto known = X.memo.find(y);
  if (known != X.memo.end() && x >= known->second.first &&
      (known->second.second < 0 || known->second.second >= x)) {
    return known->second.second;  // the same search from further on
  }
  if (!X.first) {
    auto index = std::make_unique<Index>();
    int32_t classes = 0;
    for (int32_t id : X.ids) classes = std::max(classes, id + 1);
    for (int32_t id : Y.ids) classes = std::max(classes, id + 1);
    index->start.assign(classes + 1, 0);
    for (int32_t id : X.ids) ++index->start[id + 1];
    for (size_t g = 1; g < index->start.size(); ++g) index->start[g] += index->start[g - 1];
    index->positions.resize(X.count);
    std::vector<int32_t> next(index->start.begin(), index->start.end() - 1);
    for (int32_t p = 0; p < X.count; ++p) index->positions[next[X.ids[p]]++] = p;
    X.first = std::move(index);
  }
  const Index &index = *X.first;
  const int32_t id = Y.ids[y];
  int32_t answer = -1;
  if (id < static_cast<int32_t>(index.start.size()) - 1) {
    const uint64_t power = Power(length);
    const uint64_t hash = WindowHash(Y.prefix, y, length, power);
    auto end = index.positions.begin() + index.start[id + 1];
    for (auto it = std::lower_bound(index.positions.begin() + index.start[id], end, x); it != end;
         ++it) {
      const int32_t p = *it;
      if (p + length >= X.count) break;  // X must keep a line after the match
      if (WindowHash(X.prefix, p, length, power) != hash) continue;
      if (std::equal(X.ids.begin() + p, X.ids.begin() + p + length, Y.ids.begin() + y)) {
        answer = p;
        break;
      }
    }
  }
  X.memo[y] = {x, answer};
  return answer;
}

// ---- Merge -------------------------------------------------------------------------

void CompareMerge(std::string_view textA, std::string_view textB, CompareResult &result) {
  const std::vector<std::string_view> a = CompareSplitLines(textA);
  const std::vector<std::string_view> b = CompareSplitLines(textB);
  result.Clear();
  result.Lines.reserve(a.size() + b.size());
  result.Kinds.reserve(a.size() + b.size());
  TResyncFinder finder(a, b);
  const int32_t na = static_cast<int32_t>(a.size());
  const int32_t nb = static_cast<int32_t>(b.size());
  int32_t i = 0;
  int32_t j = 0;
  while (i < na || j < nb) {
    if (i >= na) {
      result.AddLine(b[j++], ckSecond);
    } else if (j >= nb) {
      result.AddLine(a[i++], ckFirst);
    } else if (finder.Same(i, j)) {
      result.AddLine(a[i++], ckShared);
      ++j;
    } else if (int32_t r = finder.Find(true, i, j, OptionCompareThreshold()); r >= 0) {
      while (i < r) result.AddLine(a[i++], ckFirst);
    } else if (r = finder.Find(false, j, i, OptionCompareThreshold()); r >= 0) {
      while (j < r) result.AddLine(b[j++], ckSecond);
    } else {
      result.AddLine(a[i++], ckFirst);
    }
  }
}

// ---- Summary -----------------------------------------------------------------------

std::string CompareSummaryText(int32_t sectionCount, const std::string &nameA,
                               const std::string &nameB) {
  if (sectionCount == 0) return "|bIdentical";
  auto shown = [](const std::string &name) {
    std::string r;
    for (char c : name) {
      if (c == '|' || c == NiceLabelFormatChar) {
        r += "\xC2\xA6";  // broken bar
      } else {
        r += c;
      }
    }
    return r;
  };
  return "|b" + NumToStr(sectionCount) + " differing sections: |<" + shown(nameA) + " |2" +
         shown(nameB);
}

// ---- Strip -------------------------------------------------------------------------

CompareStripRect CompareSectionRect(const CompareSection &section, int32_t width, int32_t height,
                                    int32_t lineCount) {
  CompareStripRect r;
  r.Left = CompareStripMarkerWidth;
  r.Right = width;
  if (lineCount <= 0) return r;
  r.Top = static_cast<int32_t>(int64_t{section.FirstLine} * height / lineCount);
  r.Bottom = section.EndLine < 0
                 ? height
                 : static_cast<int32_t>(int64_t{section.EndLine} * height / lineCount + 1);
  return r;
}

int32_t CompareCaretY(int32_t caretLine, int32_t height, int32_t lineCount) {
  if (lineCount <= 0) return 0;
  return static_cast<int32_t>(int64_t{height} * caretLine / lineCount);
}

int32_t CompareLineAtY(int32_t y, int32_t height, int32_t lineCount) {
  if (lineCount <= 0 || height <= 0) return 0;
  const int64_t line = int64_t{lineCount} * y / height;
  return static_cast<int32_t>(std::clamp<int64_t>(line, 0, lineCount - 1));
}

int32_t ComparePrevSection(const std::vector<CompareSection> &sections, int32_t caretLine) {
  auto it =
      std::lower_bound(sections.begin(), sections.end(), caretLine,
                       [](const CompareSection &s, int32_t line) { return s.FirstLine < line; });
  return it == sections.begin() ? -1 : static_cast<int32_t>(it - sections.begin()) - 1;
}

int32_t CompareNextSection(const std::vector<CompareSection> &sections, int32_t caretLine) {
  auto it =
      std::upper_bound(sections.begin(), sections.end(), caretLine,
                       [](int32_t line, const CompareSection &s) { return line < s.FirstLine; });
  return it == sections.end() ? -1 : static_cast<int32_t>(it - sections.begin());
}

}  // namespace trovix
