// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/search_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/controls_ui.h"
#include "dialogs/markup_ui.h"
#include "dialogs/message_box.h"
#include "dialogs/options_ui.h"
#include "foundation/file_system.h"
#include "foundation/platform_ui.h"
#include "foundation/settings_qt.h"
#include "foundation/strings.h"
#include "search/summary_form.h"

namespace trovix {

std::vector<std::string> NameHistory;
std::vector<std::string> ContentsHistory;
int32_t ClickedRow = 0;

TSearchHost &SearchHost() {
  static TSearchHost host;
  return host;
}

void SearchHistoryAdd(std::vector<std::string> &history, const std::string &text) {
  if (text.empty()) return;
  history.erase(std::remove(history.begin(), history.end(), text), history.end());
  history.insert(history.begin(), text);
}

namespace {

constexpr int kIconRoom = 18;
const QColor kFlaggedText(0xC0, 0xC0, 0xC0);

QString Q(const std::string &s) { return DisplayText(s); }

// Fills a combo with a history, keeping each item's bytes (a name or text
// need not be UTF-8), and sets its text to the newest item or leaves it.
void FillCombo(QComboBox *combo, const std::vector<std::string> &history, bool setText) {
  const std::string text = setText && !history.empty() ? history.front() : ComboText(combo);
  combo->clear();
  for (const std::string &item : history) ComboInsertItem(combo, combo->count(), item);
  ComboSetText(combo, text);
}

// Header text pieces in bold, underlined when they name the sort order.
int HeaderPiece(QPainter &p, const QString &text, int x, int top, bool underline) {
  QFont font = p.font();
  font.setBold(true);
  font.setUnderline(underline);
  p.setFont(font);
  const QFontMetrics fm(font);
  p.drawText(QRect(x, top, fm.horizontalAdvance(text) + 2, fm.height()),
             Qt::AlignLeft | Qt::AlignTop, text);
  return fm.horizontalAdvance(text);
}

}  // namespace

// ---- TZoomPanel ------------------------------------------------------------------

TZoomPanel::TZoomPanel(QWidget *parent)
    : QWidget(parent), titleColor_(palette().color(QPalette::Highlight)) {
  setMouseTracking(true);
  setContentsMargins(4, 0, 4, 4);
}

void TZoomPanel::SetTitle(const QString &title) {
  title_ = title;
  update(0, 0, width(), StripHeight());
}

void TZoomPanel::SetTitleColor(const QColor &color) {
  titleColor_ = color;
  update(0, 0, width(), StripHeight());
}

void TZoomPanel::SetExpanded(bool expanded) {
  if (expanded == expanded_) return;
  expanded_ = expanded;
  Relayout();
}

int TZoomPanel::StripHeight() const {
  QFont bold = font();
  bold.setBold(true);
  return QFontMetrics(bold).height() + 12;
}

int TZoomPanel::WantedHeight() const {
  int bottom = StripHeight();
  if (expanded_) {
    for (QObject *o : children()) {
      auto *w = qobject_cast<QWidget *>(o);
      if (w && !w->isHidden()) bottom = std::max(bottom, w->geometry().bottom() + 1);
    }
  }
  return bottom + 4;
}

QSize TZoomPanel::sizeHint() const {
  QSize hint = layout() ? layout()->sizeHint() : QSize(200, 0);
  const int height = expanded_ ? std::max(hint.height(), StripHeight() + 4) : StripHeight() + 4;
  return QSize(hint.width(), height);
}

QSize TZoomPanel::minimumSizeHint() const {
  QSize hint = layout() ? layout()->minimumSize() : QSize(0, 0);
  return QSize(hint.width(),
               expanded_ ? std::max(hint.height(), StripHeight() + 4) : StripHeight() + 4);
}

void TZoomPanel::Relayout() {
  for (QObject *o : children())
    if (auto *w = qobject_cast<QWidget *>(o)) w->setVisible(expanded_);
  if (expanded_) {
    setMaximumHeight(QWIDGETSIZE_MAX);
  } else {
    setMaximumHeight(StripHeight() + 4);
  }
  updateGeometry();
  update();
}

void TZoomPanel::paintEvent(QPaintEvent *) {
  QPainter p(this);
  const int strip = StripHeight();
  // The raised outer bevel.
  p.setPen(palette().color(QPalette::Light));
  p.drawLine(0, 0, width() - 1, 0);
  p.drawLine(0, 0, 0, height() - 1);
  p.setPen(palette().color(QPalette::Dark));
  p.drawLine(width() - 1, 0, width() - 1, height() - 1);
  p.drawLine(0, height() - 1, width() - 1, height() - 1);
  p.fillRect(QRect(1, 1, width() - 2, strip - 1), titleColor_);
  QFont bold = font();
  bold.setBold(true);
  p.setFont(bold);
  p.setPen(palette().color(QPalette::Base));
  p.drawText(QRect(4, 4, std::max(0, width() - 20), strip - 4), Qt::AlignLeft | Qt::AlignTop,
             title_);
  // The double chevron: up while open, down while closed.
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(palette().color(QPalette::Base), 2));
  const int x = width() - 12 - 9, mid = strip / 2;
  for (int k = 0; k < 2; ++k) {
    const int y = mid - 4 + k * 5;
    if (expanded_) {
      p.drawLine(x, y + 3, x + 4, y - 1);
      p.drawLine(x + 4, y - 1, x + 8, y + 3);
    } else {
      p.drawLine(x, y - 1, x + 4, y + 3);
      p.drawLine(x + 4, y + 3, x + 8, y - 1);
    }
  }
}

