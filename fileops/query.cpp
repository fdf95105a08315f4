// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/query.h"

#include <algorithm>
#include <ctime>

#include "dialogs/markup.h"
#include "foundation/file_system.h"
#include "foundation/strings.h"

namespace trovix {

int32_t QuerySortColumn = 0;

std::string QueryLabelCodes(const std::string &text) {
  std::string result = text;
  for (size_t i = 0; i + 1 < result.size(); ++i) {
    if (result[i] == '\\') result[i] = '|';
  }
  return result;
}

std::string QueryOperationName(uint8_t kind) {
  switch (kind) {
    case okNoOp: return "None";
    case okCopy: return "Copy";
    case okMove: return "Move";
    case okTest: return "Test";
    case okDelete: return "Delete";
    default: return "";
  }
}

std::string QueryHeaderText(int32_t col, int32_t sortColumn) {
  static const char *const titles[QueryColumnCount] = {"", "Operation", "Source", "Destination",
                                                       "Problem"};
  if (col <= qcTick || col >= QueryColumnCount) return "";
  return std::string(col == sortColumn ? "|u" : "") + "|b" + titles[col];
}

std::string QueryCellText(const OperationIssue &issue, int32_t col) {
  switch (col) {
    case qcOperation: return QueryOperationName(issue.Kind);
    case qcSource: return issue.Source;
    case qcDestination: return issue.Destination;
    case qcProblem: return QueryProblemText(issue);
    default: return "";
  }
}

std::string QueryProblemText(const OperationIssue &issue) {
  if (issue.Error == 0) return issue.Problem;
  return issue.Problem + ": " + MarkupEscape(FsErrorText(issue.Error), '|');
}

void QueryToggleTicks(std::vector<OperationIssue> &issues, int32_t a, int32_t b) {
  if (a > b) std::swap(a, b);
  const int32_t first = std::max(a, 1);
  const int32_t last = std::min<int64_t>(b, static_cast<int64_t>(issues.size()));
  bool anyTicked = false;
  for (int32_t row = first; row <= last; ++row) {
    if (issues[static_cast<size_t>(row - 1)].Ticked) anyTicked = true;
  }
  for (int32_t row = first; row <= last; ++row) {
    issues[static_cast<size_t>(row - 1)].Ticked = !anyTicked;
  }
}

void QueryToggleRows(int32_t a, int32_t b) {
  IssueList.Change([&](std::vector<OperationIssue> &issues) { QueryToggleTicks(issues, a, b); });
}

void QuerySortIssues(std::vector<OperationIssue> &issues, int32_t column, int32_t count) {
  if (column < qcOperation || column > qcProblem || count <= 1) return;
  const auto end = issues.begin() + std::min<int64_t>(count, static_cast<int64_t>(issues.size()));
  auto text = [column](const OperationIssue &issue) -> const std::string & {
    return column == qcSource ? issue.Source
                              : (column == qcDestination ? issue.Destination : issue.Problem);
  };
  if (column == qcOperation) {
    std::sort(issues.begin(), end,
              [](const OperationIssue &x, const OperationIssue &y) { return x.Kind < y.Kind; });
  } else {
    std::sort(issues.begin(), end, [&](const OperationIssue &x, const OperationIssue &y) {
      return StrCompare(text(x), text(y)) < 0;
    });
  }
}

void QuerySort(int32_t column, int32_t shown) {
  if (column < qcOperation || column > qcProblem) return;
  QuerySortColumn = column;
  IssueList.Change(
      [&](std::vector<OperationIssue> &issues) { QuerySortIssues(issues, column, shown); });
}

bool QuerySwapIssue(OperationIssue &issue) {
  if (issue.Source.empty() || issue.Destination.empty()) return false;
  std::swap(issue.Source, issue.Destination);
  return true;
}

bool QuerySwap(int32_t index) {
  bool swapped = false;
  IssueList.Change([&](std::vector<OperationIssue> &issues) {
    if (index >= 0 && static_cast<size_t>(index) < issues.size()) {
      swapped = QuerySwapIssue(issues[static_cast<size_t>(index)]);
    }
  });
  return swapped;
}

int32_t QueryProceed() {
  int32_t done = 0;
  // By index and without holding the list: the engine appends to it while
  // it runs. Its appends are unticked, so the walk passes over them.
  OperationIssue issue;
  for (int32_t i = 0; IssueList.Get(i, issue); ++i) {
    if (!issue.Ticked || issue.Source.empty()) continue;
    const bool folder = issue.Source.back() == PathDelim;
    switch (issue.Kind) {
      case okCopy:
        if (folder) continue;
        FileCopy(issue.Source, issue.Destination, true);
        break;
      case okMove:
        if (folder) continue;
        FileMove(issue.Source, issue.Destination, true);
        break;
      case okTest: FileCopy(issue.Source, std::string(), true); break;
      case okDelete: ItemDelete(issue.Source, true); break;
      default: continue;
    }
    ++done;
  }
  return done;
}

void QueryForget(int32_t count) {
  if (count <= 0) return;
  IssueList.Change([&](std::vector<OperationIssue> &issues) {
    issues.erase(issues.begin(),
                 issues.begin() + std::min<int64_t>(count, static_cast<int64_t>(issues.size())));
  });
}

std::string QueryFolderPart(const std::string &path) {
  const size_t last = path.rfind(PathDelim);
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string QueryDateTimeText(int64_t fileTime) {
  static const char *const months[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int64_t unixNs = FileTimeToUnixNs(fileTime);
  int64_t seconds = unixNs / 1'000'000'000;
  if (unixNs % 1'000'000'000 < 0) --seconds;
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr || local.tm_mon < 0 || local.tm_mon > 11) return "";
  return NumToStr(local.tm_mday) + " " + months[local.tm_mon] + " " +
         NumToStr(local.tm_year + 1900) + "  " + NumToStrFill(local.tm_hour, 2) + ":" +
         NumToStrFill(local.tm_min, 2) + ":" + NumToStrFill(local.tm_sec % 60, 2);
}

std::string QueryFileDescription(const std::string &label, const std::string &path) {
  if (path.empty()) return "";
  std::string text = "|b" + label + MarkupEscape(path, '|') + "|b|n";
  const int handle = FsOpenRead(path);
  if (handle == FsInvalidHandle) return text + "|t|b|1CAN NOT BE OPENED OR DOES NOT EXIST";
  int64_t size = FsFileSize(handle);
  int64_t time = 0;
  const bool timeRead = FsGetFileTime(handle, time);
  FsClose(handle);
  if (size < 0) size = 0;
  text += "|t" + NumToStrCommas(size) + " bytes|n";
  text += "|t" + (timeRead ? QueryDateTimeText(time) : std::string("??????"));
  return text;
}

std::string QueryCompareMessage(const std::string &source, const std::string &destination) {
  return QueryFileDescription("Source: ", source) + "|n|n" +
         QueryFileDescription("Destination: ", destination);
}

}  // namespace trovix
