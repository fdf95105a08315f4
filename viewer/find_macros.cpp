// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/find_macros.h"

#include "foundation/settings.h"
#include "foundation/strings.h"

namespace trovix {

std::vector<std::string> SearchHistory;
std::vector<std::vector<uint16_t>> MacroTable(MacroTableSize);
int32_t MacroTarget = 0;
std::vector<uint16_t> MacroBuffer;
bool MacroReplaying = false;
bool KeyConsumed = false;

namespace {

int replayDepth = 0;
int64_t replayedKeys = 0;

bool CharsMatch(char t, char x, bool ignoreCase, bool wild) {
  if (wild) {
    if (t == '?') return true;
    if (t == '#') return x >= '0' && x <= '9';
  }
  unsigned diff = static_cast<unsigned char>(t) ^ static_cast<unsigned char>(x);
  if (ignoreCase) diff &= 0xDF;
  return diff == 0;
}

}  // namespace

int64_t SearchText(const std::string &text, int64_t selStart, const std::string &target,
                   int direction, bool ignoreCase, bool wild) {
  const int64_t n = static_cast<int64_t>(text.size());
  const int64_t m = static_cast<int64_t>(target.size());
  if (m == 0) return -1;
  const int d = direction < 0 ? -1 : 1;
  // pos is the 0-based start of the candidate.
  int64_t pos = selStart + d;
  // Backwards, candidates that would run past the end cannot match: begin
  // with the last one that fits instead of giving up.
  if (d < 0 && pos > n - m) pos = n - m;
  for (; pos >= 0 && pos + m <= n; pos += d) {
    int64_t i = 0;
    while (i < m && CharsMatch(target[i], text[pos + i], ignoreCase, wild)) ++i;
    if (i == m) return pos;
  }
  return -1;
}

void SearchHistoryAdd(const std::string &text) {
  if (text.empty()) return;
  if (!SearchHistory.empty() && SearchHistory.front() == text) return;
  for (size_t i = 0; i < SearchHistory.size(); ++i) {
    if (StrSame(SearchHistory[i], text)) {
      SearchHistory.erase(SearchHistory.begin() + static_cast<long>(i));
      break;
    }
  }
  SearchHistory.insert(SearchHistory.begin(), text);
}

const std::vector<uint16_t> *MacroFor(int32_t code) {
  if (code < 0 || code >= MacroTableSize) return nullptr;
  const auto &entry = MacroTable[static_cast<size_t>(code)];
  return entry.empty() ? nullptr : &entry;
}

std::string MacroRecordStart() {
  MacroTarget = -1;
  return "|b|4Type the Key that will be assigned a Macro";
}

std::string MacroRecordEnd() {
  if (MacroTarget > 0 && MacroTarget < MacroTableSize) {
    auto &entry = MacroTable[static_cast<size_t>(MacroTarget)];
    entry = MacroBuffer;  // an empty recording removes the key's macro
  }
  MacroTarget = 0;
  MacroBuffer.clear();
  return "|b|4Macro Complete";
}

TMacroKey MacroKeyDown(int32_t code, std::string &status) {
  KeyConsumed = false;
  if (code < 0 || code >= MacroTableSize) return TMacroKey::PassOn;
  if (MacroTarget == -1) {
    MacroTarget = code;
    MacroBuffer.clear();
    KeyConsumed = true;
    status = "|b|4Recording New Macro";
    return TMacroKey::Chosen;
  }
  if (MacroTarget >= 1) {
    if (!MacroFor(code) && static_cast<int>(MacroBuffer.size()) < MacroMaxLength)
      MacroBuffer.push_back(static_cast<uint16_t>(code));
    return TMacroKey::PassOn;
  }
  if (MacroFor(code)) {
    KeyConsumed = true;
    return TMacroKey::Replay;
  }
  return TMacroKey::PassOn;
}

bool MacroReplayBegin() {
  if (replayDepth == 0) replayedKeys = 0;
  if (replayDepth >= MacroMaxDepth || replayedKeys >= MacroMaxReplay) return false;
  ++replayDepth;
  return true;
}

bool MacroReplayKey() { return ++replayedKeys <= MacroMaxReplay; }

void MacroReplayEnd() {
  if (replayDepth > 0) --replayDepth;
}

void LoadMacros() {
  for (long i = 0;; ++i) {
    std::string line = INIReadLine(i);
    if (line.empty()) break;
    std::string key = StrGetField(line, 0);
    if (StrPos(1, "Macro", key) != 1) continue;
    uint16_t code = StrGetHHHH(key, 6);
    if (code >= MacroTableSize) continue;
    std::string value = StrGetField(line, 1);
    std::vector<uint16_t> codes;
    for (size_t pos = 1; pos < value.size() && codes.size() < MacroMaxLength; pos += 4)
      codes.push_back(StrGetHHHH(value, static_cast<int32_t>(pos)));
    MacroTable[code] = std::move(codes);
  }
}

void SaveMacros() {
  for (int code = 0; code < MacroTableSize; ++code) {
    const std::string key = "Macro" + HHHH(static_cast<uint16_t>(code));
    const auto &entry = MacroTable[static_cast<size_t>(code)];
    if (entry.empty()) {
      INIRemove(key);
      continue;
    }
    std::string value;
    for (uint16_t c : entry) value += HHHH(c);
    INIWrite(key, value);
  }
}

void ClearMacros() {
  for (auto &entry : MacroTable) entry.clear();
  MacroTarget = 0;
  MacroBuffer.clear();
  MacroReplaying = false;
  KeyConsumed = false;
  replayDepth = 0;
  replayedKeys = 0;
}

}  // namespace trovix
