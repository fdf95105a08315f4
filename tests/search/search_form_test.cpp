// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/search_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "dialogs/markup.h"
#include "dialogs/message_box.h"
#include "foundation/platform_ui.h"
#include "search/summary_form.h"
#include "test_util.h"

namespace trovix {
namespace {

namespace fs = std::filesystem;

class SearchFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteAll(t / "alpha.txt", "hello world\n");
    test::WriteAll(t / "beta.TXT", "HELLO again\n");
    test::WriteAll(t / "sub/gamma.log", "nothing here\n");
    test::WriteAll(t / "sub/delta.txt", "hello\n");
    SetMessageBoxAnswerer([this](uint8_t, const std::string &message, const std::string &) {
      messages.push_back(message);
      return 0;
    });
    NiceLabelFormatChar = '|';
    if (!SummaryForm) SummaryForm = new TSummaryForm;
    form = new TSearchForm(t.path());
  }
  void TearDown() override {
    if (form) {
      form->WaitWorker();
      form->close();
    }
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SetMessageBoxAnswerer(nullptr);
  }
  void RunSearch(const std::string &names, const std::string &contents = "") {
    form->eFilename->setEditText(QString::fromStdString(names));
    form->eContaining->setEditText(QString::fromStdString(contents));
    form->bSearchClick();
    form->WaitWorker();
  }

  test::TempFolder t;
  QPointer<TSearchForm> form;
  std::vector<std::string> messages;
};

TEST_F(SearchFormTest, SearchesShowsAndKeepsHistories) {
  RunSearch(".txt");
  EXPECT_EQ(form->Job().ResultCount, 3);
  EXPECT_EQ(form->GFileInfo->RowCount(), 4);
  EXPECT_TRUE(form->bSearch->isEnabled());
  EXPECT_EQ(form->StatusText(), "|b3 items found:    |430 Bytes.|0    (1 selected)");
  RunSearch("", "hello");
  EXPECT_EQ(form->Job().ResultCount, 3);
  RunSearch(".txt");
  EXPECT_EQ(NameHistory.front(), ".txt");
  EXPECT_EQ(NameHistory.size(), 1u);  // "" is not added, ".txt" moved up
  EXPECT_EQ(ContentsHistory.front(), "hello");
  // A second window starts with the latest name text.
  TSearchForm other(t.path());
  EXPECT_EQ(other.eFilename->currentText().toStdString(), ".txt");
  EXPECT_TRUE(other.eContaining->currentText().isEmpty());
}

// A name and a text that are not UTF-8 keep their bytes through the shared
// histories, the search and the text handed to a view; a name showing alike
// with other bytes is another name.
TEST_F(SearchFormTest, HistoriesKeepBytesThatAreNotUtf8) {
  const std::string name = "caf\xe9", text = "na\xefve";
  test::WriteAll(t / (name + ".txt"), std::string(400, 'x') + text + "\n");
  test::WriteAll(t / "caf\xff.txt", std::string(400, 'x') + "na\xffve\n");
  NameHistory = {name};
  ContentsHistory = {text};
  TSearchForm other(t.path());
  EXPECT_EQ(ComboText(other.eFilename), name);
  other.eContaining->setCurrentIndex(0);  // chosen from the list
  EXPECT_EQ(ComboText(other.eContaining), text);
  other.bSearchClick();
  other.WaitWorker();
  ASSERT_EQ(other.Job().ResultCount, 1);
  EXPECT_EQ(other.Job().Results[0].name, name + ".txt");
  EXPECT_EQ(NameHistory, std::vector<std::string>{name});
  EXPECT_EQ(ContentsHistory, std::vector<std::string>{text});
  EXPECT_EQ(ComboText(other.eContaining), text);
  std::string viewed;
  SearchHost().View = [&](const std::string &, bool, const std::string &findText, QWidget *) {
    viewed = findText;
  };
  other.GFileInfo->SetRow(1);
  other.bViewClick(false);
  SearchHost() = TSearchHost{};
  EXPECT_EQ(viewed, text);
}

