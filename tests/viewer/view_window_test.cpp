// SPDX-License-Identifier: GPL-3.0-or-later
// The view window on the offscreen platform: loading, typing, saving through
// the save dialog's answerer, hex round trips, locked viewing, closing all
// views, find and key macros.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "dialogs/message_box.h"
#include "foundation/file_system.h"
#include "foundation/platform_ui.h"
#include "foundation/settings.h"
#include "foundation/string_arrays.h"
#include "foundation/strings.h"
#include "test_util.h"
#include "viewer/file_save_form.h"
#include "viewer/find_macros.h"
#include "viewer/view_window.h"

namespace trovix {
namespace {

using test::ReadAll;
using test::WriteAll;

class ViewWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    INIStore.Clear();
    SetMessageBoxAnswerer([this](uint8_t, const std::string &message, const std::string &) {
      messages.push_back(message);
      return 0;
    });
    SetFileSaveAnswerer([this](TFileSaveRequest &request) {
      asked.push_back(request);
      return answer;
    });
    ViewerHooks().openFile = [this](QWidget *, const std::string &) { return ++opened > 0; };
  }
  void TearDown() override {
    SetFileSaveAnswerer(nullptr);
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *view = qobject_cast<TViewFileForm *>(w)) view->Memo->document()->setModified(false);
    CloseAllViews();
    SetMessageBoxAnswerer(nullptr);
    ViewerHooks().openFile = nullptr;
    ClearMacros();
    INIStore.Clear();
  }
  // Opens path and waits for the read (which lands at once unless the
  // machine is slow).
  TViewFileForm *Open(const std::string &path, bool hex = false, bool newWindow = true,
                      const std::string &target = "") {
    QPointer<TViewFileForm> view = ViewFile(path, newWindow, hex, target, nullptr);
    while (view && view->LoadPending()) QCoreApplication::processEvents();
    return view;
  }

  test::TempFolder dir;
  std::vector<std::string> messages;
  std::vector<TFileSaveRequest> asked;
  int answer = fsrSave;
  int opened = 0;
};

TEST_F(ViewWindowTest, TypeAndSaveWithCtrlS) {
  const std::string path = dir / "notes.txt";
  WriteAll(path, "line one\nline two\n");
  TViewFileForm *view = Open(path);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->Mode, vmText);
  EXPECT_EQ(view->windowTitle().toStdString(), path);
  EXPECT_FALSE(view->bSave->isEnabled());
  QTest::keyClicks(view->Memo, "New ");
  EXPECT_TRUE(view->bSave->isEnabled());
  QTest::keyClick(view->Memo, Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].folder, dir.path());
  EXPECT_EQ(asked[0].name, "notes.txt");
  EXPECT_EQ(asked[0].type, 0);
  EXPECT_EQ(ReadAll(path), "New line one\nline two\n");
  EXPECT_EQ(ReadAll(path + "~"), "line one\nline two\n");
  EXPECT_FALSE(view->bSave->isEnabled());
}

TEST_F(ViewWindowTest, CloseQueryCancelKeepsDontSaveWritesNothing) {
  const std::string path = dir / "a.txt";
  WriteAll(path, "abc\n");
  QPointer<TViewFileForm> view = Open(path);
  QTest::keyClicks(view->Memo, "x");
  answer = fsrCancel;
  EXPECT_FALSE(view->close());
  EXPECT_TRUE(view->isVisible());
  answer = fsrDontSave;
  EXPECT_TRUE(view->close());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(view.isNull());
  EXPECT_EQ(ReadAll(path), "abc\n");
  EXPECT_FALSE(FsExists(path + "~"));
  EXPECT_EQ(LockedView, nullptr);
}

TEST_F(ViewWindowTest, EnterKeepsIndentAndTheFileLineEnds) {
  const std::string path = dir / "crlf.txt";
  WriteAll(path, "    x\r\nend");
  TViewFileForm *view = Open(path);
  QTextCursor cursor = view->Memo->textCursor();
  cursor.setPosition(5);
  view->Memo->setTextCursor(cursor);
  QTest::keyClick(view->Memo, Qt::Key_Return);
  QTest::keyClicks(view->Memo, "y");
  ASSERT_TRUE(view->SaveTextFile());
  EXPECT_EQ(ReadAll(path), "    x\r\n    y\r\nend");
}