void TZoomPanel::mousePressEvent(QMouseEvent *event) {
  const bool fillsParent = parentWidget() && geometry() == parentWidget()->rect();
  if (event->position().y() < StripHeight() && !fillsParent) SetExpanded(!expanded_);
}

void TZoomPanel::mouseMoveEvent(QMouseEvent *event) {
  setCursor(event->position().y() < StripHeight() ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

// ---- TSearchGrid -----------------------------------------------------------------

TSearchGrid::TSearchGrid(QWidget *parent) : TDrawGridZebra(parent) {}

void TSearchGrid::SelectRange(int32_t top, int32_t bottom) {
  anchor_ = std::clamp(top, 1, std::max(RowCount() - 1, 1));
  SetRow(bottom);
  viewport()->update();
}

void TSearchGrid::SelectRow(int32_t row) {
  SetRow(row);
  anchor_ = Row();
  viewport()->update();
}

void TSearchGrid::PrepareCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                              GridDrawState state) {
  const QPalette &pal = palette();
  if (state.fixed) {
    TDrawGridZebra::PrepareCell(painter, col, row, rect, state);
    return;
  }
  if (row >= SelTop() && row <= SelBottom()) {
    const QPalette::ColorGroup group = state.focused ? QPalette::Active : QPalette::Inactive;
    painter.fillRect(rect, pal.color(group, QPalette::Highlight));
    painter.setPen(pal.color(group, QPalette::HighlightedText));
  } else {
    painter.fillRect(rect, OptionQColor(row % 2 == 1 ? csSearchOdd : csSearchEven));
    painter.setPen(pal.color(QPalette::Text));
  }
}

void TSearchGrid::CellMouseDown(QMouseEvent *event, int32_t col, int32_t row) {
  if (event->button() == Qt::LeftButton && row >= FixedRows() &&
      !(event->modifiers() & Qt::ShiftModifier))
    anchor_ = Row();
  viewport()->update();
  TDrawGridZebra::CellMouseDown(event, col, row);
}

void TSearchGrid::keyPressEvent(QKeyEvent *event) {
  TDrawGridZebra::keyPressEvent(event);
  if (!(event->modifiers() & Qt::ShiftModifier)) anchor_ = Row();
  viewport()->update();
}

// ---- TSearchStatusBar ------------------------------------------------------------

TSearchStatusBar::TSearchStatusBar(QWidget *parent) : QWidget(parent) {
  setFixedHeight(QFontMetrics(font()).height() + 8);
}

void TSearchStatusBar::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.fillRect(rect(), palette().color(QPalette::Window));
  if (OnPaint) OnPaint(p);
}

