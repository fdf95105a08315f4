// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/status_bar.h"

#include "browser/file_list.h"
#include "browser/operation_state.h"
#include "foundation/file_system.h"
#include "foundation/strings.h"

namespace trovix {

namespace {

std::string Size(uint64_t bytes) { return FormatSizeBytes(static_cast<int64_t>(bytes)); }

}  // namespace

StatusSummary CurrentStatusSummary(const TFileListState &list, int32_t tabIndex,
                                   const FreeSpaceReader &freeSpace) {
  StatusSummary s;
  for (const FileEntry &entry : list.FileList) {
    if (!entry.Selected) continue;
    ++s.Marked;
    s.MarkedBytes += entry.Size;
  }
  s.Count = list.FileCount();
  if (tabIndex >= 0 && tabIndex < static_cast<int32_t>(list.TabStates.size())) {
    const TabState &tab = list.TabStates[static_cast<size_t>(tabIndex)];
    s.TotalBytes = tab.TotalBytes;
    if (!tab.Folder.empty() && freeSpace) {
      const FreeSpaceState state = freeSpace(tab.Folder, s.FreeBytes, s.SizeBytes);
      s.HaveSpace = state == FreeSpaceState::Have && s.FreeBytes >= 0 && s.SizeBytes >= 0;
      s.SpaceUnknown = state == FreeSpaceState::Waiting;
    } else if (!tab.Folder.empty()) {
      s.HaveSpace =
          FsFreeSpace(tab.Folder, s.FreeBytes, s.SizeBytes) && s.FreeBytes >= 0 && s.SizeBytes >= 0;
    }
  }
  return s;
}

int32_t FreeSpacePercent(int64_t freeBytes, int64_t sizeBytes) {
  if (sizeBytes <= 0 || freeBytes < 0) return -1;
  // 128-bit so that free x 100 cannot overflow on any volume.
  __int128 percent = static_cast<__int128>(freeBytes) * 100 / sizeBytes;
  return static_cast<int32_t>(percent > 100 ? 100 : percent);
}

std::string StatusPanel0Text(const StatusSummary &s) {
  if (!s.Listing.empty()) return s.Listing;
  std::string text = "|4|b";
  if (s.Marked > 0) text += NumToStrCommas(s.Marked) + " / ";
  text += NumToStrCommas(s.Count) + " |b" + ItemWord(s.Count) + ": |b";
  if (s.Marked > 0) text += Size(s.MarkedBytes) + " / ";
  text += Size(s.TotalBytes) + " |b       ";
  if (s.SpaceUnknown) return text + "|1Free Space: |b?";
  if (!s.HaveSpace) return text;
  text += "|1Free Space: |b" + FormatSizeBytes(s.FreeBytes) + " / " + FormatSizeBytes(s.SizeBytes);
  int32_t percent = FreeSpacePercent(s.FreeBytes, s.SizeBytes);
  if (percent >= 0) text += "  (" + NumToStr(percent) + "%)";
  return text;
}

int32_t GaugeUsedTop(int32_t top, int32_t height, int32_t freePercent) {
  if (freePercent < 0) freePercent = 0;
  if (freePercent > 100) freePercent = 100;
  return top + static_cast<int32_t>(static_cast<int64_t>(height) * freePercent / 100);
}

bool CancelShown() { return ActiveOperations >= 1 && !CancelRequested; }

bool CancelSquareHit(int32_t x, int32_t panel0Width, int32_t barHeight) {
  return x >= panel0Width && x <= panel0Width + barHeight;
}

bool StatusBarCancelPress(int32_t x, int32_t panel0Width, int32_t barHeight) {
  if (!CancelShown() || !CancelSquareHit(x, panel0Width, barHeight)) return false;
  CancelRequested = true;
  return true;
}

}  // namespace trovix