TEST_F(ViewWindowTest, UnchangedFilesSaveBackByteForByte) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  const std::string contents[] = {"lf\nonly\n", "crlf\r\nfile\r\n", "mixed\r\nends\nhere\r",
                                  "latin \xE9t\xE9\n", std::string("nul\0\0x", 7) + all};
  WriteAll(dir / "start.txt", "start\n");
  TViewFileForm *view = Open(dir / "start.txt");
  int i = 0;
  for (const std::string &bytes : contents) {
    const std::string path = dir / ("f" + std::to_string(i++));
    WriteAll(path, bytes);
    ASSERT_TRUE(view->LoadText(path));
    view->FileName = path;
    ASSERT_TRUE(view->SaveTextFile());
    EXPECT_EQ(ReadAll(path), bytes) << i;
  }
}

TEST_F(ViewWindowTest, HexSavedAsBinaryReproducesTheFile) {
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes += static_cast<char>((i * 7) & 0xFF);
  const std::string path = dir / "data.bin";
  WriteAll(path, bytes);
  TViewFileForm *view = Open(path, true);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->Mode, vmHex);
  EXPECT_TRUE(view->windowTitle().endsWith("  (HEX)"));
  EXPECT_TRUE(view->Memo->toPlainText().startsWith("00 07 0E 15"));
  QTest::keyClick(view->Memo, Qt::Key_End);
  QTest::keyClicks(view->Memo, " ");
  QTest::keyClick(view->Memo, Qt::Key_Backspace);
  ASSERT_TRUE(view->bSave->isEnabled());
  EXPECT_TRUE(view->close());
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].type, 1);
  EXPECT_EQ(ReadAll(path), bytes);
  EXPECT_EQ(ReadAll(path + "~"), bytes);
}

TEST_F(ViewWindowTest, LargeFilesShowAtOnceAndLoadTheRestInSteps) {
  // A Latin-1 text with CR LF lines, large enough to load in steps.
  std::string bytes;
  for (int i = 0; bytes.size() < 700000; ++i) bytes += "line " + std::to_string(i) + " caf\xE9\r\n";
  const int64_t lines = std::count(bytes.begin(), bytes.end(), '\n');
  const std::string path = dir / "big.txt";
  WriteAll(path, bytes);
  TViewFileForm *view = Open(path);
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(view->Loading());
  EXPECT_LT(view->Memo->document()->blockCount(), lines);
  EXPECT_TRUE(view->Memo->isReadOnly());
  EXPECT_EQ(view->StatusText(), "|b|4Line 1 / " + NumToStrCommas(lines));
  // A key typed during the load is refused; once all is in, it edits the
  // whole text, not undoable beyond the typed key, which saves back with
  // the file's bytes.
  QTest::keyClicks(view->Memo, "x");
  EXPECT_TRUE(view->Loading());
  EXPECT_FALSE(view->Memo->document()->isModified());
  for (int turns = 0; view->Loading() && turns < 10000; ++turns) QCoreApplication::processEvents();
  EXPECT_FALSE(view->Loading());
  QTest::keyClicks(view->Memo, "x");
  EXPECT_EQ(view->Memo->document()->blockCount(), lines + 1);
  EXPECT_TRUE(view->Memo->toPlainText().endsWith(QString::fromUtf8("caf\xC3\xA9\n")));
  view->Memo->undo();
  EXPECT_FALSE(view->Memo->document()->isUndoAvailable());
  EXPECT_EQ(view->Memo->document()->blockCount(), lines + 1);
  ASSERT_TRUE(view->SaveTextFile());
  EXPECT_EQ(ReadAll(path), bytes);

  // A large hex view loads from the event loop into the whole dump.
  std::string data;
  for (int i = 0; i < 200000; ++i) data += static_cast<char>(i * 13);
  WriteAll(path, data);
  view = Open(path, true);
  ASSERT_TRUE(view->Loading());
  for (int turns = 0; view->Loading() && turns < 10000; ++turns) QCoreApplication::processEvents();
  EXPECT_FALSE(view->Loading());
  EXPECT_FALSE(view->Memo->isReadOnly());
  EXPECT_FALSE(view->bSave->isEnabled());
  std::string dump = BlockToHex(data.data(), -static_cast<int32_t>(data.size()));
  dump.erase(std::remove(dump.begin(), dump.end(), '\r'), dump.end());
  EXPECT_EQ(view->Memo->toPlainText().toStdString(), dump);
  // A locked view reused while it loads starts the new file afresh.
  WriteAll(dir / "small.txt", "small\n");
  WriteAll(dir / "big2.bin", data);
  view = Open(dir / "big2.bin", true);
  ASSERT_TRUE(view->Loading());
  EXPECT_EQ(Open(dir / "small.txt", false, false), view);
  EXPECT_FALSE(view->Loading());
  EXPECT_EQ(view->Memo->toPlainText(), "small\n");
}

