// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text view's file content: bytes read from a file become the editor's
// text and go back to exactly the same bytes.
//
// The editor's text is UTF-8 with "\n" between lines. A file's bytes are
// decoded as UTF-8 when they are valid UTF-8, else one character per byte
// (byte b is the character U+00bb). The line end that the file uses most
// (LF, CR LF or CR) becomes "\n"; a CR or LF byte that is not part of that
// line end is kept in the text as a marker character (U+E00D, U+E00A), so
// that the text saves back byte for byte whatever mix of line ends the file
// holds. A UTF-8 file that already holds such marker characters (or the
// characters the editor keeps for itself) is decoded one character per byte.
//
// Also here: reading a file whole within a size limit, and saving bytes to a
// file without ever losing the old one.
#include <cstdint>
#include <string>

#include "foundation/utf8.h"

namespace trovix {

enum class TLineEnd { LF, CRLF, CR };

struct TTextCoding {
  bool bytesAsChars = false;  // one character per byte (not UTF-8)
  TLineEnd lineEnd = TLineEnd::CRLF;
};

inline constexpr char32_t kMarkCR = 0xE00D;  // a lone CR kept inside a line
inline constexpr char32_t kMarkLF = 0xE00A;  // a lone LF kept inside a line

// The bytes of the line end ("\n", "\r\n", "\r").
const char *LineEndBytes(TLineEnd lineEnd);
// The line end a text uses most; LF when it has none (CR LF wins over LF on
// a tie, LF over CR).
TLineEnd DominantLineEnd(const std::string &bytes);
// True when bytes are valid UTF-8 throughout.
bool IsValidUtf8(const std::string &bytes);

// File bytes to the editor's text; coding receives how to go back.
std::string TextDecode(std::string bytes, TTextCoding &coding);
// The editor's text (UTF-8, "\n" lines) back to file bytes.
std::string TextEncode(const std::string &text, const TTextCoding &coding);

// The code point at text[i] (advancing i); a byte that does not start a valid
// sequence is taken as itself.
char32_t NextCodePoint(const std::string &text, size_t &i);

// The hex view's text: each byte as two upper-case hexadecimal digits, 16 to
// a line, a space between the bytes of a line and "\n" between lines. The
// dump is made in pieces: HexDumpLength(first, last) characters for bytes
// [first, last) of a block, which HexDumpWrite writes to out, each piece
// following on the one before (a piece after the first starts with the
// separator before its first byte).
size_t HexDumpLength(size_t first, size_t last);
void HexDumpWrite(const unsigned char *bytes, size_t first, size_t last, char16_t *out);

// A large text goes into the editor in pieces: the end of the piece of
// about step bytes that starts at from, never inside a UTF-8 sequence (a
// piece is never empty while from is before the end).
size_t TextPieceEnd(const std::string &text, size_t from, size_t step);
// The number of lines the status counts in an editor text ("\n" between
// lines; a final "\n" ends the last line rather than starting one).
int64_t TextLineCount(const std::string &text);

// Reads a whole file of at most limit bytes. Results: 0 read; 1 cannot be
// opened or read (error holds errno); 2 larger than limit (size holds its
// size); 3 it grew while it was read.
enum class TReadResult { Ok, Failed, TooLarge, Changed };
TReadResult ReadWholeFile(const std::string &path, int64_t limit, std::string &bytes, int64_t &size,
                          int &error);

// The backup name of a target: its folder followed by the file name with
// its extension plus "~" as extension (notes.txt -> notes.txt~).
std::string BackupName(const std::string &target);

// Saves bytes to target, never losing the old file: the bytes go to a
// temporary file in the target's folder, which is flushed and closed; only
// then does an existing target become its backup (an existing backup is
// replaced) and the temporary file the target. A link as target is written
// through to the file it names. On any failure the target and its backup
// are as they were, no temporary file stays, and false is returned with
// error holding the cause (errno) and step what failed.
bool SaveFileKeepingBackup(const std::string &target, const std::string &bytes, int &error,
                           std::string &step);

}  // namespace trovix