void TSearchStatusBar::mousePressEvent(QMouseEvent *event) {
  if (OnMouseDown) OnMouseDown(event);
}

// ---- TSearchForm -----------------------------------------------------------------

TSearchForm::TSearchForm(const std::string &folder, QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("SearchForm"));
  setAttribute(Qt::WA_DeleteOnClose);
  setProperty("Tag", 2);
  SearchFolder = folder;
  if (SearchFolder.empty() || SearchFolder.back() != PathDelim) SearchFolder += PathDelim;
  setWindowTitle(Q("Search - " + SearchFolder));
  setMinimumWidth(675);
  resize(675, 520);
  CreateControls();
  CreateToolBar();
  FillCombo(eFilename, NameHistory, true);
  FillCombo(eContaining, ContentsHistory, false);
  ComboSetText(eContaining, std::string());
  if (SearchHost().IsRemote) IsRemote = SearchHost().IsRemote(SearchFolder);
  INIWinLoad(this);
  INIGridLoad(GFileInfo, "SearchGrid");
  Timer = new QTimer(this);
  Timer->setInterval(250);
  connect(Timer, &QTimer::timeout, this, &TSearchForm::TimerTimer);
  Timer->start();
  connect(&OptionsNotifier(), &TOptionsNotifier::coloursChanged, this,
          [this] { GFileInfo->InvalidateGrid(); });
  connect(&OptionsNotifier(), &TOptionsNotifier::fontsChanged, this, &TSearchForm::ApplyOptions);
  connect(&OptionsNotifier(), &TOptionsNotifier::gradientsChanged, this,
          &TSearchForm::ApplyOptions);
  ApplyOptions();
}

TSearchForm::~TSearchForm() {
  job_.RequestAbort();
  worker_.Join();
  if (!settingsSaved_) {
    INIWinSave(this);
    INIGridSave(GFileInfo, "SearchGrid");
  }
  if (SummaryForm) SummaryForm->SourceClosed(this);
}

