// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/query_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "browser/operation_state.h"
#include "compare/compare_form.h"
#include "dialogs/controls_ui.h"
#include "dialogs/markup_ui.h"
#include "dialogs/message_box.h"
#include "dialogs/message_box_form.h"
#include "dialogs/options_ui.h"
#include "fileops/file_operations.h"
#include "fileops/query.h"
#include "foundation/platform_ui.h"
#include "foundation/settings.h"
#include "foundation/settings_qt.h"
#include "foundation/worker_pool_ui.h"
#include "viewer/view_window.h"

namespace trovix {

TQueryForm *QueryForm = nullptr;

namespace {

// The label's caption as the form layout holds it, in backslash codes.
constexpr char kMessageCaption[] = "\\1\\b\\| Problems / Issues";
constexpr char kGridHint[] = "Double click to View or Compare. Right Click for other options";
constexpr int32_t kColumnWidths[QueryColumnCount] = {20, 71, 261, 264, 174};
constexpr int32_t kClientWidth = 825;
constexpr int32_t kClientHeight = 298;
constexpr int32_t kLabelHeight = 25;
constexpr int32_t kToolbarHeight = 33;
constexpr int32_t kTickBox = 10;

// A paint box: its owner paints it.
class TPaintBox : public QWidget {
 public:
  explicit TPaintBox(QWidget *parent) : QWidget(parent) {}
  std::function<void(QPainter &)> OnPaint;

 protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    if (OnPaint) OnPaint(painter);
  }
};

}  // namespace

// ---- TIssuesGrid -------------------------------------------------------------------------

TIssuesGrid::TIssuesGrid(QWidget *parent) : TDrawGridZebra(parent) {}

int32_t TIssuesGrid::SelectionTop() const {
  return std::clamp(std::min(anchor_, Row()), FixedRows(), RowCount() - 1);
}

int32_t TIssuesGrid::SelectionBottom() const {
  return std::clamp(std::max(anchor_, Row()), FixedRows(), RowCount() - 1);
}

void TIssuesGrid::SelectRow(int32_t row) {
  SetRow(row);
  anchor_ = Row();
  InvalidateGrid();
}

void TIssuesGrid::PrepareCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                              GridDrawState state) {
  state.selected = !state.fixed && row >= SelectionTop() && row <= SelectionBottom();
  TDrawGridZebra::PrepareCell(painter, col, row, rect, state);
}

void TIssuesGrid::SelectCell(int32_t row) {
  // A plain move of the current row (keys, code) starts a new selection; a
  // drag or a Shift key extends the present one from its anchor. A press
  // decides in CellMouseDown.
  if (!dragging_ && !pressing_ && !keyShift_) anchor_ = row;
  InvalidateGrid();
  TDrawGridZebra::SelectCell(row);
}

void TIssuesGrid::mousePressEvent(QMouseEvent *event) {
  pressing_ = true;
  TDrawGridZebra::mousePressEvent(event);
  pressing_ = false;
}

void TIssuesGrid::keyPressEvent(QKeyEvent *event) {
  keyShift_ = (event->modifiers() & Qt::ShiftModifier) != 0;
  TDrawGridZebra::keyPressEvent(event);
  keyShift_ = false;
}

void TIssuesGrid::CellMouseDown(QMouseEvent *event, int32_t col, int32_t row) {
  const bool dataRow = row >= FixedRows() && row < RowCount();
  if (event->button() == Qt::LeftButton && dataRow) {
    if (!(event->modifiers() & Qt::ShiftModifier)) anchor_ = row;
    dragging_ = true;
    InvalidateGrid();
  } else if (event->button() == Qt::RightButton && dataRow &&
             (row < SelectionTop() || row > SelectionBottom())) {
    SelectRow(row);
  }
  TDrawGridZebra::CellMouseDown(event, col, row);
}

void TIssuesGrid::CellMouseUp(QMouseEvent *event, int32_t col, int32_t row) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
  TDrawGridZebra::CellMouseUp(event, col, row);
}

