// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's string and number library: free functions over 8-bit byte
// strings. Positions are 1-based; 0 means "not found". Character classes and
// case are ASCII only and independent of any locale. Case-insensitive work
// passes both sides through UpCase, so bytes above 127 compare exactly.
//
// Everything is pure except the parsers, which raise the sticky StrError.
// Positions past the end of a string are harmless everywhere.
#include <cstdint>
#include <string>
#include <string_view>

namespace trovix {

// ---- Module state and constants ---------------------------------------------

// Sticky parse-error flag: parsers set it on a failure and never clear it.
// A caller that wants to know about its own parse clears it first.
extern bool StrError;

inline constexpr char crlf[] = "\r\n";
inline constexpr char Hex[] = "0123456789ABCDEF";  // Hex[0..15]
inline constexpr const char *StrBoolean[2] = {"False", "True"};
inline constexpr std::string_view StrGetItemDelimiters = "\t ,";
inline constexpr char StrGetItemHardSpace = '_';  // a space inside an item
inline constexpr const char *SizeUnitNames[9] = {"Bytes", "KB", "MB", "GB", "TB",
                                                 "PB",    "EB", "ZB", "YB"};

// ---- Character tests and case -------------------------------------------------

bool IsAlpha(char c);  // A..Z, a..z
bool IsDigit(char c);  // 0..9
char UpCase(char c);
char LoCase(char c);
std::string UpperCase(const std::string &s);
std::string ChangeCase(const std::string &s);  // lower -> Title -> UPPER -> lower

// ---- Search, replace, count ---------------------------------------------------

int32_t StrPos(int32_t start, const std::string &sub, const std::string &s);
int32_t StrPosCh(int32_t start, char c, const std::string &s);
int32_t StrPosChLast(char c, const std::string &s);
// "#" matches a digit, "?" any byte >= 32; others compare through UpCase.
int32_t StrPosWild(int32_t start, const std::string &pattern, const std::string &s);
// Replaces the first occurrence of find (through UpCase) and searches again
// from the start until none is left; a replace holding find replaces each
// original occurrence once. Stops with StrError raised, s holding the text
// reached so far, before s passes 16 MiB (or its size, when larger) or the
// replacements pass 8 times its length: some inputs never end otherwise.
void StrSubs(std::string &s, const std::string &find, const std::string &replace);
int32_t StrCountChar(const std::string &s, char c);
int32_t StrCountWord(const std::string &s);

// ---- Comparison ---------------------------------------------------------------

int32_t StrCompareFrom(const std::string &a, const std::string &b, int32_t i, int32_t j);
int32_t StrCompare(const std::string &a, const std::string &b);  // <0, 0, >0
bool StrSame(const std::string &a, const std::string &b);

// ---- Layout and padding -------------------------------------------------------

void StrTrim(std::string &s);  // trailing spaces, tabs, NULs
std::string StrStripSpaces(const std::string &s);
void StrAdd(std::string &s, const std::string &sep, const std::string &add);

// ---- Tab and comma fields (numbered from 0) -----------------------------------

std::string StrGetField(const std::string &s, int32_t n);
std::string StrGetFieldComma(const std::string &s, int32_t n);
int32_t StrFields(const std::string &s);
int32_t StrCommaFields(const std::string &s);

// ---- Fixed-width digits -------------------------------------------------------

std::string D(uint8_t b);
std::string DD(uint8_t b);
std::string DDDD(uint16_t w);
std::string H(uint8_t b);
std::string HH(uint8_t b);
std::string HHHH(uint16_t w);

// ---- Number to text -----------------------------------------------------------

std::string CardToStr(uint32_t d, int32_t base);  // base 2..36
std::string CardToStr(uint32_t d);
std::string NumToStr(int32_t n);
std::string NumToStrFill(int32_t n, int32_t width);
std::string NumToStrDecimals(int32_t n, int32_t decimals);
std::string CardToHex(uint32_t d);
std::string CardToHexFill(uint32_t d, int32_t width);
std::string NumToStrCommas(int64_t q);
// "item" for exactly 1, else "items": the word after a count of entries.
std::string ItemWord(int64_t count);
std::string FormatSizeBytes(int64_t q);

// ---- Text to number (positions are left just after what was read) -------------

void StrStepSpace(const std::string &s, int32_t &pos);  // CR, LF, tab, space, ","
uint32_t StrGetCardinal(const std::string &s, int32_t &pos);
int32_t StrGetInt(const std::string &s, int32_t &pos);
uint32_t StrGetHex(const std::string &s, int32_t &pos);
long double StrGetReal(const std::string &s, int32_t &pos);
std::string StrGetItem(const std::string &s, int32_t &pos);
uint32_t StrToCard(const std::string &s);
int32_t StrToNum(const std::string &s);
uint32_t HexToCard(const std::string &s);
int32_t UnformatDecimal(const std::string &s, int32_t decimals);
uint8_t StrGetD(char c);
uint8_t StrGetH_(char c);
uint8_t StrGetDD(const std::string &s, int32_t i);
uint16_t StrGetDDD(const std::string &s, int32_t i);
uint16_t StrGetDDDD(const std::string &s, int32_t i);
uint8_t StrGetH(const std::string &s, int32_t i);
uint8_t StrGetHH(const std::string &s, int32_t i);
uint16_t StrGetHHHH(const std::string &s, int32_t i);
uint32_t StrGetHHHHH(const std::string &s, int32_t i);
uint32_t StrGetHHHHHH(const std::string &s, int32_t i);
uint32_t StrGetHHHHHHHH(const std::string &s, int32_t i);

// ---- Hash and scrambler -------------------------------------------------------

uint32_t CrunchString(const std::string &s);  // case-insensitive
uint32_t CrunchCardinal(uint32_t d);
std::string Mixup(const std::string &s);  // its own inverse

}  // namespace trovix