TEST_F(ViewWindowTest, BadHexAndFailedSavesKeepTheWindowAndTheFile) {
  const std::string path = dir / "h.bin";
  WriteAll(path, "AB");
  TViewFileForm *view = Open(path, true);
  QTest::keyClicks(view->Memo, "zz ");
  EXPECT_FALSE(view->SaveTextFile());
  EXPECT_EQ(messages.back(), "|b|1ERROR: Data not all HEX (or quoted)");
  view->Memo->selectAll();
  QTest::keyClicks(view->Memo, "41 42 43");
  FsInjectFault(FsOp::ShortWrite, "h.bin", 0, 1);
  EXPECT_FALSE(view->SaveTextFile());
  FsClearFaults();
  EXPECT_NE(messages.back().find("ERROR: Can not Save file"), std::string::npos);
  EXPECT_EQ(ReadAll(path), "AB");
  EXPECT_TRUE(view->bSave->isEnabled());
}

TEST_F(ViewWindowTest, ViewRulesInWindows) {
  const std::string text = dir / "t.txt", bin = dir / "b.bin";
  WriteAll(text, "text\n");
  WriteAll(bin, std::string(100, '\0'));
  TViewFileForm *first = Open(text);
  EXPECT_EQ(Open(text), first);  // the same file, the same sense: nothing
  TViewFileForm *hex = Open(text, true);
  EXPECT_NE(hex, first);
  EXPECT_EQ(LockedView, hex);
  EXPECT_EQ(Open(bin), nullptr);  // goes to the desktop; no window stays
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(LockedView, nullptr);
  // A file too large for the hex view: a message at once, no window.
  const std::string huge = dir / "huge";
  { std::ofstream(huge, std::ios::binary); }
  std::filesystem::resize_file(huge, int64_t(4) << 30);
  EXPECT_EQ(Open(huge, true), nullptr);
  EXPECT_NE(messages.back().find("too large"), std::string::npos);
  EXPECT_EQ(Open(dir / "missing.txt"), nullptr);
  EXPECT_EQ(messages.back().rfind("|b|1ERROR: Can not View file", 0), 0u);
}