void TIssuesGrid::mouseDoubleClickEvent(QMouseEvent *event) {
  TDrawGridZebra::mouseDoubleClickEvent(event);
  if (event->button() != Qt::LeftButton) return;
  int32_t col;
  int32_t row;
  if (MouseToCell(event->position().toPoint(), col, row) && OnDblClick) OnDblClick(col, row);
}

void TIssuesGrid::contextMenuEvent(QContextMenuEvent *event) {
  if (OnContextMenu) OnContextMenu(event->globalPos());
  event->accept();
}

// ---- TQueryForm --------------------------------------------------------------------------

TQueryForm::TQueryForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName("QueryForm");
  setWindowTitle("File Operation Issues");
  Compares = new TCommandRunner(this);
  resize(kClientWidth, kClientHeight);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  lMessage = new TNiceLabel(this);
  lMessage->setObjectName("lMessage");
  lMessage->SetGap(2);
  lMessage->SetCaption(kMessageCaption);
  lMessage->setFixedHeight(kLabelHeight);
  layout->addWidget(lMessage);

  gIssues = new TIssuesGrid(this);
  gIssues->setObjectName("gIssues");
  gIssues->SetColumnCount(QueryColumnCount);
  for (int32_t col = 0; col < QueryColumnCount; ++col) {
    gIssues->SetColumnWidth(col, kColumnWidths[col]);
  }
  gIssues->SetFixedRows(1);
  gIssues->SetRowCount(2);
  gIssues->SetDefaultRowHeight(20);
  gIssues->SetVerticalLines(true);
  gIssues->setToolTip(kGridHint);
  gIssues->viewport()->setToolTip(kGridHint);
  layout->addWidget(gIssues, 1);

  pToolbar = new QWidget(this);
  pToolbar->setObjectName("pToolbar");
  pToolbar->setFixedHeight(kToolbarHeight);
  auto *paintBox = new TPaintBox(pToolbar);
  paintBox->setObjectName("pbToolbar");
  paintBox->OnPaint = [this](QPainter &painter) { pbToolbarPaint(painter); };
  pbToolbar = paintBox;
  connect(&OptionsNotifier(), &TOptionsNotifier::gradientsChanged, pbToolbar,
          [this] { pbToolbar->update(); });
  auto *toolbarLayout = new QVBoxLayout(pToolbar);
  toolbarLayout->setContentsMargins(0, 0, 0, 0);
  toolbarLayout->addWidget(pbToolbar);
  bProceed = new TBtnTransparent("Proceed", pToolbar);
  bProceed->setObjectName("bProceed");
  bProceed->SetGlyph(MessageBoxGlyphImage(0));
  bProceed->SetBevel(2);
  bProceed->setGeometry(4, 4, 73, 25);
  bProceed->setToolTip("Proceed (despite issues) on Ticked Items");
  bCancel = new TBtnTransparent("Cancel", pToolbar);
  bCancel->setObjectName("bCancel");
  bCancel->SetGlyph(MessageBoxGlyphImage(1));
  bCancel->SetBevel(2);
  bCancel->setGeometry(84, 4, 73, 25);
  bCancel->setToolTip("Abandon & Close ");
  bProceed->raise();
  bCancel->raise();
  layout->addWidget(pToolbar);

  mIssues = new QMenu(this);
  mIssues->setObjectName("mIssues");
  mSelectAllNone = mIssues->addAction("Select All / None");
  mProceed = mIssues->addAction("Proceed");
  mIssues->addSeparator();
  mSwapSourceDestination = mIssues->addAction("Swap Source && Destination");
  mViewSource = mIssues->addAction("View Source");
  mViewDestination = mIssues->addAction("View Destination");
  mCompareSourceDestination = mIssues->addAction("Compare Source && Destination");

  connect(mSelectAllNone, &QAction::triggered, this, [this] { mSelectAllNoneClick(); });
  connect(mProceed, &QAction::triggered, this, [this] { bProceedClick(); });
  connect(mSwapSourceDestination, &QAction::triggered, this,
          [this] { mSwapSourceDestinationClick(); });
  connect(mViewSource, &QAction::triggered, this, [this] { mViewSourceClick(); });
  connect(mViewDestination, &QAction::triggered, this, [this] { mViewDestinationClick(); });
  connect(mCompareSourceDestination, &QAction::triggered, this,
          [this] { mCompareSourceDestinationClick(); });
  connect(bProceed, &QAbstractButton::clicked, this, [this] { bProceedClick(); });
  connect(bCancel, &QAbstractButton::clicked, this, [this] { bCancelClick(); });

  gIssues->OnDrawCell = [this](QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                               GridDrawState) { gIssuesDrawCell(painter, col, row, rect); };
  gIssues->OnMouseUp = [this](QMouseEvent *event, int32_t col, int32_t row) {
    gIssuesMouseUp(event, col, row);
  };
  gIssues->OnDblClick = [this](int32_t col, int32_t row) { gIssuesDblClick(col, row); };
  gIssues->OnContextMenu = [this](const QPoint &pos) { mIssues->popup(pos); };

  FormCreate();
}

