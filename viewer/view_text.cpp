// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/view_text.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/string_arrays.h"
#include "foundation/strings.h"

namespace trovix {

namespace {

bool IsReservedChar(char32_t c) {
  // Characters the editor keeps for its own use, and the two line markers.
  return (c >= 0xE000 && c <= 0xE0FF) || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1;
}

class THandleCloser {
 public:
  explicit THandleCloser(int fd) : fd_(fd) {}
  ~THandleCloser() { Close(); }
  THandleCloser(const THandleCloser &) = delete;
  THandleCloser &operator=(const THandleCloser &) = delete;
  int get() const { return fd_; }
  bool Close() {
    int fd = fd_;
    fd_ = FsInvalidHandle;
    return fd == FsInvalidHandle || FsClose(fd);
  }

 private:
  int fd_;
};

// The length of the run of ASCII bytes at p (before end), eight at a time.
size_t AsciiRun(const unsigned char *p, const unsigned char *end) {
  const unsigned char *q = p;
  while (end - q >= 8) {
    uint64_t word;
    std::memcpy(&word, q, 8);
    if (word & 0x8080808080808080ULL) break;
    q += 8;
  }
  while (q < end && *q < 0x80) ++q;
  return static_cast<size_t>(q - p);
}

std::string FolderOf(const std::string &path) {
  size_t slash = path.rfind(PathDelim);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string &path) {
  size_t slash = path.rfind(PathDelim);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name beside target that no file has yet.
std::string SideName(const std::string &target, const char *kind) {
  static unsigned counter = 0;
  std::string name = NameOf(target).substr(0, 100);
  auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return FolderOf(target) + "." + name + kind + CardToHex(static_cast<uint32_t>(now)) +
         CardToHex(++counter);
}

}  // namespace

const char *LineEndBytes(TLineEnd lineEnd) {
  switch (lineEnd) {
    case TLineEnd::LF: return "\n";
    case TLineEnd::CR: return "\r";
    default: return "\r\n";
  }
}

TLineEnd DominantLineEnd(const std::string &bytes) {
  size_t lf = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
  size_t crlf = 0, cr = 0;
  const char *begin = bytes.data();
  const char *end = begin + bytes.size();
  for (const char *p = begin; (p = static_cast<const char *>(std::memchr(p, '\r', end - p))); ++p) {
    if (p + 1 < end && p[1] == '\n')
      ++crlf;
    else
      ++cr;
  }
  lf -= crlf;
  if (crlf > 0 && crlf >= lf && crlf >= cr) return TLineEnd::CRLF;
  if (cr > lf) return TLineEnd::CR;
  return TLineEnd::LF;
}

bool IsValidUtf8(const std::string &bytes) {
  auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
  auto *end = p + bytes.size();
  while (p < end) {
    p += AsciiRun(p, end);
    if (p == end) break;
    if (int n = Utf8SequenceLength(p, end)) {
      p += n;
    } else {
      return false;
    }
  }
  return true;
}

char32_t NextCodePoint(const std::string &text, size_t &i) {
  auto *p = reinterpret_cast<const unsigned char *>(text.data()) + i;
  auto *end = reinterpret_cast<const unsigned char *>(text.data()) + text.size();
  unsigned char c = *p;
  int n = c >= 0x80 ? Utf8SequenceLength(p, end) : 0;
  if (n == 0) {
    ++i;
    return c;
  }
  char32_t cp = n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
  for (int k = 1; k < n; ++k) cp = (cp << 6) | (p[k] & 0x3F);
  i += static_cast<size_t>(n);
  return cp;
}

std::string TextDecode(std::string bytes, TTextCoding &coding) {
  coding.lineEnd = DominantLineEnd(bytes);
  coding.bytesAsChars = !IsValidUtf8(bytes);
  const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
  if (!coding.bytesAsChars) {
    for (size_t i = 0; i < bytes.size();) {
      i += AsciiRun(data + i, data + bytes.size());
      if (i < bytes.size() && IsReservedChar(NextCodePoint(bytes, i))) {
        coding.bytesAsChars = true;
        break;
      }
    }
  }
  // UTF-8 with LF lines and no CR at all is its own text.
  if (!coding.bytesAsChars && coding.lineEnd == TLineEnd::LF &&
      std::memchr(bytes.data(), '\r', bytes.size()) == nullptr)
    return bytes;
  std::string text;
  text.reserve(bytes.size() + (coding.bytesAsChars ? bytes.size() / 8 : 0));
  const bool crlf = coding.lineEnd == TLineEnd::CRLF;
  const char end = coding.lineEnd == TLineEnd::CR ? '\r' : '\n';
  const bool asChars = coding.bytesAsChars;
  for (size_t i = 0; i < bytes.size(); ++i) {
    // Bytes that stay as they are go over in runs.
    size_t run = i;
    while (run < bytes.size() && data[run] != '\r' && data[run] != '\n' &&
           !(asChars && data[run] >= 0x80))
      ++run;
    if (run > i) {
      text.append(bytes, i, run - i);
      i = run;
      if (i == bytes.size()) break;
    }
    char b = bytes[i];
    if (crlf && b == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      text += '\n';
      ++i;
    } else if (!crlf && b == end) {
      text += '\n';
    } else if (b == '\r') {
      AppendUtf8(text, kMarkCR);
    } else if (b == '\n') {
      AppendUtf8(text, kMarkLF);
    } else if (coding.bytesAsChars) {
      AppendUtf8(text, static_cast<unsigned char>(b));
    } else {
      text += b;
    }
  }
  return text;
}

std::string TextEncode(const std::string &text, const TTextCoding &coding) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16);
  const char *end = LineEndBytes(coding.lineEnd);
  for (size_t i = 0; i < text.size();) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      if (b == '\n')
        bytes += end;
      else
        bytes += static_cast<char>(b);
      ++i;
      continue;
    }
    size_t start = i;
    char32_t c = NextCodePoint(text, i);
    if (c == kMarkCR) {
      bytes += '\r';
    } else if (c == kMarkLF) {
      bytes += '\n';
    } else if (coding.bytesAsChars && c < 0x100 && i - start > 1) {
      bytes += static_cast<char>(c);
    } else {
      bytes.append(text, start, i - start);
    }
  }
  return bytes;
}

