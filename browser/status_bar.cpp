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

namespace {

// "42 s", "3:05" or "1:02:03".
std::string DurationText(int64_t seconds) {
  if (seconds < 60) return std::to_string(seconds) + " s";
  const int64_t h = seconds / 3600, m = seconds / 60 % 60, sec = seconds % 60;
  auto two = [](int64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); };
  return (h > 0 ? std::to_string(h) + ":" + two(m) : std::to_string(m)) + ":" + two(sec);
}

}  // namespace

std::string OperationProgressText(const OperationProgressFigures &f) {
  if (f.Operations <= 0) return std::string();
  const std::string more = f.Counted ? "" : "+";
  std::string text = NumToStrCommas(f.FilesDone) + " of " + NumToStrCommas(f.FilesTotal) + more +
                     " files, " + FormatSizeBytes(f.BytesDone) + " of " +
                     FormatSizeBytes(f.BytesTotal) + more;
  if (f.Seconds >= 1 && f.BytesDone > 0) {
    const double rate = static_cast<double>(f.BytesDone) / f.Seconds;
    text += ", " + FormatSizeBytes(static_cast<int64_t>(rate)) + "/s";
    if (f.Counted && rate >= 1)
      text += ", " +
              DurationText(static_cast<int64_t>(
                  static_cast<double>(f.BytesTotal - f.BytesDone) / rate + 0.5)) +
              " left";
  }
  return text;
}

int32_t OperationProgressPercent(const OperationProgressFigures &f) {
  if (f.Operations <= 0) return -1;
  if (f.BytesTotal > 0) return static_cast<int32_t>(f.BytesDone * 100 / f.BytesTotal);
  if (f.FilesTotal > 0) return static_cast<int32_t>(f.FilesDone * 100 / f.FilesTotal);
  return -1;
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
