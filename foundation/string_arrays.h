// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The second half of the string library: growable arrays of strings with a
// pluggable sort and line files; item lists with numeric ranges ("A1-A3, B7");
// byte blocks as hexadecimal text and back, including the mixed form of quoted
// text and hexadecimal bytes; file-name and path helpers; dotted IPv4
// addresses; fixed-size byte buffers.
//
// Positions are 1-based. Parsers report failure through StrError (strings.h).
#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <vector>

namespace trovix {

// ---- String arrays ------------------------------------------------------------

using TStringArray = std::vector<std::string>;

// Orders two strings: negative, 0 or positive (StrCompare, SortRange, ...).
using TSortProc = std::function<int32_t(const std::string &, const std::string &)>;

// Key applied to the bytes of the files StringArrayRead and StringArrayWrite
// handle; 0 keeps them plain text.
extern uint16_t StringArrayEncryptionKey;

void StringArrayAdd(TStringArray &a, const std::string &s);
// Removes element i; nothing when i is not a valid index.
void StringArrayDel(TStringArray &a, int32_t i);
// Stable sort by proc. With unique, of elements that compare equal only the
// last (in the original order) stays; with dropEmpty empty elements go.
void StringArraySort(TStringArray &a, const TSortProc &proc, bool unique, bool dropEmpty);
// Index of the first element StrSame as s, else -1.
int32_t StringArraySearch(const TStringArray &a, const std::string &s);
// Index of the first element containing s (case-insensitive), else -1.
int32_t StringArraySearchPartial(const TStringArray &a, const std::string &s);
// a becomes the fields of s cut at sep (empty for an empty s). With sep CR a
// following LF belongs to the separator. A trailing sep gives an empty last field.
void FieldsToStringArray(TStringArray &a, const std::string &s, char sep);
std::string StringArrayToFields(const TStringArray &a, char sep);
void CommaFieldsToStringArray(TStringArray &a, const std::string &s);
std::string StringArrayToCommaFields(const TStringArray &a);
// Appends the lines of a file (LF ends a line, CR is ignored, a UTF-8 byte
// order mark is skipped, a last line without LF only when not empty).
// False when the file could not be read.
bool StringArrayRead(TStringArray &a, const std::string &fileName);
// Writes the elements as CR LF lines, keeping the previous file as the one
// backup (name cut before its first "." plus ".bak", same folder). The new
// text is written to a temporary file first and renamed into place, so a
// failure leaves the old file and its backup untouched. True when written.
bool StringArrayWrite(const TStringArray &a, const std::string &fileName);

// ---- Ranges -------------------------------------------------------------------

// A range never expands to more items than this; a longer one is an error.
inline constexpr int32_t RangesMaxItems = 100000;

// Orders range items ("A2" before "A10") by prefix, then number.
int32_t SortRange(const std::string &a, const std::string &b);
// "B7, A1-A3, A2" gives "A1,A2,A3,B7".
std::string RangesToSingles(const std::string &s);
// "A3,A1,A2,B7,5,6,7" gives "5-7, A1-A3, B7".
std::string SinglesToRanges(const std::string &s);
// Iterator over a list of hexadecimal numbers and ranges ("10 1A-1C, 20"):
// each StrExtract returns the next value (0..0xFFFFFFFF), or -1 at the end
// or after an error (StrError).
void StrExtractInit(const std::string &s);
int64_t StrExtract();

// ---- Byte blocks --------------------------------------------------------------

// n >= 0: 2n hexadecimal digits. n < 0: the -n bytes spaced, 16 to a line.
std::string BlockToHex(const void *p, int32_t n);
// Printable runs in double quotes, other bytes as two digits and a space:
// "Hi" 0D 0A "there"
std::string BlockToHexASCII(const void *p, int32_t n);
// Unseparated digit pairs from position start into buf (when given, up to
// max bytes); returns the number of pairs in s.
int32_t HexToBlock(const std::string &s, int32_t start, void *buf, int32_t max);
// Separated hexadecimal numbers 0..255 from position start into buf (when
// given, up to max bytes); returns the count, or -1 on a bad number.
int32_t HexSpacedToBlock(const std::string &s, int32_t start, void *buf, int32_t max);
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
// The file-name part of path (after the last PathDelim) cut before its first ".".
std::string ExtractFileNameNoExt(const std::string &path);
// The file-name part's extension from its last "." on, without the dot.
std::string ExtractFileExtNoDot(const std::string &path);
// path without one trailing PathDelim.
std::string PathDropSlosh(const std::string &path);
// The part of path before its (n+1)-th PathDelim; the whole path when it has
// no more than n of them.
std::string StripPath(const std::string &path, int32_t n);

// ---- IP addresses and buffers -------------------------------------------------

// Fills out[0..3] from dotted decimal text; true when it is four numbers
// joined by "." with nothing else (values above 255 wrap).
bool IPToBytes(const std::string &s, uint8_t *out);
std::string BytesToIP(const uint8_t *b);
// Exactly four decimal numbers 0..255 without leading zeros or spaces.
bool StrIsIP(const std::string &s);

// Size of the ReadStr buffer.
inline constexpr int32_t ReadStrBufferSize = 16384;
// Reads up to ReadStrBufferSize bytes of f into the line buffer.
void ReadStrInit(std::istream &f);
// s = the buffered bytes up to the next CR (the CR and the byte after it are
// skipped): true. At the end of the buffer without a CR: false, s = the rest.
bool ReadStr(std::string &s);

// Copies s and a NUL into buf (big enough).
void StrToCStr(const std::string &s, char *buf);
// n bytes of buf without trailing bytes 0, 32 and 255.
std::string StringGet(const void *buf, int32_t n);
// Exactly n bytes into buf: s, cut or filled with fill.
void StringPut(const std::string &s, void *buf, int32_t n, char fill);

}  // namespace trovix