void TSearchForm::CreateControls() {
  auto *outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  pParameters = new TZoomPanel(this);
  pParameters->SetTitle(QStringLiteral("Search Parameters"));
  auto *grid = new QGridLayout(pParameters);
  grid->setContentsMargins(8, pParameters->StripHeight() + 6, 8, 6);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(4);

  auto *lFilename = new QLabel(QStringLiteral("File Name (or parts)"), pParameters);
  eFilename = new QComboBox(pParameters);
  eFilename->setObjectName(QStringLiteral("eFilename"));
  eFilename->setEditable(true);
  eFilename->setInsertPolicy(QComboBox::NoInsert);
  eFilename->setToolTip(QStringLiteral(
      "Search for filenames containing all these parts. Eg  dll winsoc. Use _ for Space"));
  auto *lContaining = new QLabel(QStringLiteral("Contents (optional)"), pParameters);
  eContaining = new QComboBox(pParameters);
  eContaining->setObjectName(QStringLiteral("eContaining"));
  eContaining->setEditable(true);
  eContaining->setInsertPolicy(QComboBox::NoInsert);
  eContaining->setToolTip(QStringLiteral("Optionally files must contain this (text files only)"));
  bSearch = new QPushButton(QStringLiteral("Search"), pParameters);
  bSearch->setObjectName(QStringLiteral("bSearch"));
  bSearch->setToolTip(
      QStringLiteral("Begin Search: Find matching files optionally conaining Contents"));
  bSearch->setDefault(false);
  bSearch->setAutoDefault(false);
  cbSubFolders = new QCheckBox(QStringLiteral("Sub folders"), pParameters);
  cbSubFolders->setChecked(true);
  cbIgnoreCase = new QCheckBox(QStringLiteral("Ignore Case"), pParameters);
  cbIgnoreCase->setChecked(true);
  cbHex = new QCheckBox(QStringLiteral("Hex"), pParameters);
  cbBinaryFiles = new QCheckBox(QStringLiteral("Binary Files"), pParameters);

  gSpecial = new TNiceGroupBox(QStringLiteral("Special"), pParameters);
  auto *special = new QGridLayout(gSpecial);
  cbUniquesOnly = new QCheckBox(QStringLiteral("Uniques Only"), gSpecial);
  cbUniquesOnly->setToolTip(QStringLiteral("Only include unique files"));
  cbDuplicatesOnly = new QCheckBox(QStringLiteral("Duplicates Only"), gSpecial);
  cbDuplicatesOnly->setToolTip(QStringLiteral("Only include duplicated files"));
  cbSameName = new QCheckBox(QStringLiteral("Same Name"), gSpecial);
  cbSameSize = new QCheckBox(QStringLiteral("Same Size"), gSpecial);
  cbSameDate = new QCheckBox(QStringLiteral("Same Date"), gSpecial);
  for (QCheckBox *c : {cbSameName, cbSameSize, cbSameDate}) {
    c->setChecked(true);
    c->setEnabled(false);
  }
  special->addWidget(cbUniquesOnly, 0, 0);
  special->addWidget(cbDuplicatesOnly, 1, 0);
  special->addWidget(cbSameName, 0, 1);
  special->addWidget(cbSameSize, 1, 1);
  special->addWidget(cbSameDate, 2, 1);
  connect(cbUniquesOnly, &QCheckBox::clicked, this,
          [this] { cbDuplicatesOnlyClick(cbUniquesOnly); });
  connect(cbDuplicatesOnly, &QCheckBox::clicked, this,
          [this] { cbDuplicatesOnlyClick(cbDuplicatesOnly); });

  grid->addWidget(lFilename, 0, 0);
  grid->addWidget(eFilename, 0, 1);
  grid->addWidget(cbSubFolders, 0, 2);
  grid->addWidget(bSearch, 0, 3);
  grid->addWidget(lContaining, 1, 0);
  grid->addWidget(eContaining, 1, 1);
  auto *boxes = new QHBoxLayout;
  boxes->addWidget(cbIgnoreCase);
  boxes->addWidget(cbHex);
  boxes->addWidget(cbBinaryFiles);
  boxes->addStretch(1);
  grid->addLayout(boxes, 2, 1);
  grid->addWidget(gSpecial, 1, 2, 2, 2);
  grid->setColumnStretch(1, 1);
  connect(bSearch, &QPushButton::clicked, this, &TSearchForm::bSearchClick);
  outer->addWidget(pParameters);

  ToolBar = new QToolBar(this);
  ToolBar->setObjectName(QStringLiteral("ToolBar"));
  ToolBar->setIconSize(QSize(16, 16));
  outer->addWidget(ToolBar);

  GFileInfo = new TSearchGrid(this);
  GFileInfo->setObjectName(QStringLiteral("GFileInfo"));
  GFileInfo->SetColumnCount(4);
  for (int c = 0; c < 4; ++c) GFileInfo->SetColumnWidth(c, std::vector<int>{124, 289, 66, 134}[c]);
  GFileInfo->SetFixedRows(1);
  GFileInfo->SetRowCount(2);
  GFileInfo->SetDefaultRowHeight(20);
  GFileInfo->OnDrawCell = [this](QPainter &p, int32_t col, int32_t row, const QRect &r,
                                 GridDrawState s) { DrawCell(p, col, row, r, s); };
  GFileInfo->OnMouseDown = [this](QMouseEvent *event, int32_t col, int32_t row) {
    if (event->button() != Qt::LeftButton) return;
    if (row == 0 && col >= 0) {
      ClickedRow = 0;
      HeaderClick(col);
    } else if (row > 0) {
      if (event->type() == QEvent::MouseButtonDblClick && ClickedRow > 0) bGoClick();
      ClickedRow = row;
    }
    StatusBar->update();
  };
  GFileInfo->OnSelectCell = [this](int32_t row) { RowChanged(row); };
  GFileInfo->OnKeyDown = [this](QKeyEvent *event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      event->accept();
      bGoClick();
    } else if (key == Qt::Key_Delete) {
      event->accept();
      bDeleteClick();
    }
  };
  connect(GFileInfo, &TDrawGridMouseWheel::currentRowChanged, this,
          [this] { StatusBar->update(); });
  outer->addWidget(GFileInfo, 1);

  StatusBar = new TSearchStatusBar(this);
  StatusBar->OnPaint = [this](QPainter &p) { PaintStatus(p); };
  StatusBar->OnMouseDown = [this](QMouseEvent *event) {
    if (Busy() && event->position().x() <= StatusBar->height()) {
      job_.RequestAbort();
      StatusBar->update();
    }
  };
  outer->addWidget(StatusBar);
}

