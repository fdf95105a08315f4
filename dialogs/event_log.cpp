// SPDX-License-Identifier: GPL-3.0-or-later
// The event log's line buffer, shared by the user-interface thread and the
// file operation workers.
#include "dialogs/event_log.h"

#include <mutex>
#include <utility>

namespace trovix {

namespace {

std::mutex LogLock;
std::vector<std::string> Lines;  // the whole log since the last clear
size_t Taken = 0;                // lines already handed to the window
std::function<void()> Notify;

// A line break inside a text (a file name may hold one) would split the line
// in the window and could pass for a line of its own; show it as "?".
std::string OneLine(std::string s) {
  for (char &c : s)
    if (c == '\n' || c == '\r') c = '?';
  return s;
}

// With the lock held, after an append: wakes the window when nothing was
// pending before, so one wake-up covers a burst of lines.
void Appended(bool wasIdle) {
  if (wasIdle && Notify) Notify();
}

}  // namespace

void LogAdd(const std::string &text) {
  std::string title = OneLine(text);
  // The separator and the title go in under one lock so that no detail line
  // of another thread can slip in between them.
  std::lock_guard<std::mutex> lock(LogLock);
  const bool wasIdle = Taken == Lines.size();
  if (!Lines.empty()) Lines.emplace_back();
  Lines.push_back(std::move(title));
  Appended(wasIdle);
}

void LogDetail(const std::string &text) {
  std::string line = "\t" + OneLine(text);
  std::lock_guard<std::mutex> lock(LogLock);
  const bool wasIdle = Taken == Lines.size();
  Lines.push_back(std::move(line));
  Appended(wasIdle);
}

void LogClear() {
  std::lock_guard<std::mutex> lock(LogLock);
  Lines.clear();
  Taken = 0;
}

std::vector<std::string> LogTakePending() {
  std::lock_guard<std::mutex> lock(LogLock);
  std::vector<std::string> pending(Lines.begin() + static_cast<std::ptrdiff_t>(Taken), Lines.end());
  Taken = Lines.size();
  return pending;
}

void LogSetNotify(std::function<void()> notify) {
  std::lock_guard<std::mutex> lock(LogLock);
  Notify = std::move(notify);
}

std::vector<std::string> LogLines() {
  std::lock_guard<std::mutex> lock(LogLock);
  return Lines;
}

}  // namespace trovix
