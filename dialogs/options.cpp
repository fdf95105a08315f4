// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/options.h"

#include <algorithm>
#include <array>

#include "foundation/settings.h"
#include "foundation/strings.h"

namespace trovix {

std::atomic<bool> CheckSizeOnly{false};
std::atomic<bool> WarnOverwriteOlder{false};
std::string CopyXExclusions;

namespace {
constexpr char kWarnOlderKey[] = "CopyMoveWarnOlder";
constexpr char kCopyXKey[] = "CopyXExclusions";
constexpr char kGradientKey[] = "Grtadient";  // the stored files' spelling
constexpr char kTrashKey[] = "DelMovesToTrash";
constexpr char kCompareThresholdKey[] = "CompareThreshold";
constexpr char kTabSizeKey[] = "TabSize";
constexpr char kMultimediaKey[] = "MultimediaExtensions";
constexpr std::array<const char *, csCount> kColourKeys = {"ColourTree", "ColourOdd", "ColourEven",
                                                           "ColourSearchOdd", "ColourSearchEven"};
constexpr std::array<uint32_t, csCount> kColourDefaults = {15527167, 15794175, 14286847, 16777196,
                                                           16777175};
constexpr std::array<const char *, fuCount> kFontPrefixes = {"Folders", "Items", "FileView"};
constexpr int kCompareThresholdDefault = 3, kTabSizeDefault = 8;
constexpr char kMultimediaDefault[] = "mp3 wav avi";

struct TOptionValues {
  std::array<uint32_t, csCount> Colours = kColourDefaults;
  bool UseGradients = true;
  bool DelMovesToTrash = false;
  int CompareThreshold = kCompareThresholdDefault;
  int TabSize = kTabSizeDefault;
  std::string MultimediaExtensions = kMultimediaDefault;
  std::array<TFontChoice, fuCount> Fonts;
};
TOptionValues Values;

bool SlotValid(int slot) { return slot >= 0 && slot < csCount; }
bool FontUseValid(int use) { return use >= 0 && use < fuCount; }

// A stored number clamped into [low, high], as its control would show it; text
// that is not a number (hand edited, or cut off) gives the default. Keeps a
// tab size of 0 from reaching the tab arithmetic.
int ReadClamped(const std::string &key, int def, int low, int high) {
  std::string text = INIRead(key);
  StrTrim(text);
  if (text.empty()) return def;
  StrError = false;
  const int value = StrToNum(text);
  const bool bad = StrError;
  StrError = false;
  return bad ? def : std::clamp(value, low, high);
}

// A switch stored as 1 or 0: any other number counts as on, text that is not a
// number gives the default.
bool ReadFlag(const std::string &key, bool def) {
  return ReadClamped(key, def ? 1 : 0, INT32_MIN, INT32_MAX) != 0;
}

// A colour stored as hexadecimal text; missing, empty or not hexadecimal
// gives the default, and only the 24 colour bits are kept.
uint32_t ReadColour(const std::string &key, uint32_t def) {
  std::string text = INIRead(key);
  StrTrim(text);
  if (text.empty()) return def;
  StrError = false;
  const uint32_t value = HexToCard(text);
  const bool bad = StrError;
  StrError = false;
  return bad ? def : value & 0xFFFFFF;
}

TFontChoice ReadFont(const std::string &prefix) {
  TFontChoice font;
  font.Name = INIReadInit(prefix + ":FontName", font.Name);
  font.Size = ReadClamped(prefix + ":FontSize", font.Size, kFontSizeMin, kFontSizeMax);
  font.Bold = ReadFlag(prefix + ":FontBold", false);
  return font;
}
}  // namespace

uint32_t DefaultColour(int slot) { return SlotValid(slot) ? kColourDefaults[slot] : 0; }
uint32_t OptionColour(int slot) { return SlotValid(slot) ? Values.Colours[slot] : 0; }
void SetOptionColour(int slot, uint32_t colour) {
  if (SlotValid(slot)) Values.Colours[slot] = colour & 0xFFFFFF;
}

bool OptionUseGradients() { return Values.UseGradients; }
bool OptionDelMovesToTrash() { return Values.DelMovesToTrash; }
void SetOptionDelMovesToTrash(bool on) { Values.DelMovesToTrash = on; }
void SetOptionUseGradients(bool on) { Values.UseGradients = on; }

int OptionCompareThreshold() { return Values.CompareThreshold; }
void SetOptionCompareThreshold(int lines) {
  Values.CompareThreshold = std::clamp(lines, kCompareThresholdMin, kCompareThresholdMax);
}

int OptionTabSize() { return Values.TabSize; }
void SetOptionTabSize(int size) { Values.TabSize = std::clamp(size, kTabSizeMin, kTabSizeMax); }

std::string OptionMultimediaExtensions() { return Values.MultimediaExtensions; }
void SetOptionMultimediaExtensions(const std::string &extensions) {
  Values.MultimediaExtensions = extensions;
}

const char *FontKeyPrefix(int use) { return FontUseValid(use) ? kFontPrefixes[use] : ""; }
TFontChoice OptionFont(int use) { return FontUseValid(use) ? Values.Fonts[use] : TFontChoice{}; }
void SetOptionFont(int use, const TFontChoice &font) {
  if (!FontUseValid(use)) return;
  TFontChoice &slot = Values.Fonts[use];
  slot = font;
  slot.Size = std::clamp(font.Size, kFontSizeMin, kFontSizeMax);
}

void OptionsLoad() {
  CheckSizeOnly = false;
  WarnOverwriteOlder = ReadFlag(kWarnOlderKey, false);
  CopyXExclusions = INIRead(kCopyXKey);
  for (int slot = 0; slot < csCount; ++slot)
    Values.Colours[slot] = ReadColour(kColourKeys[slot], kColourDefaults[slot]);
  Values.UseGradients = ReadFlag(kGradientKey, true);
  Values.DelMovesToTrash = ReadFlag(kTrashKey, false);
  Values.CompareThreshold = ReadClamped(kCompareThresholdKey, kCompareThresholdDefault,
                                        kCompareThresholdMin, kCompareThresholdMax);
  Values.TabSize = ReadClamped(kTabSizeKey, kTabSizeDefault, kTabSizeMin, kTabSizeMax);
  Values.MultimediaExtensions = INIReadInit(kMultimediaKey, kMultimediaDefault);
  for (int use = 0; use < fuCount; ++use) Values.Fonts[use] = ReadFont(kFontPrefixes[use]);
}

void OptionsSave() {
  INIWriteNum(kWarnOlderKey, WarnOverwriteOlder ? 1 : 0);
  INIWrite(kCopyXKey, CopyXExclusions);
  for (int slot = 0; slot < csCount; ++slot)
    INIWrite(kColourKeys[slot], CardToHex(Values.Colours[slot]));
  INIWriteNum(kGradientKey, Values.UseGradients ? 1 : 0);
  INIWriteNum(kTrashKey, Values.DelMovesToTrash ? 1 : 0);
  INIWriteNum(kCompareThresholdKey, Values.CompareThreshold);
  INIWriteNum(kTabSizeKey, Values.TabSize);
  INIWrite(kMultimediaKey, Values.MultimediaExtensions);
  for (int use = 0; use < fuCount; ++use) {
    const std::string prefix = kFontPrefixes[use];
    const TFontChoice &font = Values.Fonts[use];
    INIWrite(prefix + ":FontName", font.Name);
    INIWriteNum(prefix + ":FontSize", font.Size);
    INIWriteNum(prefix + ":FontBold", font.Bold ? 1 : 0);
  }
}

}  // namespace trovix
