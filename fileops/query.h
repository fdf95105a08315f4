// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rules of the operation issues dialog (query_form.h), kept free of the
// window so tests reach them directly: what the grid shows, ticking, sorting,
// swapping, carrying out the ticked issues and the description of two files.
//
// The dialog shows IssueList (file_operations.h) itself: grid row r (from 1)
// is issue r - 1, row 0 the header. Workers may append to the list while the
// dialog is open; the dialog only ever works on the issues it has on show,
// which are the first ones of the list (appends go to the end, and sorting
// here never moves an issue past the ones on show).
#include <cstdint>
#include <string>
#include <vector>

#include "fileops/file_operations.h"

namespace trovix {

// Columns of the issues grid.
inline constexpr int32_t qcTick = 0;
inline constexpr int32_t qcOperation = 1;
inline constexpr int32_t qcSource = 2;
inline constexpr int32_t qcDestination = 3;
inline constexpr int32_t qcProblem = 4;
inline constexpr int32_t QueryColumnCount = 5;

// The data column (1 to 4) the issues were last sorted by; 0 before the
// first sort. Kept for the whole run, across showings of the dialog.
extern int32_t QuerySortColumn;

// A caption written with backslash codes, turned to the "|" escape: every
// backslash but a final one becomes "|".
std::string QueryLabelCodes(const std::string &text);

// "Copy", "Move", "Test", "Delete", "None" for 0; empty for other kinds.
std::string QueryOperationName(uint8_t kind);

// Header of a column: "|b" + its title, after "|u" when it is the sort
// column; empty for the tick column.
std::string QueryHeaderText(int32_t col, int32_t sortColumn);

// What a data cell shows of an issue: the operation name, the source, the
// destination or the problem (markup); empty for the tick column.
std::string QueryCellText(const OperationIssue &issue, int32_t col);
// The problem column's markup: the problem's own words, then ": " and the
// system's text of its error when it has one ("File Write Error: No space
// left on device").
std::string QueryProblemText(const OperationIssue &issue);

// Tick toggling over grid rows a to b (either order): when none of the rows
// that hold an issue is ticked they all become ticked, otherwise they all
// become unticked. Rows without an issue are left out.
void QueryToggleTicks(std::vector<OperationIssue> &issues, int32_t a, int32_t b);
void QueryToggleRows(int32_t a, int32_t b);  // on IssueList

// Sorts the first count issues ascending by a data column: the kind number,
// or the source, destination or problem text with StrCompare. Not stable.
void QuerySortIssues(std::vector<OperationIssue> &issues, int32_t column, int32_t count);
// Sorts the issues on show (the first shown of IssueList) by column, which
// becomes QuerySortColumn. Other columns do nothing.
void QuerySort(int32_t column, int32_t shown);

// Exchanges source and destination of issue index when both are non-empty;
// true when it did. The kind stays.
bool QuerySwapIssue(OperationIssue &issue);
bool QuerySwap(int32_t index);  // on IssueList

// Carries out every ticked issue of IssueList in list order with the engine,
// forced: Copy (unless the source is a folder), Move (unless the source is a
// folder), Test, Delete. Other kinds and issues without a source are
// skipped. Problems these calls meet are appended to IssueList. Returns the
// number of issues carried out.
int32_t QueryProceed();

// Removes the first count issues (the ones on show when the dialog closes);
// issues appended after them stay for the next review.
void QueryForget(int32_t count);

// The path up to and including its last PathDelim; empty when it has none.
std::string QueryFolderPart(const std::string &path);

// Local date and time of a file time as "d mmm yyyy  hh:nn:ss"; empty when
// it cannot be converted.
std::string QueryDateTimeText(int64_t fileTime);

// "|b" + label + path + "|b|n", then the size and date on two tab-indented
// lines, or a red "CAN NOT BE OPENED OR DOES NOT EXIST" when the file cannot
// be opened for reading. Empty for an empty path.
std::string QueryFileDescription(const std::string &label, const std::string &path);
// Both descriptions, source first, separated by an empty line.
std::string QueryCompareMessage(const std::string &source, const std::string &destination);

}  // namespace trovix