void TSearchForm::CreateToolBar() {
  QStyle *st = style();
  auto button = [&](const char *name, QStyle::StandardPixmap icon, const char *hint) {
    QAction *a = ToolBar->addAction(st->standardIcon(icon), QString::fromLatin1(hint));
    a->setObjectName(QString::fromLatin1(name));
    a->setToolTip(QString::fromLatin1(hint));
    return a;
  };
  bGo = button("bGo", QStyle::SP_ArrowRight, "Go to the Curent File (Enter)");
  bGoAlways = button("bGoAlways", QStyle::SP_DialogApplyButton, "Go to the Current File - Locked");
  bGoAlways->setCheckable(true);
  ToolBar->addSeparator();
  bView = button("bView", QStyle::SP_FileDialogContentsView, "View the Current File");
  bViewAlways =
      button("bViewAlways", QStyle::SP_FileDialogDetailedView, "View the Current File - Locked");
  bViewAlways->setCheckable(true);
  bOpen = button("bOpen", QStyle::SP_DialogOpenButton, "Open the Current File");
  ToolBar->addSeparator();
  bDelete = button("bDelete", QStyle::SP_TrashIcon, "Delete All Selected Files");
  bSummarize =
      button("bSummarize", QStyle::SP_FileDialogInfoView, "Summarize File Types and Sizes");
  connect(bGo, &QAction::triggered, this, &TSearchForm::bGoClick);
  connect(bView, &QAction::triggered, this, [this] { bViewClick(true); });
  connect(bViewAlways, &QAction::toggled, this, [this](bool down) {
    if (!down) return;
    GFileInfo->setFocus();
    bViewClick(false);
  });
  connect(bOpen, &QAction::triggered, this, &TSearchForm::bOpenClick);
  connect(bDelete, &QAction::triggered, this, &TSearchForm::bDeleteClick);
  connect(bSummarize, &QAction::triggered, this, &TSearchForm::bSummarizeClick);

  mItems = new QMenu(this);
  mGo = mItems->addAction(QStringLiteral("Go"), this, &TSearchForm::bGoClick);
  mView = mItems->addAction(QStringLiteral("View"), this, [this] { bViewClick(true); });
  mOpen = mItems->addAction(QStringLiteral("Open"), this, &TSearchForm::bOpenClick);
  mDelete = mItems->addAction(QStringLiteral("Delete"), this, &TSearchForm::bDeleteClick);
  mSelectAll = mItems->addAction(QStringLiteral("Select All"), this, &TSearchForm::mSelectAllClick);
  GFileInfo->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(GFileInfo, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &pos) { mItems->popup(GFileInfo->mapToGlobal(pos)); });
}

void TSearchForm::ApplyOptions() {
  GFileInfo->setFont(OptionQFont(fuItems));
  GFileInfo->SetDefaultRowHeight(20);
  if (OptionUseGradients()) {
    ToolBar->setStyleSheet(
        QStringLiteral("QToolBar { border: 0; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                       "stop:0 palette(light), stop:1 palette(midlight)); }"));
  } else {
    ToolBar->setStyleSheet(QString());
  }
  GFileInfo->InvalidateGrid();
}

void TSearchForm::changeEvent(QEvent *event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) ApplyOptions();
}

void TSearchForm::showEvent(QShowEvent *event) {
  QWidget::showEvent(event);
  eFilename->setFocus();
}

