// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The second half of the string library: byte blocks as hexadecimal text and
// back, including the mixed form of quoted text and hexadecimal bytes; and
// file-name helpers.
#include <cstdint>
#include <string>

namespace trovix {

// ---- Byte blocks --------------------------------------------------------------

// n >= 0: 2n hexadecimal digits. n < 0: the -n bytes spaced, 16 to a line.
std::string BlockToHex(const void *p, int32_t n);
// Printable runs in double quotes, other bytes as two digits and a space:
// "Hi" 0D 0A "there"
std::string BlockToHexASCII(const void *p, int32_t n);
// Reads the mixed form (quoted text, hexadecimal bytes, "/" and ";" comments
// to the line end) into buf, at most max bytes; without buf everything is
// counted. Returns the byte count, or -1 when the text does not parse.
int32_t StrToBytes(const std::string &s, void *buf, int32_t max);

// ---- Paths and file names -----------------------------------------------------

// name cut before its first "." (unless that is the first byte), then ext
// with a "." in front unless ext is empty or begins with one.
std::string ForceExtension(const std::string &name, const std::string &ext);
std::string RemoveExtension(const std::string &name);
// name unchanged when it holds a "."; else ForceExtension.
std::string AddExtension(const std::string &name, const std::string &ext);
// The folder part of path up to and with its last PathDelim; empty without one.
std::string ExtractFilePath(const std::string &path);
// The file-name part of path (after the last PathDelim); path without one.
std::string ExtractFileName(const std::string &path);
// The file-name part of path (after the last PathDelim) cut before its first ".".
std::string ExtractFileNameNoExt(const std::string &path);
// The file-name part's extension from its last "." on, without the dot.
std::string ExtractFileExtNoDot(const std::string &path);

}  // namespace trovix
