// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/string_arrays.h"

#include <algorithm>

#include "foundation/file_system.h"  // PathDelim only
#include "foundation/strings.h"

namespace trovix {

namespace {

inline uint8_t Byte(char c) { return static_cast<uint8_t>(c); }

bool IsHexDigit(char c) { return IsDigit(c) || (UpCase(c) >= 'A' && UpCase(c) <= 'F'); }

}  // namespace

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

std::string ExtractFilePath(const std::string &path) {
  const size_t d = path.rfind(PathDelim);
  return d == std::string::npos ? std::string() : path.substr(0, d + 1);
}

std::string ExtractFileName(const std::string &path) {
  const size_t d = path.rfind(PathDelim);
  return d == std::string::npos ? path : path.substr(d + 1);
}

std::string ExtractFileNameNoExt(const std::string &path) {
  const std::string name = ExtractFileName(path);
  return name.substr(0, name.find('.'));
}

std::string ExtractFileExtNoDot(const std::string &path) {
  const std::string name = ExtractFileName(path);
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

}  // namespace trovix
