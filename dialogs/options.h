// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user's options as values the rest of the program reads, without the
// options window (which shows and edits them). Loaded from the settings store
// at start and stored back at exit. Every other window reads an option through
// the functions below at the moment it uses it, so a change made in the
// options window takes effect at the next use.
//
// The two copy switches are read by file-operation workers while the window
// may change them, so they are atomic; every other option is read and written
// on the user-interface thread only (an operation takes its copy of the Copy X
// exclusions when it starts).
#include <atomic>
#include <cstdint>
#include <string>

namespace trovix {

// "Check Size only": a time difference never stops a copy by itself; sizes
// decide. Not stored: off at every start.
extern std::atomic<bool> CheckSizeOnly;
// "Warn if Overwriting Older Files" (key "CopyMoveWarnOlder", 1 on, 0 off,
// default off): an older destination becomes an issue instead of being
// overwritten.
extern std::atomic<bool> WarnOverwriteOlder;
// "Copy X - Exclusions" (key "CopyXExclusions", default empty): items of file
// names that a Copy X operation leaves out.
extern std::string CopyXExclusions;

// "Del moves to Trash" (key "DelMovesToTrash", 1 on, 0 off, default off): the
// Del key moves to the desktop's trash instead of deleting; Shift+Del and the
// Delete commands still delete.
bool OptionDelMovesToTrash();
void SetOptionDelMovesToTrash(bool on);

// The five colour slots, indexed like the swatch buttons' tags. Colours are
// system colour numbers: blue in the high byte, then green, red in the low.
enum TColourSlot : int {
  csTree = 0,        // folder tree background
  csOdd = 1,         // main file grid, odd data rows
  csEven = 2,        // main file grid, even data rows
  csSearchOdd = 3,   // search and summary grids, odd data rows
  csSearchEven = 4,  // search and summary grids, even data rows
  csCount = 5,
};
// The slot's colour; the default for a slot out of range.
uint32_t OptionColour(int slot);
void SetOptionColour(int slot, uint32_t colour);
// The slot's default (15527167, 15794175, 14286847, 16777196, 16777175).
uint32_t DefaultColour(int slot);

// "Use Gradients" (key "Grtadient", default on): gradient backgrounds of tool
// bars and panels.
bool OptionUseGradients();
void SetOptionUseGradients(bool on);

// "Compare Threshold" (key "CompareThreshold", 1 to 100, default 3): matching
// lines needed before the compare assumes a resync.
constexpr int kCompareThresholdMin = 1, kCompareThresholdMax = 100;
int OptionCompareThreshold();
void SetOptionCompareThreshold(int lines);

// "Tab Size" (key "TabSize", 1 to 100, default 8): tab width of the text view.
constexpr int kTabSizeMin = 1, kTabSizeMax = 100;
int OptionTabSize();
void SetOptionTabSize(int size);

// "Multimedia File Extensions" (key "MultimediaExtensions", default
// "mp3 wav avi"): space-separated extensions of files played as multimedia.
std::string OptionMultimediaExtensions();
void SetOptionMultimediaExtensions(const std::string &extensions);

// The three fonts: "Folders" (folder tree), "Items" (main and search grids),
// "FileView" (view windows), each stored as PREFIX:FontName, :FontSize,
// :FontBold. The name is the stored one even when that font is not installed;
// the Qt side (options_ui.h) falls back to the desktop's font for showing.
enum TFontUse : int { fuFolders = 0, fuItems = 1, fuFileView = 2, fuCount = 3 };
constexpr int kFontSizeMin = 4, kFontSizeMax = 127;
struct TFontChoice {
  std::string Name = "MS Sans Serif";
  int Size = 8;
  bool Bold = false;
};
TFontChoice OptionFont(int use);
void SetOptionFont(int use, const TFontChoice &font);
// "Folders", "Items", "FileView".
const char *FontKeyPrefix(int use);

// Reads every option from the settings store (defaults for missing, empty or
// out-of-range values, which are clamped to their control's range) and
// switches "Check Size only" off.
void OptionsLoad();
// Writes every option that has a key into the settings store.
void OptionsSave();

}  // namespace trovix
