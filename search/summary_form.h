// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The summary of a search window's results by file type and by folder; one
// window for the run, created at start and refilled by each Summarize.
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "search/summary.h"

class QTabWidget;

namespace trovix {

class TDrawGridZebra;
class TSearchForm;

class TSummaryForm : public QWidget {
  Q_OBJECT
 public:
  explicit TSummaryForm(QWidget *parent = nullptr);

  QTabWidget *PageControl;
  QWidget *tsFiles, *tsFolders;
  TDrawGridZebra *gSummaryFiles, *gSummaryFolders;

  std::vector<SummaryItem> TypeItems;
  std::vector<SummaryItem> FolderItems;
  int32_t SummarySortColumn = 0;
  // The search window whose results are shown; none once it closed.
  QPointer<TSearchForm> SummarySource;

  // Builds both lists from source's results, sorts and shows them.
  void Summarize(TSearchForm *source);
  // A search window closes: a double click does nothing until the next
  // Summarize.
  void SourceClosed(TSearchForm *source);
  void HeaderClick(TDrawGridZebra *grid, int32_t col);
  // Makes the first result of the grid's current row current in the source.
  void GridDblClick(TDrawGridZebra *grid);

 private:
  void DrawCell(TDrawGridZebra *grid, QPainter &painter, int32_t col, int32_t row,
                const QRect &rect, bool fixed);
  void ShowLists();
};

extern TSummaryForm *SummaryForm;

}  // namespace trovix
