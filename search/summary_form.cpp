// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/summary_form.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "browser/file_grid_ui.h"
#include "dialogs/options_ui.h"
#include "foundation/file_system.h"
#include "foundation/platform_ui.h"
#include "foundation/strings.h"
#include "search/search_form.h"

namespace trovix {

TSummaryForm *SummaryForm = nullptr;

namespace {

// A zebra grid in the search colours with the header's sort column underlined.
class TSummaryGrid : public TDrawGridZebra {
 public:
  explicit TSummaryGrid(QWidget *parent) : TDrawGridZebra(parent) {}

 protected:
  void PrepareCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                   GridDrawState state) override {
    if (state.fixed || (state.selected && state.focused)) {
      TDrawGridZebra::PrepareCell(painter, col, row, rect, state);
      return;
    }
    if (state.selected) {
      painter.fillRect(rect, palette().color(QPalette::Inactive, QPalette::Highlight));
      painter.setPen(palette().color(QPalette::Inactive, QPalette::HighlightedText));
      return;
    }
    painter.fillRect(rect, OptionQColor(row % 2 == 1 ? csSearchOdd : csSearchEven));
    painter.setPen(palette().color(QPalette::Text));
  }
};

}  // namespace

TSummaryForm::TSummaryForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName("SummaryForm");
  setWindowTitle("SummaryForm");
  resize(530, 400);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  PageControl = new QTabWidget(this);
  layout->addWidget(PageControl);
  auto makePage = [this](const char *title, const char *pageName, const char *gridName,
                         std::vector<int> widths, QWidget *&page, TDrawGridZebra *&grid) {
    page = new QWidget;
    page->setObjectName(QString::fromLatin1(pageName));
    auto *pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    grid = new TSummaryGrid(page);
    grid->setObjectName(QString::fromLatin1(gridName));
    grid->SetColumnCount(3);
    for (int c = 0; c < 3; ++c) grid->SetColumnWidth(c, widths[c]);
    grid->SetFixedRows(1);
    grid->SetRowCount(2);
    grid->SetDefaultRowHeight(20);
    grid->SetStretchLastColumn(false);
    TDrawGridZebra *g = grid;
    grid->OnDrawCell = [this, g](QPainter &p, int32_t col, int32_t row, const QRect &r,
                                 GridDrawState s) { DrawCell(g, p, col, row, r, s.fixed); };
    grid->OnMouseDown = [this, g](QMouseEvent *event, int32_t col, int32_t row) {
      if (event->button() != Qt::LeftButton) return;
      if (row == 0 && col >= 0)
        HeaderClick(g, col);
      else if (row > 0 && event->type() == QEvent::MouseButtonDblClick)
        GridDblClick(g);
    };
    pageLayout->addWidget(grid);
    PageControl->addTab(page, QString::fromLatin1(title));
  };
  makePage("Files", "tsFiles", "gSummaryFiles", {80, 95, 76}, tsFiles, gSummaryFiles);
  makePage("Folders", "tsFolders", "gSummaryFolders", {325, 93, 80}, tsFolders, gSummaryFolders);
  connect(&OptionsNotifier(), &TOptionsNotifier::coloursChanged, this, [this] {
    gSummaryFiles->InvalidateGrid();
    gSummaryFolders->InvalidateGrid();
  });
}

void TSummaryForm::Summarize(TSearchForm *source) {
  if (!source || source->Busy()) return;
  const TSearchJob &job = source->Job();
  SummaryBuild(job.Results, job.ResultCount, TypeItems, FolderItems);
  SummarySort(TypeItems, SummarySortColumn);
  SummarySort(FolderItems, SummarySortColumn);
  ShowLists();
  gSummaryFiles->SetRow(1);
  gSummaryFolders->SetRow(1);
  SummarySource = source;
  show();
  raise();
  activateWindow();
}

void TSummaryForm::ShowLists() {
  gSummaryFiles->SetRowCount(std::max<int32_t>(static_cast<int32_t>(TypeItems.size()) + 1, 2));
  gSummaryFolders->SetRowCount(std::max<int32_t>(static_cast<int32_t>(FolderItems.size()) + 1, 2));
  gSummaryFiles->InvalidateGrid();
  gSummaryFolders->InvalidateGrid();
}

void TSummaryForm::SourceClosed(TSearchForm *) { SummarySource = nullptr; }

void TSummaryForm::HeaderClick(TDrawGridZebra *grid, int32_t col) {
  SummarySortColumn = col;
  SummarySort(TypeItems, SummarySortColumn);
  SummarySort(FolderItems, SummarySortColumn);
  grid->InvalidateGrid();
  (grid == gSummaryFiles ? gSummaryFolders : gSummaryFiles)->InvalidateGrid();
}

void TSummaryForm::GridDblClick(TDrawGridZebra *grid) {
  TSearchForm *source = SummarySource.data();
  if (!source || source->Busy()) return;
  const bool files = grid == gSummaryFiles;
  const std::vector<SummaryItem> &items = files ? TypeItems : FolderItems;
  const int32_t row = grid->Row();
  if (row < 1 || row > static_cast<int32_t>(items.size())) return;
  const TSearchJob &job = source->Job();
  const std::string &name = items[row - 1].name;
  const int32_t index = files ? SummaryFindType(job.Results, job.ResultCount, name)
                              : SummaryFindFolder(job.Results, job.ResultCount, name);
  if (index >= 0) source->SelectResult(index);
}

void TSummaryForm::DrawCell(TDrawGridZebra *grid, QPainter &p, int32_t col, int32_t row,
                            const QRect &rect, bool fixed) {
  const bool files = grid == gSummaryFiles;
  if (fixed) {
    QFont font = p.font();
    font.setBold(true);
    font.setUnderline(col == SummarySortColumn);
    p.setFont(font);
    if (col == 0)
      p.drawText(rect.left() + 2, rect.top() + 2, rect.width() - 2, rect.height() - 2,
                 Qt::AlignLeft | Qt::AlignTop,
                 files ? QStringLiteral("Ext") : QStringLiteral("Path"));
    else
      CanvasTextOutRight(p, rect.left() + rect.width() - 2 + 4, rect.top() + 2,
                         col == 1 ? "Count" : "Total Size");
    return;
  }
  const std::vector<SummaryItem> &items = files ? TypeItems : FolderItems;
  if (row < 1 || row > static_cast<int32_t>(items.size())) return;
  const SummaryItem &item = items[row - 1];
  switch (col) {
    case 0:
      if (files)
        DrawFileIcon(p, rect, item.name, 0, false);
      else
        DrawFileIcon(p, rect, std::string(), faDirectory, false);
      DrawCellText(p, item.name, rect.adjusted(18, 0, 0, 0), false);
      break;
    case 1: DrawCellText(p, NumToStrCommas(item.count), rect, true); break;
    default: DrawCellText(p, NumToStrCommas(static_cast<int64_t>(item.size)), rect, true); break;
  }
}

}  // namespace trovix
