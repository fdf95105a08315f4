// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Message boxes and the one-line prompt.
//
// DisplayMany shows a modal box with an icon, a markup message (markup.h)
// and a row of flat buttons, and returns the 0-based index of the chosen
// button, or -1 when the box was dismissed with Escape. Keys: Enter or Space
// choose button 0, Escape gives -1, "1" to "9" give 0 to 8 whether or not
// that many buttons exist (callers treat an index they do not know as no
// choice); any other key beeps. EditString shows the prompt with a history
// combo box and returns whether the user confirmed.
//
// DisplayMany, its shorthands and EditString are defined in the Qt library
// (trovix_dialogs_ui); the rest of this header is GUI-free.
//
// Automatic answers: code and tests that must not block in a modal loop
// install an answerer; while one is set, DisplayMany and EditString return
// its answer and show nothing. Pass an empty function to remove it.
//   SetMessageBoxAnswerer([](uint8_t kind, const std::string &message,
//                            const std::string &buttons) { return 0; });
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace trovix {

// Icon kinds.
inline constexpr uint8_t mbInformation = 0;
inline constexpr uint8_t mbError = 1;
inline constexpr uint8_t mbQuestion = 2;

int32_t DisplayMany(uint8_t kind, const std::string &message, const std::string &buttons);
void DisplayMessage(const std::string &message);   // kind 0, "OK"
void DisplayError(const std::string &message);     // kind 1, "OK"
bool DisplayOKCancel(const std::string &message);  // kind 2, "OK,Cancel": true for OK
bool DisplayYesNo(const std::string &message);     // kind 2, "Yes,No": true for Yes

// Shows the prompt (markup) above a combo box holding value and its history.
// Confirmed (Enter or OK): value becomes the text, which also goes to the top
// of the history; returns true. Cancelled: value is unchanged; returns false.
bool EditString(const std::string &prompt, std::string &value);

using TMessageBoxAnswerer =
    std::function<int32_t(uint8_t kind, const std::string &message, const std::string &buttons)>;
void SetMessageBoxAnswerer(TMessageBoxAnswerer answerer);
const TMessageBoxAnswerer &MessageBoxAnswerer();

// The answerer gets the prompt and the value and returns true (with value
// possibly changed) to confirm, false to cancel. A confirmed text still goes
// into the prompt's history.
using TEditStringAnswerer = std::function<bool(const std::string &prompt, std::string &value)>;
void SetEditStringAnswerer(TEditStringAnswerer answerer);
const TEditStringAnswerer &EditStringAnswerer();

// ---- Rules of the message box (GUI-free) --------------------------------------

// The captions of a comma-separated button list, in order. An empty list
// gives one "OK" so a box can always be closed with the mouse.
std::vector<std::string> MessageBoxButtons(const std::string &list);

// Glyph of the button image list for a caption, by the first containment
// test (ignoring case) that matches: YES, OK, CONTINUE -> 0 (confirm); NO,
// CANCEL, ABORT, DISCARD, DELETE -> 1 (reject); SAVE -> 2; COPY -> 4;
// MOVE -> 5; otherwise -1 (no glyph).
int32_t MessageBoxGlyph(const std::string &caption);

// Keys as the box sees them: Enter, Escape and Space by these codes, digits
// by their character.
inline constexpr int32_t mbKeyEnter = 13;
inline constexpr int32_t mbKeyEscape = 27;
inline constexpr int32_t mbKeySpace = 32;

struct TMessageBoxKey {
  bool close = false;   // false: beep and stay open
  int32_t result = -1;  // the answer when closing
};
TMessageBoxKey MessageBoxKey(int32_t key);

// Geometry of the box's client area. The message is measured at
// (mbTextLeft, mbTextTop) with gap mbTextGap; the icon box sits left of it.
inline constexpr int32_t mbTextLeft = 60;
inline constexpr int32_t mbTextTop = 8;
inline constexpr int32_t mbTextGap = 4;
inline constexpr int32_t mbIconLeft = 4;
inline constexpr int32_t mbIconTop = 8;
inline constexpr int32_t mbIconWidth = 52;
inline constexpr int32_t mbIconHeight = 52;
inline constexpr int32_t mbDesignClientWidth = 260;  // the form's width before sizing
inline constexpr int32_t mbStripHeight = 32;
inline constexpr int32_t mbButtonWidth = 80;
inline constexpr int32_t mbButtonHeight = 26;

struct TMessageBoxRect {
  int32_t left = 0, top = 0, width = 0, height = 0;
};

struct TMessageBoxLayout {
  int32_t areaWidth = 0;  // message area from (0, 0); its frame ends one pixel inside
  int32_t areaHeight = 0;
  int32_t stripTop = 0;  // button strip: full client width, mbStripHeight high
  int32_t clientWidth = 0;
  int32_t clientHeight = 0;
  std::vector<TMessageBoxRect> buttons;
};

// textRight and textBottom: the extent NiceLabelPaint returns for the
// message at (mbTextLeft, mbTextTop) with gap mbTextGap.
TMessageBoxLayout MessageBoxArrange(int32_t textRight, int32_t textBottom, size_t buttonCount);

// Keeps a window at (left, top) of the given size on a single screen: one
// reaching past the screen's bottom or right edge moves up or left to end
// one pixel inside it, but never above or left of the screen's origin. With
// several monitors the position is left alone.
void MessageBoxKeepOnScreen(int32_t &left, int32_t &top, int32_t width, int32_t height,
                            int32_t screenLeft, int32_t screenTop, int32_t screenWidth,
                            int32_t screenHeight, bool singleMonitor);

}  // namespace trovix
