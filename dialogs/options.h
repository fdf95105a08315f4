// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user's options as values the rest of the program reads, without the
// options window (which shows and edits them). Loaded from the settings store
// at start and stored back at exit.
//
// The two copy switches are read by file-operation workers while the window
// may change them, so they are atomic; the Copy X exclusion text is read and
// written on the user-interface thread only (an operation takes its copy when
// it starts).
#include <atomic>
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

// Reads every option from the settings store (defaults for missing keys) and
// switches "Check Size only" off.
void OptionsLoad();
// Writes every option that has a key into the settings store.
void OptionsSave();

}  // namespace trovix
