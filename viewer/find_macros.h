// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Find in a view's text, the shared history of find texts, and the key
// macros: recording keys under a key of the user's choosing, replaying them
// and keeping them in the settings store.
//
// A key code is the shift state times 256 plus the key's virtual key code
// (ssShift 1, ssAlt 2, ssCtrl 4, then 8 left, 16 right, 32 middle mouse
// button, 64 double click): Ctrl+Q is 0x0451. Main thread only.
#include <cstdint>
#include <string>
#include <vector>

namespace trovix {

// ---- Find ---------------------------------------------------------------------

// Searches text (bytes, positions from 0) for target from the caret
// (selStart) in direction 1 (forwards: the first candidate starts one after
// selStart) or -1 (backwards: one before it). With ignoreCase two bytes that
// differ only in bit 0x20 match; with wild "?" in target matches any byte
// and "#" any digit. No wrap-around. Returns the match's start, or -1.
int64_t SearchText(const std::string &text, int64_t selStart, const std::string &target,
                   int direction, bool ignoreCase, bool wild);

// Find texts, newest first, shared by every view window for the whole run.
extern std::vector<std::string> SearchHistory;
// Puts text first: nothing for an empty text; an equal entry further down
// (ignoring case) is removed.
void SearchHistoryAdd(const std::string &text);

// ---- Key macros ---------------------------------------------------------------

inline constexpr int MacroTableSize = 2047;    // key codes 0..2046
inline constexpr int MacroMaxLength = 1000;    // codes per macro
inline constexpr int MacroMaxDepth = 16;       // macros replayed inside each other
inline constexpr int MacroMaxReplay = 100000;  // keys replayed by one key press

// The macro of each key code; an empty entry means none.
extern std::vector<std::vector<uint16_t>> MacroTable;
// 0 idle; -1 waiting for the key that will own the new macro; otherwise the
// key code being recorded for.
extern int32_t MacroTarget;
extern std::vector<uint16_t> MacroBuffer;  // codes recorded so far
extern bool MacroReplaying;                // modifiers are being released for a replay
extern bool KeyConsumed;                   // the last key-down was taken by the macros

// The macro of code, or nullptr (also for codes outside the table).
const std::vector<uint16_t> *MacroFor(int32_t code);

// The record button went down (start) or up (end). Returns the status text.
std::string MacroRecordStart();
std::string MacroRecordEnd();

// What a key-down means to the macros.
enum class TMacroKey {
  PassOn,  // not the macros' business (the key may have been recorded)
  Chosen,  // the key now owns the recording: consumed
  Replay,  // the key has a macro: consumed, replay it
};
// Handles a key-down of code (modifier keys alone and keys below 8 must not
// come here). Sets KeyConsumed. status receives "|b|4Recording New Macro"
// when the key was chosen.
TMacroKey MacroKeyDown(int32_t code, std::string &status);

// Bounds on replaying: a replay begins (false when nesting or the number of
// replayed keys is exhausted, which should beep), each replayed key asks
// MacroReplayKey (false: stop), and the replay ends.
bool MacroReplayBegin();
bool MacroReplayKey();
void MacroReplayEnd();

// Store entries "Macro" + HHHH (code) with the codes as HHHH each.
void LoadMacros();
void SaveMacros();
// Forgets every macro and any recording (SaveMacros's caller, tests).
void ClearMacros();

}  // namespace trovix