TQueryForm::~TQueryForm() {
  if (isVisible()) INIWinSave(this);
}

void TQueryForm::FormCreate() { lMessage->SetCaption(QueryLabelCodes(lMessage->Caption())); }

bool TQueryForm::HasIssues() { return IssueList.Count() > 0; }

bool TQueryForm::ShowIfIssues() {
  if (!HasIssues()) return false;
  if (isVisible()) {
    FormShow();  // more issues arrived while it was open
  } else {
    show();
  }
  raise();
  activateWindow();
  return true;
}

void TQueryForm::showEvent(QShowEvent *event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  if (!placed_) {
    // First showing: centred over the main window unless a position is kept.
    placed_ = true;
    const QWidget *owner = parentWidget();
    const QRect area = owner && owner->isVisible()
                           ? owner->frameGeometry()
                           : (screen() ? screen()->availableGeometry() : QRect());
    if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
    INIWinLoad(this);
  }
  FormShow();
}

void TQueryForm::FormShow() {
  shown_ = IssueList.Count();
  gIssues->SetRowCount(shown_ + 1);
  gIssues->SelectRow(1);
  gIssues->SetTopRow(1);
  gIssues->InvalidateGrid();
  gIssues->setFocus();
}

void TQueryForm::closeEvent(QCloseEvent *event) {
  FormClose();
  QWidget::closeEvent(event);
}

void TQueryForm::FormClose() {
  INIWinSave(this);
  // The reviewed issues go; any that operations still running added since
  // stay for the next review.
  QueryForget(shown_);
  shown_ = 0;
  gIssues->SetRowCount(1);
  gIssues->InvalidateGrid();
}

int32_t TQueryForm::CurrentIssue() const { return gIssues->Row() - 1; }

void TQueryForm::gIssuesDrawCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect) {
  const int32_t left = rect.left();
  const int32_t top = rect.top();
  if (col == qcTick) {
    const int32_t x = left + 4;
    const int32_t y = top + 4;
    const QPen text = painter.pen();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette().color(QPalette::Dark), 1));
    painter.drawRect(x, y, kTickBox, kTickBox);
    painter.setPen(QPen(palette().color(QPalette::Base), 1));
    painter.drawRect(x + 1, y + 1, kTickBox, kTickBox);
    OperationIssue issue;
    if (row >= 1 && row <= shown_ && IssueList.Get(row - 1, issue) && issue.Ticked) {
      painter.save();
      painter.setRenderHint(QPainter::Antialiasing, true);
      QPen tick(QColor(0, 128, 0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
      painter.setPen(tick);
      painter.drawLine(x + 2, y + 5, x + 5, y + 10);
      tick.setWidth(2);
      painter.setPen(tick);
      painter.drawLine(x + 5, y + 10, x + 11, y - 1);
      painter.restore();
    }
    painter.setPen(text);
    return;
  }
  if (row == 0) {
    NiceLabelPaint(painter, left + 2, top + 2, QueryHeaderText(col, QuerySortColumn), 0);
    return;
  }
  OperationIssue issue;
  if (row > shown_ || !IssueList.Get(row - 1, issue)) return;
  if (col == qcSource || col == qcDestination) {
    // Paths are shown as they are: a file name may hold the markup escape.
    DrawCellText(painter, QueryCellText(issue, col), rect, false);
  } else {
    NiceLabelPaint(painter, left + 2, top + 2, QueryCellText(issue, col), 0);
  }
}

