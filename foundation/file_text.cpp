// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/file_text.h"

#include <algorithm>
#include <memory>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "foundation/file_system.h"

namespace trovix {

namespace {

// Closes the file on every path out.
class TFileHandle {
 public:
  explicit TFileHandle(int fd) : fd_(fd) {}
  ~TFileHandle() {
    if (fd_ != FsInvalidHandle) FsClose(fd_);
  }
  TFileHandle(const TFileHandle &) = delete;
  TFileHandle &operator=(const TFileHandle &) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ != FsInvalidHandle; }

 private:
  int fd_;
};

}  // namespace

int Utf8SequenceLength(const unsigned char *p, const unsigned char *end) {
  unsigned char c = p[0];
  int length;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (end - p < length) return 0;
  if (p[1] < low || p[1] > high) return 0;
  for (int i = 2; i < length; ++i)
    if (p[i] < 0x80 || p[i] > 0xBF) return 0;
  return length;
}

bool FileIsText(const std::string &path) {
  constexpr int64_t kSample = 32768;
  TFileHandle file(FsOpenRead(path));
  if (!file.valid()) return false;
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[kSample]);
  int64_t n = 0;
  while (n < kSample) {
    int64_t got = FsRead(file.get(), buffer.get() + n, kSample - n);
    if (got <= 0) break;
    n += got;
  }
  return FileIsTextBytes(buffer.get(), n);
}

namespace {

// True when the 16 bytes at b are all printable ASCII (32..127), tab or line
// feed: the bytes a text is mostly made of, each taken on its own.
inline bool Plain16(const unsigned char *b) {
#if defined(__SSE2__)
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b));
  // As signed bytes, 32..127 are exactly those greater than 31.
  const __m128i plain = _mm_or_si128(
      _mm_cmpgt_epi8(x, _mm_set1_epi8(31)),
      _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(9)), _mm_cmpeq_epi8(x, _mm_set1_epi8(10))));
  return _mm_movemask_epi8(plain) == 0xFFFF;
#else
  for (int k = 0; k < 16; ++k)
    if (!((b[k] >= 32 && b[k] <= 127) || b[k] == 9 || b[k] == 10)) return false;
  return true;
#endif
}

#if defined(__x86_64__)
// Bytes of x within [low, high], unsigned.
inline __m128i InRange(__m128i x, unsigned char low, unsigned char high) {
  const __m128i t = _mm_sub_epi8(x, _mm_set1_epi8(static_cast<char>(low)));
  return _mm_cmpeq_epi8(_mm_min_epu8(t, _mm_set1_epi8(static_cast<char>(high - low))), t);
}
#endif

// Whether at least need of the places [from, last] of b hold a byte that the
// text check is sure to count as odd: a control byte other than tab, line
// feed and carriage return, a byte no UTF-8 text holds (C0, C1, F5..FF), or a
// continuation byte (80..BF) with no lead byte (C2..F4) in the three before
// it. None of them can be inside a UTF-8 character or a CR LF, so each starts
// a step of the check and counts as odd. Some places may be left out: the
// count is a lower bound.
bool SureOddAtLeast(const unsigned char *b, int64_t from, int64_t last, int64_t need) {
#if defined(__x86_64__)
  // Per-lane sums of the hits, looked at every 16 steps.
  __m128i sums = _mm_setzero_si128();
  int step = 0;
  for (int64_t j = std::max<int64_t>(from, 3); j + 15 <= last; j += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + j));
    __m128i lead =
        InRange(_mm_loadu_si128(reinterpret_cast<const __m128i *>(b + j - 1)), 0xC2, 0xF4);
    lead = _mm_or_si128(
        lead, InRange(_mm_loadu_si128(reinterpret_cast<const __m128i *>(b + j - 2)), 0xC2, 0xF4));
    lead = _mm_or_si128(
        lead, InRange(_mm_loadu_si128(reinterpret_cast<const __m128i *>(b + j - 3)), 0xC2, 0xF4));
    const __m128i allowed = _mm_or_si128(
        _mm_cmpeq_epi8(x, _mm_set1_epi8(9)),
        _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(10)), _mm_cmpeq_epi8(x, _mm_set1_epi8(13))));
    const __m128i control = _mm_andnot_si128(allowed, InRange(x, 0, 31));
    const __m128i never = _mm_or_si128(InRange(x, 0xC0, 0xC1), InRange(x, 0xF5, 0xFF));
    const __m128i stray = _mm_andnot_si128(lead, InRange(x, 0x80, 0xBF));
    const __m128i hits =
        _mm_and_si128(_mm_or_si128(control, _mm_or_si128(never, stray)), _mm_set1_epi8(1));
    sums = _mm_add_epi64(sums, _mm_sad_epu8(hits, _mm_setzero_si128()));
    if (++step % 16 == 0 &&
        _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)) >= need)
      return true;
  }
  return _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)) >= need;
#else
  (void)b, (void)from, (void)last, (void)need;
  return false;
#endif
}

}  // namespace

bool FileIsTextBytes(const unsigned char *b, int64_t n) {
  n = std::min<int64_t>(n, 32768);
  if (n <= 0) return true;
  int64_t odd = 0, lines = 0;
  // This many odd bytes or more can only give "not text".
  const int64_t oddLimit = (201 * n + 999) / 1000;
  // The last byte is looked at only as part of what starts before it.
  for (int64_t i = 0; i <= n - 2;) {
    unsigned char c = b[i];
    if ((c >= 32 && c <= 127) || c == 9 || c == 10) {
      ++i;
      while (i + 16 <= n - 1 && Plain16(b + i)) i += 16;
    } else if (c == 13 && b[i + 1] == 10) {
      ++lines;
      i += 2;
    } else if (int length = c >= 0x80 ? Utf8SequenceLength(b + i, b + n) : 0) {
      i += length;  // one character of a UTF-8 text
    } else {
      if (++odd >= oddLimit) return false;
      ++i;
      // Once a few odd bytes are met, a quick count of the rest may already
      // settle that this is no text.
      if (odd == 16 && SureOddAtLeast(b, i, n - 2, oddLimit - odd)) return false;
    }
  }
  int64_t oddPerMille = odd * 1000 / n;
  int64_t linesPerMille = lines * 1000 / n;
  return oddPerMille <= 5 || (linesPerMille >= 10 && oddPerMille <= 200);
}

std::string FileToString(const std::string &path) {
  TFileHandle file(FsOpenRead(path));
  if (!file.valid()) return std::string();
  int64_t size = FsFileSize(file.get());
  std::string text(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
  int64_t done = 0;
  while (done < size) {
    int64_t n = FsRead(file.get(), text.data() + done, size - done);
    if (n <= 0) break;
    done += n;
  }
  text.resize(static_cast<size_t>(done));
  return text;
}

}  // namespace trovix