TEST_F(SearchFormTest, RefusedHexLeavesEverythingAsItWas) {
  RunSearch("alpha");
  ASSERT_EQ(form->Job().ResultCount, 1);
  form->cbHex->setChecked(true);
  RunSearch("", "4G");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], SearchHexError);
  EXPECT_EQ(form->Job().State, ssReady);
  EXPECT_EQ(form->Job().ResultCount, 1);
  EXPECT_NE(form->StatusText().find("1 items found"), std::string::npos);
  RunSearch("", "\"hello\" 0A");
  ASSERT_EQ(form->Job().ResultCount, 1);  // only delta ends a line right after it
  EXPECT_EQ(form->Job().Results[0].name, "delta.txt");
}

TEST_F(SearchFormTest, HeaderClicksAndSpecialBoxes) {
  RunSearch("");
  EXPECT_EQ(form->Job().SortKey, skName);
  form->HeaderClick(2);
  form->WaitWorker();
  EXPECT_EQ(form->Job().SortKey, skSize);
  EXPECT_EQ(form->SortGridColumn, 2);

  form->cbDuplicatesOnly->click();
  EXPECT_TRUE(form->cbSameName->isEnabled());
  form->cbSameSize->setChecked(false);
  form->cbUniquesOnly->click();
  EXPECT_FALSE(form->cbDuplicatesOnly->isChecked());
  form->cbUniquesOnly->click();
  EXPECT_FALSE(form->cbSameName->isEnabled());
  EXPECT_FALSE(form->cbSameSize->isChecked());  // ticks stay as they were
  EXPECT_TRUE(form->cbSameDate->isChecked());
}

TEST_F(SearchFormTest, DeleteGreysAndSummaryFollows) {
  RunSearch(".txt");
  ASSERT_EQ(form->Job().ResultCount, 3);
  form->GFileInfo->SelectRange(1, 2);
  form->bDeleteClick();
  form->WaitWorker();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "|b|4Delete 2 File(s)?");
  EXPECT_EQ(form->Job().Results[0].flag, 1);
  EXPECT_EQ(form->Job().Results[1].flag, 1);
  EXPECT_EQ(form->Job().TotalSize, 30u);

  form->bSummarizeClick();
  ASSERT_EQ(SummaryForm->TypeItems.size(), 1u);  // only the file left
  EXPECT_EQ(SummaryForm->TypeItems[0].count, 1);
  EXPECT_EQ(SummaryForm->gSummaryFiles->RowCount(), 2);
  SummaryForm->gSummaryFolders->SetRow(1);
  SummaryForm->GridDblClick(SummaryForm->gSummaryFolders);
  EXPECT_EQ(form->GFileInfo->Row(), 3);
  form->close();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(form.isNull());
  EXPECT_TRUE(SummaryForm->SummarySource.isNull());
  SummaryForm->GridDblClick(SummaryForm->gSummaryFolders);  // nothing happens
}

TEST_F(SearchFormTest, KeysSearchGoDeleteAndClose) {
  form->show();
  std::string goneTo;
  SearchHost().GoTo = [&](const std::string &folder, const std::string &name) {
    goneTo = folder + name;
  };
  form->eFilename->setEditText("gamma");
  QTest::keyClick(form->eFilename->lineEdit(), Qt::Key_Return);  // Search
  form->WaitWorker();
  ASSERT_EQ(form->Job().ResultCount, 1);
  form->GFileInfo->setFocus();
  QTest::keyClick(form->GFileInfo, Qt::Key_Return);  // Go
  EXPECT_EQ(goneTo, t / "sub/gamma.log");
  QTest::keyClick(form->GFileInfo, Qt::Key_Delete);
  form->WaitWorker();
  EXPECT_EQ(messages, std::vector<std::string>{"|b|4Delete 1 File(s)?"});
  EXPECT_FALSE(fs::exists(t / "sub/gamma.log"));
  QTest::keyClick(form->GFileInfo, Qt::Key_Escape);
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(form.isNull());
  SearchHost() = TSearchHost{};
}

TEST_F(SearchFormTest, ClosingWhileBusyWaitsForTheWorker) {
  for (int i = 0; i < 3000; ++i) test::WriteAll(t / ("many/f" + std::to_string(i) + ".txt"), "x\n");
  form->eContaining->setEditText("needle");
  form->bSearchClick();
  const bool busy = form->Busy();
  form->close();
  if (busy) {
    EXPECT_TRUE(form->CloseRequested);
  }
  for (int i = 0; i < 400 && form; ++i) {
    QTest::qWait(10);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  EXPECT_TRUE(form.isNull());
}

}  // namespace
}  // namespace trovix