// ---- Commands --------------------------------------------------------------------

void TSearchForm::bSearchClick() {
  if (Busy()) return;
  const std::string contents = ComboText(eContaining);
  const std::string names = ComboText(eFilename);
  std::string bytes = contents;
  if (cbHex->isChecked() && !SearchHexContents(contents, bytes)) {
    // Refused before anything changes: the list and the status stay.
    DisplayError(SearchHexError);
    return;
  }
  SearchHistoryAdd(NameHistory, names);
  FillCombo(eFilename, NameHistory, false);
  SearchHistoryAdd(ContentsHistory, contents);
  FillCombo(eContaining, ContentsHistory, false);
  TSearchParams &p = job_.Params;
  p.SearchFolder = SearchFolder;
  p.NameText = names;
  p.ContentBytes = bytes;
  p.SubFolders = cbSubFolders->isChecked();
  p.IgnoreCase = cbIgnoreCase->isChecked();
  p.BinaryFiles = cbBinaryFiles->isChecked();
  p.UniquesOnly = cbUniquesOnly->isChecked();
  p.DuplicatesOnly = cbDuplicatesOnly->isChecked();
  p.SameName = cbSameName->isChecked();
  p.SameSize = cbSameSize->isChecked();
  p.SameDate = cbSameDate->isChecked();
  StartWorker(ssSearching);
}

void TSearchForm::StartWorker(uint8_t state) {
  job_.State.store(state);
  RefreshRequested = true;
  shownFound_ = -1;
  bSearch->setEnabled(false);
  worker_.Start();
  StatusBar->update();
  GFileInfo->InvalidateGrid();
}

void TSearchForm::cbDuplicatesOnlyClick(QCheckBox *sender) {
  if (sender == cbDuplicatesOnly && cbDuplicatesOnly->isChecked()) cbUniquesOnly->setChecked(false);
  if (sender == cbUniquesOnly && cbUniquesOnly->isChecked()) cbDuplicatesOnly->setChecked(false);
  const bool on = cbDuplicatesOnly->isChecked() || cbUniquesOnly->isChecked();
  for (QCheckBox *c : {cbSameName, cbSameSize, cbSameDate}) c->setEnabled(on);
}

const SearchEntry *TSearchForm::CurrentEntry() const {
  if (Busy()) return nullptr;
  const int32_t row = GFileInfo->Row();
  if (row < 1 || row > job_.ResultCount) return nullptr;
  return &job_.Results[row - 1];
}

void TSearchForm::bGoClick() {
  const SearchEntry *e = CurrentEntry();
  if (!e || !SearchHost().GoTo) return;
  SearchHost().GoTo(e->path, e->name);
}

void TSearchForm::bViewClick(bool newWindow) {
  const SearchEntry *e = CurrentEntry();
  if (!e || (e->attributes & faDirectory)) return;
  const std::string path = e->path + e->name;
  if (SearchHost().View)
    SearchHost().View(path, newWindow, ComboText(eContaining), this);
  else if (!WinOpenFile(this, path))
    DisplayError("|1|bERROR: Can not Open file |u" + e->name);
}

void TSearchForm::bOpenClick() {
  const SearchEntry *e = CurrentEntry();
  if (!e || (e->attributes & faDirectory)) return;
  if (!WinOpenFile(this, e->path + e->name))
    DisplayError("|1|bERROR: Can not Open file |u" + e->name);
}

void TSearchForm::bDeleteClick() {
  if (Busy()) return;
  const int32_t top = GFileInfo->SelTop(),
                bottom = std::min(GFileInfo->SelBottom(), job_.ResultCount);
  int32_t count = 0;
  for (int32_t row = top; row <= bottom; ++row)
    if (!(job_.Results[row - 1].attributes & faDirectory)) ++count;
  if (count == 0) return;
  if (!DisplayYesNo("|b|4Delete " + NumToStr(count) + " File(s)?")) return;
  if (const SearchEntry *e = CurrentEntry()) ReselectName = e->path + e->name;
  job_.DeleteTop = top;
  job_.DeleteBottom = bottom;
  StartWorker(ssDeleting);
}

