// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's status bar without widgets: the markup text of panel 0
// (marked and total counts and sizes, the free space of the current folder's
// volume), the free-space gauge's share and the cancel square's rules.
#include <cstdint>
#include <functional>
#include <string>

namespace trovix {

// What panel 0 reports.
struct TFileListState;

struct StatusSummary {
  int64_t Marked = 0;        // marked entries
  uint64_t MarkedBytes = 0;  // their sizes
  int64_t Count = 0;         // entries listed
  uint64_t TotalBytes = 0;   // the tab's total
  bool HaveSpace = false;    // the volume's figures could be read
  int64_t FreeBytes = 0;
  int64_t SizeBytes = 0;
  bool SpaceUnknown = false;  // the volume does not answer: "?" for its figures
  std::string Listing;        // while a listing runs, what panel 0 shows instead
};

// How the free space of a folder's volume is read: Have (figures set),
// Failed (none to show), Waiting (the volume has not answered yet).
enum class FreeSpaceState { Have, Failed, Waiting };
using FreeSpaceReader = std::function<FreeSpaceState(const std::string &folder, int64_t &freeBytes,
                                                     int64_t &sizeBytes)>;

// The summary for the current listing (FileList) and the tab at index of
// TabStates, with the free space of the tab's folder.
// Without a reader the space is read here and now.
StatusSummary CurrentStatusSummary(const TFileListState &list, int32_t tabIndex,
                                   const FreeSpaceReader &freeSpace = nullptr);

// Percent of the volume that is free, truncated; -1 when the size is unknown.
int32_t FreeSpacePercent(int64_t freeBytes, int64_t sizeBytes);

// Panel 0's markup: "|4|b" [marked " / "] count " |b" "items: |b" [marked
// size " / "] total size " |b", seven spaces, then "|1Free Space: |b" free
// " / " size and "  (P%)". Without readable figures the free space is left
// out; with a size of 0 the percentage is; a volume that does not answer
// shows "?" for them. While a listing runs, its own text (Listing) instead.
std::string StatusPanel0Text(const StatusSummary &summary);

// The gauge of a rectangle from top with height rows: the used share is
// filled from the returned row down to the bottom.
int32_t GaugeUsedTop(int32_t top, int32_t height, int32_t freePercent);

// The running operations' progress in words: "F of N files, B of T, R/s,
// L left" (sizes as FormatSizeBytes gives them). While the totals are still
// being counted they end with "+" and no time left is given; the rate and
// the time left need a second of work. Empty with no operation reporting.
struct OperationProgressFigures;
std::string OperationProgressText(const OperationProgressFigures &figures);
// The progress bar's share in percent (bytes, else files); -1 with no total.
int32_t OperationProgressPercent(const OperationProgressFigures &figures);

// The cancel square shows while operations run and no cancel is pending.
bool CancelShown();
// x lies on the cancel square: from panel 0's width to that plus the bar's
// height.
bool CancelSquareHit(int32_t x, int32_t panel0Width, int32_t barHeight);
// A press at x: raises CancelRequested when it hits the square while the
// cancel square shows. True when it did.
bool StatusBarCancelPress(int32_t x, int32_t panel0Width, int32_t barHeight);

}  // namespace trovix