void TQueryForm::gIssuesMouseUp(QMouseEvent *event, int32_t col, int32_t row) {
  if (event->button() != Qt::LeftButton || col < 0 || row < 0) return;
  if (col == qcTick) {
    if (row == 0) {
      mSelectAllNoneClick();
    } else {
      QueryToggleRows(row, row);
    }
  } else if (row == 0) {
    QuerySort(col, shown_);
  } else if (gIssues->SelectionBottom() > gIssues->SelectionTop()) {
    QueryToggleRows(gIssues->SelectionTop(), gIssues->SelectionBottom());
  }
  gIssues->InvalidateGrid();
}

void TQueryForm::gIssuesDblClick(int32_t col, int32_t row) {
  if (row < 1 || row > shown_) return;
  if (col == qcSource) {
    mViewSourceClick();
  } else if (col == qcDestination) {
    mViewDestinationClick();
  } else if (col == qcProblem) {
    mCompareSourceDestinationClick();
  }
}

void TQueryForm::mSelectAllNoneClick() {
  QueryToggleRows(1, gIssues->RowCount() - 1);
  gIssues->InvalidateGrid();
}

void TQueryForm::mSwapSourceDestinationClick() {
  if (CurrentIssue() >= shown_) return;
  if (QuerySwap(CurrentIssue())) gIssues->InvalidateGrid();
}

void TQueryForm::ViewIssueFile(bool source) {
  OperationIssue issue;
  if (CurrentIssue() >= shown_ || !IssueList.Get(CurrentIssue(), issue)) return;
  const std::string &path = source ? issue.Source : issue.Destination;
  if (!path.empty()) ViewFile(path, true, false, "", this);
}

void TQueryForm::mViewSourceClick() { ViewIssueFile(true); }

void TQueryForm::mViewDestinationClick() { ViewIssueFile(false); }

void TQueryForm::mCompareSourceDestinationClick() {
  OperationIssue issue;
  if (CurrentIssue() >= shown_ || !IssueList.Get(CurrentIssue(), issue)) return;
  // Two texts to compare, or else the message describing both files: each
  // read on the worker.
  struct Texts {
    bool text = false;
    std::string a, b, message;
  };
  auto texts = std::make_shared<Texts>();
  Compares->Start(
      issue.Source,
      [texts, issue](const TWorkerJob &job) {
        texts->text = FileIsText(issue.Source) && FileIsText(issue.Destination);
        if (job.Cancelled()) return;
        if (!texts->text) {
          texts->message = QueryCompareMessage(issue.Source, issue.Destination);
          return;
        }
        texts->a = FileToString(issue.Source);
        if (!job.Cancelled()) texts->b = FileToString(issue.Destination);
      },
      [texts, issue] {
        if (texts->text)
          CompareTexts(texts->a, texts->b, false, QueryFolderPart(issue.Source),
                       QueryFolderPart(issue.Destination));
        else
          DisplayMessage(texts->message);
      });
}

void TQueryForm::bProceedClick() {
  QueryProceed();
  close();
  if (OnRefresh) OnRefresh();
  // Forced retries that failed again were recorded: review them now, unless
  // operations are still running (the main window shows them when those end).
  if (ActiveOperations == 0) ShowIfIssues();
}

void TQueryForm::bCancelClick() { close(); }

void TQueryForm::pbToolbarPaint(QPainter &painter) {
  PaintOptionGradient(painter, QRect(0, 0, pbToolbar->width(), pbToolbar->height() - 2));
}

}  // namespace trovix