void TSearchForm::bSummarizeClick() {
  if (Busy() || !SummaryForm) return;
  SummaryForm->Summarize(this);
}

void TSearchForm::mSelectAllClick() {
  if (GFileInfo->RowCount() > 2) {
    GFileInfo->SelectRange(1, GFileInfo->RowCount() - 1);
    StatusBar->update();
  }
}

void TSearchForm::HeaderClick(int32_t col) {
  if (Busy()) return;
  if (const SearchEntry *e = CurrentEntry()) ReselectName = e->path + e->name;
  SortGridColumn = col;
  if (col == 0)
    job_.SortKey = job_.SortKey == skName ? skExtension : skName;
  else
    job_.SortKey = static_cast<uint8_t>(col + 1);
  StartWorker(ssSorting);
}

void TSearchForm::SelectResult(int32_t index) {
  if (Busy() || index < 0 || index >= job_.ResultCount) return;
  GFileInfo->SelectRow(index + 1);
  activateWindow();
  raise();
  GFileInfo->setFocus();
  StatusBar->update();
}

void TSearchForm::RowChanged(int32_t row) {
  (void)row;
  if (QApplication::mouseButtons() != Qt::NoButton) return;
  if (bGoAlways->isChecked()) bGoClick();
  if (bViewAlways->isChecked()) bViewClick(false);
}

int32_t TSearchForm::SelectedCount() const {
  if (Busy() || job_.ResultCount == 0) return 0;
  const int32_t bottom = std::min(GFileInfo->SelBottom(), job_.ResultCount);
  return std::max(0, bottom - GFileInfo->SelTop() + 1);
}

void TSearchForm::WaitWorker() {
  worker_.Join();
  TimerTimer();
}

// ---- Timer, status and painting --------------------------------------------------

void TSearchForm::TimerTimer() {
  const bool busy = Busy();
  if (!busy) {
    worker_.Join();
    bSearch->setEnabled(true);
  }
  const uint8_t state = job_.State.load();
  if (state == ssSearching) {
    const int32_t found = job_.FoundCount.load(std::memory_order_relaxed);
    if (found != shownFound_) {
      shownFound_ = found;
      StatusBar->update();
    }
  }
  if (state == ShownState && !RefreshRequested) {
    if (CloseRequested && !busy) close();
    return;
  }
  RefreshRequested = false;
  ShownState = state;
  if (state == ssReady && !busy) {
    GFileInfo->SetRowCount(std::max(job_.ResultCount + 1, 2));
    GFileInfo->InvalidateGrid();
    GFileInfo->SelectRow(1);
    if (!ReselectName.empty()) {
      for (int32_t i = 0; i < job_.ResultCount; ++i) {
        const SearchEntry &e = job_.Results[i];
        if (StrSame(e.path + e.name, ReselectName)) {
          GFileInfo->SelectRow(i + 1);
          break;
        }
      }
      ReselectName.clear();
    }
  } else if (state == ssReady) {
    RefreshRequested = true;  // the worker is finishing: show it next time
  }
  StatusBar->update();
  if (CloseRequested && !busy) close();
}

std::string TSearchForm::StatusText() const {
  switch (job_.State.load()) {
    case ssSearching:
      return "|b|4Searching ... " + NumToStrCommas(job_.FoundCount.load()) + " found";
    case ssSearched:
    case ssSorting: return "|b|4Sorting ...";
    case ssAborting: return "|b|1Aborting ...";
    case ssDeleting: return "|b|4Deleting ...";
    case ssReady:
      if (Busy()) return "|b|4Sorting ...";
      return "|b" + NumToStrCommas(job_.ResultCount) + " items found:    |4" +
             FormatSizeBytes(static_cast<int64_t>(job_.TotalSize)) + ".|0" + "    (" +
             NumToStr(SelectedCount()) + " selected)";
    default: return std::string();
  }
}