TEST_F(ViewWindowTest, LockedViewingReusesTheNewestWindow) {
  const std::string a = dir / "a.txt", b = dir / "b.txt", bin = dir / "c.bin";
  WriteAll(a, "aaa\n");
  WriteAll(b, "bbb\n");
  WriteAll(bin, std::string(100, '\0'));
  TViewFileForm *view = Open(a);
  ASSERT_NE(view, nullptr);
  EXPECT_FALSE(view->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(Open(b, false, false), view);
  EXPECT_EQ(view->FileName, b);
  EXPECT_TRUE(view->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(view->Memo->toPlainText(), "bbb\n");
  EXPECT_EQ(Open(bin, false, false), view);  // stays, empty
  EXPECT_FALSE(view->pMemo->isVisible());
  int released = 0;
  ViewerHooks().lockReleased = [&] { ++released; };
  view->close();
  EXPECT_EQ(released, 1);
  EXPECT_EQ(LockedView, nullptr);
  ViewerHooks().lockReleased = nullptr;
}

TEST_F(ViewWindowTest, CloseAllViewsClosesEveryViewAndResetsTheCascade) {
  ViewCascade = 0;
  std::vector<QPointer<TViewFileForm>> views;
  for (int i = 0; i < 17; ++i) {
    const std::string path = dir / ("v" + std::to_string(i) + ".txt");
    WriteAll(path, "x\n");
    views.push_back(Open(path));
  }
  EXPECT_EQ(views[1]->pos(), QPoint(16, 16));
  EXPECT_EQ(views[16]->pos(), QPoint(0, 0));
  EXPECT_EQ(ViewCascade, 1);
  EXPECT_TRUE(CloseAllViews());
  for (auto &view : views) EXPECT_TRUE(view.isNull());
  EXPECT_EQ(ViewCascade, 0);
}

TEST_F(ViewWindowTest, FindKeysAndHistory) {
  const std::string path = dir / "f.txt";
  WriteAll(path, "abab\nxA7x\n");
  SearchHistory.clear();
  TViewFileForm *view = Open(path, false, true, "ab");
  EXPECT_EQ(view->eTarget->currentText(), "ab");
  QTest::keyClick(view->Memo, Qt::Key_F3);
  EXPECT_EQ(view->Memo->textCursor().selectionStart(), 2);
  EXPECT_EQ(view->Memo->textCursor().selectedText(), "ab");
  view->bWildSearch->setChecked(true);
  view->eTarget->setEditText("#?");
  view->SearchClick(1);
  EXPECT_EQ(view->Memo->textCursor().selectedText(), "7x");
  view->bWildSearch->setChecked(false);
  view->eTarget->setEditText("AB");
  view->bIgnoreCase->setChecked(true);
  view->SearchClick(-1);
  EXPECT_EQ(view->Memo->textCursor().selectionStart(), 2);
  EXPECT_EQ(SearchHistory, (std::vector<std::string>{"AB", "#?"}));
  // Ctrl+F takes the selection into the find box.
  QTest::keyClick(view->Memo, Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(view->eTarget->currentText(), "ab");
}

// A find text that is not UTF-8 (handed over by a search) keeps its bytes in
// the history and finds its bytes in a file shown one character per byte.
TEST_F(ViewWindowTest, FindTextKeepsBytesThatAreNotUtf8) {
  const std::string path = dir / "latin.txt", target = "caf\xe9";
  WriteAll(path, "un caf\xe9 noir\n" + std::string(300, 'x') + "\n");
  SearchHistory.clear();
  SearchHistoryAdd("caf\xff");  // shows alike, other bytes
  TViewFileForm *view = Open(path, false, true, target);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(ComboText(view->eTarget), target);
  view->SearchClick(1);
  EXPECT_EQ(view->Memo->textCursor().selectionStart(), 3);
  EXPECT_EQ(view->Memo->textCursor().selectedText(), QString::fromUtf8("caf\xc3\xa9"));
  EXPECT_EQ(SearchHistory, (std::vector<std::string>{target, "caf\xff"}));
  EXPECT_EQ(ComboText(view->eTarget), target);
  EXPECT_EQ(ComboItemBytes(view->eTarget, 1), "caf\xff");
}

TEST_F(ViewWindowTest, ToolsChangeTheText) {
  const std::string path = dir / "tools.txt";
  WriteAll(path, "hello world\n\tone\n\ttwo\n");
  TViewFileForm *view = Open(path);
  QTest::keyClick(view->Memo, Qt::Key_K, Qt::ControlModifier);
  EXPECT_TRUE(view->Memo->toPlainText().startsWith("Hello world"));
  QTextCursor cursor = view->Memo->textCursor();
  cursor.setPosition(13);
  cursor.setPosition(20, QTextCursor::KeepAnchor);
  view->Memo->setTextCursor(cursor);
  QTest::keyClick(view->Memo, Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(view->Memo->toPlainText(), "Hello world\none\ntwo\n");
  EXPECT_EQ(view->StatusText(), "|b|22 words");
  const QString before = view->Memo->toPlainText();
  view->Memo->selectAll();
  view->bSecurityClick();
  EXPECT_NE(view->Memo->toPlainText(), before);
  view->bSecurityClick();
  EXPECT_EQ(view->Memo->toPlainText(), before);
  view->Memo->selectAll();
  QTest::keyClicks(view->Memo, "48 65 6C 6C 6F");
  view->Memo->selectAll();
  view->HexAsciiClick();
  EXPECT_EQ(view->Memo->toPlainText(), "\"Hello\"");
  view->Memo->selectAll();
  view->Memo->insertPlainText("one\ntwo\nthree\nfour");
  cursor = view->Memo->textCursor();
  cursor.clearSelection();
  cursor.setPosition(3);
  view->Memo->setTextCursor(cursor);
  view->MemoClick();
  EXPECT_EQ(view->StatusText(), "|b|4Line 1 / 4");
  view->Memo->appendPlainText("");  // a last line end adds no line
  cursor.setPosition(3);
  view->Memo->setTextCursor(cursor);
  view->MemoClick();
  EXPECT_EQ(view->StatusText(), "|b|4Line 1 / 4");
}

TEST_F(ViewWindowTest, RecordAndReplayAMacro) {
  const std::string path = dir / "m.txt";
  WriteAll(path, "");
  TViewFileForm *view = Open(path);
  view->activateWindow();
  view->Memo->setFocus();
  QApplication::setActiveWindow(view);
  view->bRecordMacro->trigger();
  QTest::keyClick(view->Memo, Qt::Key_Q, Qt::ControlModifier);
  QTest::keyClicks(view->Memo, "hi");
  view->bRecordMacro->trigger();
  EXPECT_EQ(view->Memo->toPlainText(), "hi");
  ASSERT_NE(MacroFor(0x451), nullptr);
  QTest::keyClick(view->Memo, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(view->Memo->toPlainText(), "hihi");
  // A macro that calls itself stops.
  MacroTable[0x452] = {0x452, 'X'};
  QTest::keyClick(view->Memo, Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(view->Memo->toPlainText().count('x'), MacroMaxDepth);
}

}  // namespace
}  // namespace trovix
