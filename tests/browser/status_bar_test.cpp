// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/status_bar.h"

#include <gtest/gtest.h>

#include "browser/file_list.h"
#include "browser/operation_state.h"
#include "browser/status_bar_ui.h"

using namespace trovix;

TEST(StatusBar, Panel0Text) {
  StatusSummary s;
  s.Count = 10;
  s.TotalBytes = 1000;
  s.HaveSpace = true;
  s.FreeBytes = 25LL << 30;
  s.SizeBytes = 100LL << 30;
  EXPECT_EQ(StatusPanel0Text(s),
            "|4|b10 |bitems: |b1,000 Bytes |b       |1Free Space: |b25 GB / 100 GB  (25%)");
  // One entry; a volume without a size has no share; unreadable figures are left out.
  s = StatusSummary();
  s.Count = 1;
  s.HaveSpace = true;
  EXPECT_EQ(StatusPanel0Text(s),
            "|4|b1 |bitem: |b0 Bytes |b       |1Free Space: |b0 Bytes / 0 Bytes");
  s.HaveSpace = false;
  EXPECT_EQ(StatusPanel0Text(s), "|4|b1 |bitem: |b0 Bytes |b       ");
}

TEST(StatusBar, FreeShareAndGauge) {
  EXPECT_EQ(FreeSpacePercent(1, 3), 33);
  EXPECT_EQ(FreeSpacePercent(0, 100), 0);
  EXPECT_EQ(FreeSpacePercent(5, 0), -1);
  // Huge volumes: free x 100 would overflow 64 bits.
  EXPECT_EQ(FreeSpacePercent(INT64_MAX / 2, INT64_MAX), 49);
  EXPECT_EQ(FreeSpacePercent(INT64_MAX, INT64_MAX), 100);
  // The used share fills the gauge from below the free share.
  EXPECT_EQ(GaugeUsedTop(1, 18, 0), 1);
  EXPECT_EQ(GaugeUsedTop(1, 18, 50), 10);
  EXPECT_EQ(GaugeUsedTop(1, 18, 100), 19);
}

TEST(StatusBar, OperationProgressWords) {
  OperationProgressFigures f;
  EXPECT_EQ(OperationProgressText(f), "");
  EXPECT_EQ(OperationProgressPercent(f), -1);
  f.Operations = 1;
  f.FilesDone = 3;
  f.FilesTotal = 1200;
  f.BytesDone = 5000;
  f.BytesTotal = 20000;
  f.Seconds = 0.5;  // too early for a rate
  EXPECT_EQ(OperationProgressText(f), "3 of 1,200+ files, 5,000 Bytes of 19 KB+");
  f.Counted = true;
  f.Seconds = 2;  // 2,500 bytes a second, 6 seconds left
  EXPECT_EQ(OperationProgressText(f),
            "3 of 1,200 files, 5,000 Bytes of 19 KB, 2,500 Bytes/s, 6 s left");
  EXPECT_EQ(OperationProgressPercent(f), 25);
  f.BytesDone = 100;
  f.Seconds = 1;
  EXPECT_NE(OperationProgressText(f).find(", 3:19 left"), std::string::npos);
  f.BytesTotal = 0;  // only files: their share
  EXPECT_EQ(OperationProgressPercent(f), 0);
}

TEST(StatusBar, CancelSquare) {
  EXPECT_TRUE(CancelSquareHit(440, 440, 20));
  EXPECT_TRUE(CancelSquareHit(460, 440, 20));
  EXPECT_FALSE(CancelSquareHit(439, 440, 20));
  EXPECT_FALSE(CancelSquareHit(461, 440, 20));
  // While operations run; the window test clicks the square on the bar.
  CancelRequested = false;
  ActiveOperations = 2;
  EXPECT_TRUE(CancelShown());
  EXPECT_TRUE(StatusBarCancelPress(445, 440, 20));
  EXPECT_TRUE(CancelRequested);
  EXPECT_FALSE(CancelShown());  // a pending cancel hides the square
  EXPECT_FALSE(StatusBarCancelPress(445, 440, 20));
  ActiveOperations = 0;
  CancelRequested = false;
}
