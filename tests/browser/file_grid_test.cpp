// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/file_grid_ui.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QWheelEvent>

#include "dialogs/options_ui.h"
#include "foundation/file_system.h"

using namespace trovix;

namespace {

FileEntry Entry(const std::string &name, uint32_t attr = 0, uint64_t size = 0) {
  FileEntry e;
  e.Name = name;
  e.Attributes = attr;
  e.Size = size;
  e.LastWrite = FileTimeFromUnixNs(1700000000LL * 1000000000LL);
  return e;
}

class FileGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    grid_.resize(420, 260);
    grid_.show();
    QApplication::processEvents();
  }

  void Show(std::vector<FileEntry> entries) {
    list.FileList = std::move(entries);
    grid_.ShowListing();
    grid_.SetRow(1);
    QApplication::processEvents();
  }

  QPoint CellCentre(int32_t col, int32_t row) const {
    const QRect r = grid_.CellRect(col, row);
    EXPECT_FALSE(r.isEmpty()) << col << "," << row;
    return r.center();
  }

  void Mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button,
             Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget *target = grid_.viewport();
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease || type == QEvent::MouseMove ? Qt::NoButton : button;
    QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, buttons, mods);
    QCoreApplication::sendEvent(target, &event);
  }
  void Click(QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    Mouse(QEvent::MouseButtonPress, pos, Qt::LeftButton, mods);
    Mouse(QEvent::MouseButtonRelease, pos, Qt::LeftButton, mods);
  }
  void Key(int key, const QString &text = QString(), Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent event(QEvent::KeyPress, key, mods, text);
    QCoreApplication::sendEvent(&grid_, &event);
  }

  TFileListState list;
  TFileGrid grid_{list};
};

}  // namespace

TEST_F(FileGridTest, ClicksMarkAndDoubleClickViews) {
  Show({Entry("alpha"), Entry("beta"), Entry("gamma"), Entry("delta"), Entry("sub", faDirectory)});
  QSignalSpy view(&grid_, &TFileGrid::viewFileRequested);
  QSignalSpy open(&grid_, &TFileGrid::openFileRequested);
  QSignalSpy newTab(&grid_, &TFileGrid::openInNewTabRequested);
  QSignalSpy menu(&grid_, &TFileGrid::contextMenuRequested);

  Click(CellCentre(0, 2));
  EXPECT_EQ(grid_.Row(), 2);
  EXPECT_TRUE(list.FileList[1].Selected);
  for (int col : {1, 2, 1, 0}) Mouse(QEvent::MouseMove, CellCentre(col, 2), Qt::NoButton);
  Click(CellCentre(0, 4), Qt::ShiftModifier);  // from the anchor (row 2) to row 4
  EXPECT_EQ(grid_.Row(), 4);
  EXPECT_EQ(list.MarkedCount(), 3);
  list.ClickCredit = 0;
  Click(CellCentre(0, 5), Qt::ControlModifier);
  EXPECT_TRUE(list.FileList[1].Selected && list.FileList[2].Selected && list.FileList[4].Selected);
  EXPECT_EQ(list.MarkedCount(), 4);
  EXPECT_EQ(view.count(), 0);

  // The second press of a double click arrives as a double-click event.
  const QPoint third = CellCentre(0, 3);
  list.ClickCredit = 0;
  Click(third);
  Mouse(QEvent::MouseButtonDblClick, third, Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, third, Qt::LeftButton);
  EXPECT_EQ(view.count(), 1);
  EXPECT_EQ(grid_.Row(), 3);
  EXPECT_EQ(list.MarkedCount(), 1);
  Click(third, Qt::ControlModifier);
  Click(third, Qt::ControlModifier);
  EXPECT_EQ(open.count(), 1);

  Mouse(QEvent::MouseButtonPress, CellCentre(0, 5), Qt::MiddleButton);
  Mouse(QEvent::MouseButtonRelease, CellCentre(0, 5), Qt::MiddleButton);
  ASSERT_EQ(newTab.count(), 1);
  EXPECT_EQ(newTab.at(0).at(0).toInt(), 5);
  Mouse(QEvent::MouseButtonPress, CellCentre(0, 1), Qt::RightButton);
  Mouse(QEvent::MouseButtonRelease, CellCentre(0, 1), Qt::RightButton);
  EXPECT_EQ(menu.count(), 1);
  EXPECT_EQ(menu.at(0).at(0).toPoint(), grid_.viewport()->mapToGlobal(CellCentre(0, 1)));

  // Header clicks sort, keeping the current entry current.
  Click(CellCentre(0, 2));
  ASSERT_EQ(list.FileList[1].Name, "beta");
  const std::pair<int, int32_t> clicks[] = {{1, smSize}, {0, smName}, {0, smExtension}};
  for (auto [col, mode] : clicks) {
    list.ClickCredit = 0;
    Click(CellCentre(col, 0));
    EXPECT_EQ(list.SortMode, mode) << "header click on column " << col;
  }
  ASSERT_NE(grid_.CurrentEntry(), nullptr);
  EXPECT_EQ(grid_.CurrentEntry()->Name, "beta");
}

