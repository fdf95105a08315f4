// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/file_text.h"

#include <algorithm>
#include <memory>

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

bool FileIsTextBytes(const unsigned char *b, int64_t n) {
  n = std::min<int64_t>(n, 32768);
  if (n <= 0) return true;
  int64_t odd = 0, lines = 0;
  // The last byte is looked at only as part of what starts before it.
  for (int64_t i = 0; i <= n - 2;) {
    unsigned char c = b[i];
    if (c >= 32 && c <= 127) {
      ++i;
    } else if (c == 9 || c == 10) {
      ++i;
    } else if (c == 13 && b[i + 1] == 10) {
      ++lines;
      i += 2;
    } else if (int length = c >= 0x80 ? Utf8SequenceLength(b + i, b + n) : 0) {
      i += length;  // one character of a UTF-8 text
    } else {
      ++odd;
      ++i;
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
