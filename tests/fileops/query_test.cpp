// SPDX-License-Identifier: GPL-3.0-or-later
// Rules of the issues dialog; the review of a copy end to end runs in the
// dialog's tests.
#include "fileops/query.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "browser/operation_state.h"
#include "dialogs/event_log.h"
#include "dialogs/markup.h"
#include "foundation/file_system.h"
#include "test_util.h"

namespace trovix {
namespace {

namespace fs = std::filesystem;
constexpr int64_t kBase = 133'000'000'000'000'000;  // a file time in 2022

std::vector<OperationIssue> MakeIssues(std::initializer_list<const char *> sources) {
  std::vector<OperationIssue> issues;
  for (const char *source : sources) {
    OperationIssue issue;
    issue.Source = source;
    issues.push_back(issue);
  }
  return issues;
}

std::string Ticks(const std::vector<OperationIssue> &issues) {
  std::string marks;
  for (const OperationIssue &issue : issues) marks += issue.Ticked ? 'x' : '.';
  return marks;
}

TEST(QueryRules, TextsOfLabelHeaderAndCells) {
  EXPECT_EQ(QueryLabelCodes("\\1\\b\\| Problems / Issues"), "|1|b|| Problems / Issues");
  EXPECT_EQ(QueryLabelCodes("\\b x\\"), "|b x\\");  // a final backslash stays
  EXPECT_EQ(QueryLabelCodes(""), "");

  EXPECT_EQ(QueryHeaderText(0, 0), "");
  EXPECT_EQ(QueryHeaderText(2, 0), "|bSource");
  EXPECT_EQ(QueryHeaderText(2, 2), "|u|bSource");
  EXPECT_EQ(QueryHeaderText(4, 2), "|bProblem");

  EXPECT_EQ(QueryFolderPart("/a/b/c.txt"), "/a/b/");
  EXPECT_EQ(QueryFolderPart("c.txt"), "");
}

TEST(QueryRules, TickingAndSortingLeaveOutRowsNotOnShow) {
  auto issues = MakeIssues({"b", "C", "a", "z"});
  QueryToggleTicks(issues, 0, 99);  // the header and rows past the list count for nothing
  EXPECT_EQ(Ticks(issues), "xxxx");
  QueryToggleTicks(issues, 4, 2);
  EXPECT_EQ(Ticks(issues), "x...");
  issues[1].Problem = "|1y";
  issues[0].Problem = "|2x";
  issues[3].Problem = "|3w";
  QuerySortIssues(issues, qcSource, 3);  // the appended fourth stays last
  EXPECT_EQ(issues[0].Source + issues[1].Source + issues[2].Source + issues[3].Source, "abCz");
  QuerySortIssues(issues, qcProblem, 4);
  EXPECT_EQ(issues[0].Source + issues[1].Source + issues[2].Source + issues[3].Source, "aCbz");
}

TEST(QueryRules, DateText) {
  std::tm local{};  // 2024-03-07 09:05:03 local time
  local.tm_year = 2024 - 1900;
  local.tm_mon = 2;
  local.tm_mday = 7;
  local.tm_hour = 9;
  local.tm_min = 5;
  local.tm_sec = 3;
  local.tm_isdst = -1;
  const int64_t unix = std::mktime(&local);
  EXPECT_EQ(QueryDateTimeText(FileTimeFromUnixNs(unix * 1'000'000'000)), "7 Mar 2024  09:05:03");
}

// A fresh folder for each test, the issue list and log emptied around it.
class QueryFiles : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    IssueList.Clear();
    LogClear();
  }
  std::string P(const std::string &rel) const { return root + rel; }
  void Write(const std::string &rel, const std::string &text, int64_t time = kBase) {
    fs::create_directories(fs::path(P(rel)).parent_path());
    std::ofstream(P(rel), std::ios::binary) << text;
    ASSERT_TRUE(FsSetFileTime(P(rel), time));
  }
  test::TempFolder dir{"trovix-query"};
  std::string root = dir.path();
};

TEST_F(QueryFiles, CompareMessageDescribesBothFiles) {
  Write("s.bin", std::string(1234, '\0'));
  Write("d.bin", std::string(5, '\1'), kBase + ftDay);
  const std::string both = QueryCompareMessage(P("s.bin"), P("d.bin"));
  EXPECT_EQ(both, "|bSource: " + P("s.bin") + "|b|n|t1,234 bytes|n|t" + QueryDateTimeText(kBase) +
                      "|n|n|bDestination: " + P("d.bin") + "|b|n|t5 bytes|n|t" +
                      QueryDateTimeText(kBase + ftDay));
  EXPECT_EQ(QueryCompareMessage(P("s.bin"), P("gone")).substr(both.find("|n|n")),
            "|n|n|bDestination: " + P("gone") + "|b|n|t|b|1CAN NOT BE OPENED OR DOES NOT EXIST");
  EXPECT_EQ(QueryCompareMessage("", P("d.bin")).substr(0, 18), "|n|n|bDestination:");
}

// The problem column names the cause after the problem's own words; the
// event log has it too.
TEST_F(QueryFiles, ProblemColumnShowsTheCause) {
  Write("big", std::string(100000, 'x'));
  FsInjectFault(FsOp::ShortWrite, P("out/"), 0, 1000);  // a full disk
  EXPECT_FALSE(FileCopy(P("big"), P("out/big"), false));
  FsClearFaults();
  OperationIssue issue;
  ASSERT_TRUE(IssueList.Get(0, issue));
  EXPECT_EQ(issue.Error, ENOSPC);
  EXPECT_EQ(MarkupPlainText(QueryCellText(issue, qcProblem), '|'),
            "File Write Error: No space left on device");
  EXPECT_EQ(LogLines(), std::vector<std::string>{"\t" + P("out/big") +
                                                 ": File Write Error: No space left on device"});
  issue.Error = 0;
  EXPECT_EQ(QueryCellText(issue, qcProblem), prWriteError);
}

TEST_F(QueryFiles, ProceedRunsTheTickedIssuesForced) {
  Write("ro.txt", "x");
  ASSERT_TRUE(FsSetReadOnly(P("ro.txt"), true));
  Write("folder/in.txt", "y");
  Write("test.txt", "z");
  IssueList.Add(okDelete, P("ro.txt"), "", prCannotDelete);
  IssueList.Add(okCopy, P("folder/"), P("copy/"), prCreateError);  // folders never proceed
  IssueList.Add(okCopy, "", P("w.txt"), prWriteError);             // nothing to copy from
  IssueList.Add(okTest, P("test.txt"), "", prReadError);
  IssueList.Add(okDelete, P("unticked.txt"), "", prCannotDelete);
  IssueList.Change([](std::vector<OperationIssue> &issues) {
    for (size_t i = 0; i + 1 < issues.size(); ++i) issues[i].Ticked = true;
  });
  EXPECT_EQ(QueryProceed(), 2);
  EXPECT_FALSE(FsExists(P("ro.txt")));
  EXPECT_EQ(LogLines(), std::vector<std::string>{"\t" + P("ro.txt") + " deleted"});
  EXPECT_FALSE(FsExists(P("copy/")));
  EXPECT_EQ(IssueList.Count(), 5);  // nothing new was met
}

}  // namespace
}  // namespace trovix
