// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Files as text: whether a file looks like text, reading a whole file, and
// the UTF-8 sequence rule both of them and the text view share.
#include <cstdint>
#include <string>

namespace trovix {

// Length of the valid UTF-8 sequence of two to four bytes at p (before end),
// or 0: no overlong forms, no surrogates, nothing above U+10FFFF.
int Utf8SequenceLength(const unsigned char *p, const unsigned char *end);

// True when the first 32 KiB of the file look like text (each valid UTF-8
// sequence counts as one plain character).
bool FileIsText(const std::string &path);
// The same test on the first bytes of a file already read (at most 32 KiB of
// them are looked at; fewer only when the file is shorter).
bool FileIsTextBytes(const unsigned char *bytes, int64_t count);
// The whole file; empty when it cannot be opened.
std::string FileToString(const std::string &path);

}  // namespace trovix
