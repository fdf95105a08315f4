// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The event log: one entry per user command (a title line) with one
// tab-indented detail line per file or folder handled.
//
// The log's lines live in a process-wide buffer guarded by one lock, so any
// thread may add to it. The log window (TLogForm, event_log_form.h) takes the
// lines that are still pending on the user-interface thread and appends them
// to its text box; each append is a whole line, in the order the appends
// were made.
#include <functional>
#include <string>
#include <vector>

namespace trovix {

// Starts a new entry: an empty separator line when the log already holds a
// line, then text as the title line.
void LogAdd(const std::string &text);
// Adds one tab character and text as a detail line of the current entry.
void LogDetail(const std::string &text);
// Removes every line, pending ones included; the next LogAdd starts without
// a separator.
void LogClear();

// Lines added since the last call (or the last LogClear), oldest first.
// Called by the log window on the user-interface thread.
std::vector<std::string> LogTakePending();

// Called after an append made lines pending while none were before; it may
// run on any thread and must only post work to the user-interface thread.
// It is called with the log's lock held, so it must not call into the log.
// An empty function removes the hook.
void LogSetNotify(std::function<void()> notify);

// Every line of the log since the last clear, pending or not (test seam).
std::vector<std::string> LogLines();

}  // namespace trovix
