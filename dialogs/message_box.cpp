// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/message_box.h"

#include <algorithm>

#include "foundation/strings.h"

namespace trovix {

namespace {

TMessageBoxAnswerer messageBoxAnswerer;
TEditStringAnswerer editStringAnswerer;

}  // namespace

void SetMessageBoxAnswerer(TMessageBoxAnswerer answerer) {
  messageBoxAnswerer = std::move(answerer);
}
const TMessageBoxAnswerer &MessageBoxAnswerer() { return messageBoxAnswerer; }

void SetEditStringAnswerer(TEditStringAnswerer answerer) {
  editStringAnswerer = std::move(answerer);
}
const TEditStringAnswerer &EditStringAnswerer() { return editStringAnswerer; }

std::vector<std::string> MessageBoxButtons(const std::string &list) {
  std::vector<std::string> captions;
  if (list.empty()) return {"OK"};
  size_t start = 0;
  for (;;) {
    const size_t comma = list.find(',', start);
    captions.push_back(
        list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return captions;
}

int32_t MessageBoxGlyph(const std::string &caption) {
  struct Rule {
    const char *word;
    int32_t glyph;
  };
  // Tested in this order, so "Copy X" is a copy and "Save and Continue" a
  // confirmation.
  static const Rule rules[] = {
      {"YES", 0},     {"OK", 0},     {"CONTINUE", 0}, {"NO", 1},   {"CANCEL", 1}, {"ABORT", 1},
      {"DISCARD", 1}, {"DELETE", 1}, {"SAVE", 2},     {"COPY", 4}, {"MOVE", 5},
  };
  for (const Rule &rule : rules) {
    if (StrPosWild(1, rule.word, caption) > 0) return rule.glyph;
  }
  return -1;
}

TMessageBoxKey MessageBoxKey(int32_t key) {
  if (key == mbKeyEnter || key == mbKeySpace) return {true, 0};
  if (key == mbKeyEscape) return {true, -1};
  if (key >= '1' && key <= '9') return {true, key - '1'};
  return {false, -1};
}

TMessageBoxLayout MessageBoxArrange(int32_t textRight, int32_t textBottom, size_t buttonCount) {
  TMessageBoxLayout l;
  l.areaHeight = std::max(textBottom, mbIconTop + mbIconHeight);
  l.areaWidth = std::max(textRight, mbDesignClientWidth - 6);
  l.stripTop = l.areaHeight + 8;
  l.clientHeight = l.stripTop + mbStripHeight;
  l.clientWidth = l.areaWidth + 8;
  int32_t left = 4;
  for (size_t i = 0; i < buttonCount; ++i) {
    l.buttons.push_back({left, l.stripTop + 4, mbButtonWidth, mbButtonHeight});
    left += mbButtonWidth + 4;
  }
  if (left > l.clientWidth) {
    l.clientWidth = left;
    // The framed message area follows the wider window, keeping its margin.
    l.areaWidth = l.clientWidth - 8;
  }
  return l;
}

void MessageBoxKeepOnScreen(int32_t &left, int32_t &top, int32_t width, int32_t height,
                            int32_t screenLeft, int32_t screenTop, int32_t screenWidth,
                            int32_t screenHeight, bool singleMonitor) {
  if (!singleMonitor) return;
  const int32_t bottom = screenTop + screenHeight;
  const int32_t right = screenLeft + screenWidth;
  if (top + height > bottom) top = std::max(screenTop, bottom - height - 1);
  if (left + width > right) left = std::max(screenLeft, right - width - 1);
}

}  // namespace trovix