TEST_F(FileGridTest, DragMarksAndDragStart) {
  Show({Entry("a"), Entry("b"), Entry("c"), Entry("d")});
  QSignalSpy drag(&grid_, &TFileGrid::dragStartRequested);
  QWidget *vp = grid_.viewport();
  auto move = [&](QPoint pos) {
    QMouseEvent event(QEvent::MouseMove, QPointF(pos), QPointF(vp->mapToGlobal(pos)), Qt::NoButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(vp, &event);
  };
  Mouse(QEvent::MouseButtonPress, CellCentre(0, 1), Qt::LeftButton);
  move(CellCentre(0, 3));
  Mouse(QEvent::MouseButtonRelease, CellCentre(0, 3), Qt::LeftButton);
  EXPECT_EQ(list.MarkedCount(), 3);
  EXPECT_EQ(grid_.Row(), 3);
  EXPECT_EQ(drag.count(), 0);
  // Pressing a marked row and leaving it drags instead of marking.
  list.ClickCredit = 0;
  Mouse(QEvent::MouseButtonPress, CellCentre(0, 2), Qt::LeftButton);
  move(CellCentre(0, 4));
  EXPECT_EQ(drag.count(), 1);
  EXPECT_FALSE(list.FileList[3].Selected);
}

TEST_F(FileGridTest, KeysTypeAheadSpaceAndSelectAll) {
  Show({Entry("apple"), Entry("banana"), Entry("cherry"), Entry("bandit")});
  QSignalSpy del(&grid_, &TFileGrid::deleteRequested);
  QSignalSpy find(&grid_, &TFileGrid::findRequested);
  QSignalSpy view(&grid_, &TFileGrid::viewFileRequested);
  Key(Qt::Key_B, "b");
  EXPECT_EQ(grid_.Row(), 2);
  Key(Qt::Key_A, "a");
  Key(Qt::Key_N, "n");
  EXPECT_EQ(grid_.Row(), 2);
  EXPECT_EQ(list.TypeAheadText, "ban");
  Key(Qt::Key_F3);
  EXPECT_EQ(grid_.Row(), 4);  // the next "ban"
  Key(Qt::Key_F3);
  EXPECT_EQ(grid_.Row(), 2);  // round again
  Key(Qt::Key_Z, "z");        // no match: beeps and starts afresh
  EXPECT_TRUE(list.TypeAheadText.empty());
  EXPECT_EQ(grid_.Row(), 2);
  Key(Qt::Key_C, "c");
  EXPECT_EQ(grid_.Row(), 3);
  Key(Qt::Key_Down);  // moving by hand forgets the typed text
  EXPECT_EQ(grid_.Row(), 4);
  EXPECT_TRUE(list.TypeAheadText.empty());

  Key(Qt::Key_Space, " ");
  EXPECT_TRUE(list.FileList[3].Selected);
  Key(Qt::Key_Space, " ");
  EXPECT_FALSE(list.FileList[3].Selected);
  Key(Qt::Key_A, "\x01", Qt::ControlModifier);
  EXPECT_EQ(list.MarkedCount(), 4);
  Key(Qt::Key_F, "\x06", Qt::ControlModifier);
  Key(Qt::Key_Delete);
  Key(Qt::Key_Return, "\r");
  EXPECT_EQ(find.count(), 1);
  EXPECT_EQ(del.count(), 1);
  EXPECT_EQ(view.count(), 1);
  Key(Qt::Key_Home);
  EXPECT_EQ(grid_.Row(), 1);
  Key(Qt::Key_End);
  EXPECT_EQ(grid_.Row(), 4);
}

TEST_F(FileGridTest, ColumnBorderDragResizes) {
  Show({Entry("a")});
  QSignalSpy resized(&grid_, &TDrawGridMouseWheel::columnResized);
  ASSERT_EQ(grid_.ColumnCount(), 3);
  // The name column starts at its default width or wider, filling free width.
  const int32_t start = grid_.ColumnWidth(0);
  EXPECT_GE(start, 114);
  const int32_t edge = grid_.CellRect(0, 0).right() + 1;
  const int32_t y = grid_.CellRect(0, 0).center().y();
  const int32_t before = list.SortMode;
  Mouse(QEvent::MouseButtonPress, QPoint(edge, y), Qt::LeftButton);
  QMouseEvent drag(QEvent::MouseMove, QPointF(edge + 50, y),
                   QPointF(grid_.viewport()->mapToGlobal(QPoint(edge + 50, y))), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(grid_.viewport(), &drag);
  Mouse(QEvent::MouseButtonRelease, QPoint(edge + 50, y), Qt::LeftButton);
  // The name column may then widen into the grid's free width; the width to
  // save is the dragged one.
  EXPECT_EQ(grid_.NameColumnUserWidth(), start + 50);
  EXPECT_GE(grid_.ColumnWidth(0), start + 50);
  EXPECT_GE(resized.count(), 1);
  EXPECT_EQ(list.SortMode, before);  // a border drag is no header click

  grid_.SetColumnWidth(1, -5);
  EXPECT_EQ(grid_.ColumnWidth(1), 0);
}

TEST_F(FileGridTest, PaintsOnlyVisibleRowsAndWheelScrolls) {
  std::vector<FileEntry> list;
  for (int i = 0; i < 1000; ++i) list.push_back(Entry("file" + std::to_string(1000 + i), 0, i));
  Show(std::move(list));
  const int32_t visible = grid_.VisibleRowCount();
  ASSERT_GT(visible, 3);
  ASSERT_LT(visible, 50);
  grid_.viewport()->repaint();
  // Header, the visible rows and at most one partly visible row.
  EXPECT_LE(grid_.PaintedCellCount(), (visible + 2) * 3);
  EXPECT_GE(grid_.PaintedCellCount(), visible * 3);

  const int32_t step = std::max(1, visible / 6);
  QPoint pos = CellCentre(0, 2);
  QWheelEvent down(QPointF(pos), QPointF(grid_.viewport()->mapToGlobal(pos)), QPoint(),
                   QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(grid_.viewport(), &down);
  EXPECT_EQ(grid_.TopRow(), 1 + step);
  EXPECT_EQ(grid_.Row(), 1);  // the wheel never moves the current row
  QWheelEvent up(QPointF(pos), QPointF(grid_.viewport()->mapToGlobal(pos)), QPoint(),
                 QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(grid_.viewport(), &up);
  QCoreApplication::sendEvent(grid_.viewport(), &up);
  EXPECT_EQ(grid_.TopRow(), 1);
  grid_.SetTopRow(995);
  QCoreApplication::sendEvent(grid_.viewport(), &down);
  EXPECT_EQ(grid_.TopRow(), grid_.RowCount() - visible);

  // Keys keep the current row in view.
  Key(Qt::Key_End);
  EXPECT_EQ(grid_.Row(), 1000);
  EXPECT_EQ(grid_.TopRow(), 1001 - visible);
}

TEST_F(FileGridTest, DateColumnHoldsDateAndTimeInItsFont) {
  std::string date, time;
  ASSERT_TRUE(FileDateText(Entry("a").LastWrite, date, time));
  auto fits = [&] {
    const QFontMetrics fm(grid_.font());
    return grid_.ColumnWidth(2) >= fm.horizontalAdvance(QStringLiteral("9999 Mar 99  ")) + 2 +
                                       fm.horizontalAdvance(QString::fromStdString(time));
  };
  EXPECT_TRUE(fits());
  QFont large = grid_.font();
  large.setPixelSize(24);
  grid_.setFont(large);
  EXPECT_TRUE(fits());
  // A width the user or the settings gave it stays through a font change.
  grid_.SetColumnWidth(2, 90);
  grid_.setFont(QFont(large.family(), 8));
  EXPECT_EQ(grid_.ColumnWidth(2), 90);
}