void TSearchForm::PaintStatus(QPainter &p) {
  const int h = StatusBar->height();
  int x = 2;
  if (Busy()) {
    const QRect square(0, 0, h, h);
    const QRect frame = square.adjusted(2, 2, -3, -3);
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(frame.topLeft(), frame.topRight());
    p.drawLine(frame.topLeft(), frame.bottomLeft());
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(frame.bottomLeft(), frame.bottomRight());
    p.drawLine(frame.topRight(), frame.bottomRight());
    p.setPen(QPen(QColor(0x80, 0, 0), 2));
    const QRect cross = square.adjusted(4 + 2, 4 + 2, -4 - 3, -4 - 3);
    p.drawLine(cross.topLeft(), cross.bottomRight());
    p.drawLine(cross.topRight(), cross.bottomLeft());
    x = 2 + h;
  }
  p.setPen(palette().color(QPalette::WindowText));
  p.setFont(font());
  NiceLabelPaint(p, x, 3, StatusText(), 0);
}

void TSearchForm::DrawCell(QPainter &p, int32_t col, int32_t row, const QRect &rect,
                           GridDrawState state) {
  if (state.fixed) {
    const int top = rect.top() + 3;
    if (col == 0) {
      int x = rect.left() + 2;
      const bool active = SortGridColumn == 0;
      x += HeaderPiece(p, QStringLiteral("Name"), x, top, active && job_.SortKey == skName);
      x += HeaderPiece(p, QStringLiteral(" . "), x, top, false);
      HeaderPiece(p, QStringLiteral("Ext"), x, top, active && job_.SortKey == skExtension);
    } else {
      static const char *const kTitles[] = {"", "Path", "Size", "Date"};
      const QString title = QString::fromLatin1(kTitles[col]);
      QFont font = p.font();
      font.setBold(true);
      font.setUnderline(SortGridColumn == col);
      p.setFont(font);
      const QRect r = rect.adjusted(2, 3, -3, 0);
      p.drawText(r, (col == 2 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop, title);
    }
    return;
  }
  // Rows beyond the results, and every row while a worker owns them, stay blank.
  if (Busy() || row > job_.ResultCount) return;
  const SearchEntry &e = job_.Results[row - 1];
  if (e.flag) p.setPen(kFlaggedText);
  switch (col) {
    case 0:
      DrawFileIcon(p, rect, e.name, e.attributes, IsRemote);
      DrawCellText(p, e.name, rect.adjusted(kIconRoom, 0, 0, 0), false);
      break;
    case 1:
      DrawFileIcon(p, rect, std::string(), faDirectory, IsRemote);
      DrawCellText(p, e.path, rect.adjusted(kIconRoom, 0, 0, 0), false);
      break;
    case 2: DrawCellText(p, NumToStrCommas(static_cast<int64_t>(e.size)), rect, true); break;
    default: DrawFileDate(p, rect, e.time); break;
  }
}

// ---- Keys and closing ------------------------------------------------------------

void TSearchForm::keyPressEvent(QKeyEvent *event) {
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: bSearchClick(); return;  // the grid takes its own Enter
    case Qt::Key_Escape: close(); return;
    case Qt::Key_Tab:
      if (mods == Qt::ControlModifier) {
        // The most recently used other window of the program comes forward.
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
          QWidget *w = *it;
          if (w == this || !w->isVisible() || w->windowType() == Qt::Popup) continue;
          w->activateWindow();
          w->raise();
          return;
        }
        return;
      }
      break;
    default: break;
  }
  QWidget::keyPressEvent(event);
}

void TSearchForm::closeEvent(QCloseEvent *event) {
  if (Busy()) {
    job_.RequestAbort();
    CloseRequested = true;
    StatusBar->update();
    event->ignore();
    return;
  }
  worker_.Join();
  INIWinSave(this);
  INIGridSave(GFileInfo, "SearchGrid");
  settingsSaved_ = true;
  if (SummaryForm) SummaryForm->SourceClosed(this);
  emit closing(this);
  event->accept();
}

TSearchForm *OpenSearchWindow(const std::string &folder) {
  auto *form = new TSearchForm(folder);
  form->show();
  return form;
}

}  // namespace trovix