size_t HexDumpLength(size_t first, size_t last) {
  return last > first ? 3 * (last - first) - (first == 0 ? 1 : 0) : 0;
}

void HexDumpWrite(const unsigned char *bytes, size_t first, size_t last, char16_t *out) {
  // The two digits of every byte value, made once.
  static const auto digits = [] {
    std::array<std::array<char16_t, 2>, 256> table{};
    const char *hex = "0123456789ABCDEF";
    for (int b = 0; b < 256; ++b) table[b] = {char16_t(hex[b >> 4]), char16_t(hex[b & 15])};
    return table;
  }();
  for (size_t i = first; i < last; ++i) {
    if (i > 0) *out++ = (i % 16 == 0) ? u'\n' : u' ';
    const auto &pair = digits[bytes[i]];
    *out++ = pair[0];
    *out++ = pair[1];
  }
}

size_t TextPieceEnd(const std::string &text, size_t from, size_t step) {
  if (from >= text.size() || step >= text.size() - from) return text.size();
  size_t end = from + std::max<size_t>(step, 1);
  // Back to the start of a character, but never to an empty piece.
  while (end > from + 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  return end;
}

int64_t TextLineCount(const std::string &text) {
  const auto breaks = static_cast<int64_t>(std::count(text.begin(), text.end(), '\n'));
  return breaks > 0 && text.back() == '\n' ? breaks : breaks + 1;
}

TReadResult ReadWholeFile(const std::string &path, int64_t limit, std::string &bytes, int64_t &size,
                          int &error) {
  bytes.clear();
  error = 0;
  THandleCloser file(FsOpenRead(path));
  if (file.get() == FsInvalidHandle) {
    error = FsLastError();
    return TReadResult::Failed;
  }
  size = FsFileSize(file.get());
  if (size < 0) {
    error = FsLastError();
    return TReadResult::Failed;
  }
  if (size > limit) return TReadResult::TooLarge;
  try {
    bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc &) {
    error = ENOMEM;
    return TReadResult::TooLarge;
  }
  int64_t done = 0;
  while (done < size) {
    int64_t n = FsRead(file.get(), bytes.data() + done, size - done);
    if (n < 0) {
      error = FsLastError();
      bytes.clear();
      return TReadResult::Failed;
    }
    if (n == 0) break;
    done += n;
  }
  bytes.resize(static_cast<size_t>(done));
  // One byte more than the size taken at the start: the file is growing.
  char extra;
  if (done == size && FsRead(file.get(), &extra, 1) > 0) {
    bytes.clear();
    return TReadResult::Changed;
  }
  return TReadResult::Ok;
}

std::string BackupName(const std::string &target) {
  std::string name = NameOf(target);
  return FolderOf(target) + ForceExtension(name, ExtractFileExtNoDot(target) + "~");
}

bool SaveFileKeepingBackup(const std::string &target, const std::string &bytes, int &error,
                           std::string &step) {
  error = 0;
  // Write through a link to the file it names.
  std::string path = target;
  std::string linked;
  if (FsIsLink(path) && FsReadLink(path, linked) && !linked.empty())
    path = linked[0] == PathDelim ? linked : FolderOf(path) + linked;

  auto fail = [&](const char *what) {
    error = FsLastError();
    if (error == 0) error = EIO;
    step = what;
    return false;
  };

  const std::string temp = SideName(path, ".trovix-save-");
  {
    THandleCloser file(FsCreate(temp, true));
    if (file.get() == FsInvalidHandle) return fail("create");
    int64_t done = 0;
    const int64_t size = static_cast<int64_t>(bytes.size());
    while (done < size) {
      int64_t n = FsWrite(file.get(), bytes.data() + done, size - done);
      if (n <= 0) {
        fail("write");
        file.Close();
        FsDeleteFile(temp);
        return false;
      }
      done += n;
    }
    if (!FsSync(file.get())) {
      fail("write");
      file.Close();
      FsDeleteFile(temp);
      return false;
    }
    if (!file.Close()) {
      fail("write");
      FsDeleteFile(temp);
      return false;
    }
  }

  FsEntry old;
  const bool existed = FsGetInfo(path, old);
  const std::string backup = BackupName(path);
  if (!existed || StrSame(backup, path)) {
    if ((existed ? FsReplace(temp, path) : FsMove(temp, path))) return true;
    fail("rename");
    FsDeleteFile(temp);
    return false;
  }
  // The old backup steps aside first, so that it comes back if anything fails.
  std::string aside;
  if (FsExists(backup)) {
    aside = SideName(path, ".trovix-old-");
    if (!FsMove(backup, aside)) {
      fail("rename");
      FsDeleteFile(temp);
      return false;
    }
  }
  auto restoreBackup = [&] {
    if (!aside.empty()) FsMove(aside, backup);
  };
  if (!FsMove(path, backup)) {
    fail("rename");
    restoreBackup();
    FsDeleteFile(temp);
    return false;
  }
  if (!FsMove(temp, path)) {
    fail("rename");
    FsMove(backup, path);
    restoreBackup();
    FsDeleteFile(temp);
    return false;
  }
  if (!aside.empty()) FsDeleteFile(aside);
  if (old.attr & faReadOnly) FsSetReadOnly(path, true);
  return true;
}

}  // namespace trovix
