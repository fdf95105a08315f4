// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/view_window.h"

#include "viewer/view_tools_ui.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QVideoWidget>
#include <algorithm>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "compare/compare_form.h"
#include "dialogs/markup.h"
#include "dialogs/markup_ui.h"
#include "dialogs/message_box.h"
#include "dialogs/options.h"
#include "dialogs/options_ui.h"
#include "foundation/file_system.h"
#include "foundation/platform_ui.h"
#include "foundation/settings.h"
#include "foundation/string_arrays.h"
#include "foundation/strings.h"
#include "foundation/worker_pool_ui.h"
#include "viewer/file_save_form.h"
#include "viewer/find_macros.h"
#include "viewer/image_geometry.h"
#include "viewer/text_tools.h"

namespace trovix {

TViewFileForm *LockedView = nullptr;

TViewerHooks &ViewerHooks() {
  static TViewerHooks hooks;
  return hooks;
}

namespace {

QString ToQ(const std::string &bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string FromQ(const QString &text) {
  const QByteArray utf8 = text.toUtf8();
  return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

int ShiftStateOf(const QKeyEvent *event) {
  int state = ShiftStateFromQt(event->modifiers());
  Qt::MouseButtons buttons = QApplication::mouseButtons();
  if (buttons & Qt::LeftButton) state |= 8;
  if (buttons & Qt::RightButton) state |= 16;
  if (buttons & Qt::MiddleButton) state |= 32;
  return state;
}

// A large file's loading: the bytes of it that go in before the window shows
// (more than a screen holds), per piece afterwards, and the time one turn of
// the event loop spends on it.
constexpr size_t kFirstLoadPiece = 128 << 10;
constexpr size_t kLoadPiece = 32 << 10;
constexpr qint64 kLoadTurnMs = 10;
// How long ViewFile waits for the file's read before it shows the window
// with "Loading ..."; a file that takes longer than the second figure says
// the disk is not responding.
constexpr int kViewWaitMs = 30;
constexpr qint64 kNotRespondingMs = 3000;

// The editor keeps its whole text in one buffer that grows as a large file
// loads. glibc raises its threshold for mapping large blocks after a large
// one is freed (a picture viewed before), and a buffer below the threshold
// is copied on each growth instead of remapped: for a large text one turn of
// the event loop then takes a tenth of a second and more. A fixed threshold
// keeps such blocks mapped.
void KeepLargeBlocksMapped() {
#ifdef __GLIBC__
  static const bool done = mallopt(M_MMAP_THRESHOLD, 1 << 20) != 0;
  (void)done;
#endif
}

bool IsModifierKey(int key) {
  return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
         key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

// True for a key that types into the editor or changes its text.
bool ChangesText(const QKeyEvent *key) {
  switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return true;
    default: break;
  }
  if (key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Cut) ||
      key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo))
    return true;
  const QString text = key->text();
  return !text.isEmpty() && text.at(0).isPrint() &&
         !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

}  // namespace

// The status notes while a file loads.
const char *const kRunsWhenIn = "the command runs when all is in";
const char *const kNoChangeYet = "the text can be changed when all is in";
// The loaded texts a find searches on a worker rather than in the editor's
// text: from the first size (smaller ones take a few milliseconds) to the
// second (the copy kept for it would cost too much memory).
constexpr int64_t kFindOnWorker = int64_t(1) << 20;
constexpr int64_t kFindSourceLimit = int64_t(64) << 20;

// ---- Status bar ----------------------------------------------------------------

TViewStatusBar::TViewStatusBar(QWidget *parent) : QWidget(parent) { setObjectName("StatusBar"); }

QSize TViewStatusBar::sizeHint() const { return QSize(200, fontMetrics().height() + 8); }

void TViewStatusBar::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  if (!Text.empty()) {
    painter.setPen(palette().color(QPalette::WindowText));
    NiceLabelPaint(painter, 2, 3, Text, 0);
  }
}

// ---- The window ----------------------------------------------------------------

TViewFileForm::TViewFileForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName("ViewFileForm");
  setAttribute(Qt::WA_DeleteOnClose);
  setProperty("Tag", 1);
  setMinimumWidth(200);
  resize(446, 344);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  pMemo = new QWidget(this);
  auto *memoLayout = new QVBoxLayout(pMemo);
  memoLayout->setContentsMargins(0, 0, 0, 0);
  memoLayout->setSpacing(0);
  pToolBar = new TToolPanel(pMemo);
  auto *bars = new QVBoxLayout(pToolBar);
  bars->setContentsMargins(0, 0, 0, 0);
  bars->setSpacing(0);
  ToolBar = new QToolBar(pToolBar);
  ToolBar2 = new QToolBar(pToolBar);
  for (QToolBar *bar : {ToolBar, ToolBar2}) {
    bar->setIconSize(QSize(20, 20));
    bar->setStyleSheet("QToolBar { background: transparent; border: 0px; }");
    bars->addWidget(bar);
  }
  memoLayout->addWidget(pToolBar);
  Memo = new TViewMemo(pMemo);
  Memo->setObjectName("Memo");
  Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setContextMenuPolicy(Qt::NoContextMenu);
  Memo->setTabChangesFocus(false);
  memoLayout->addWidget(Memo, 1);
  StatusBar = new TViewStatusBar(pMemo);
  memoLayout->addWidget(StatusBar);
  layout->addWidget(pMemo);
  pMemo->hide();

  CreateImagePanel();
  layout->addWidget(pImage);
  pImage->hide();

  LoadTimer = new QTimer(this);
  LoadTimer->setInterval(0);
  connect(LoadTimer, &QTimer::timeout, this, [this] {
    QElapsedTimer turn;
    turn.start();
    while (LoadPiece(kLoadPiece) && turn.elapsed() < kLoadTurnMs) {
    }
    if (Loading() && LoadNote) SetStatusText(LoadingStatus(LoadNote));
  });
  LoadTick = new QTimer(this);
  LoadTick->setInterval(200);
  connect(LoadTick, &QTimer::timeout, this, &TViewFileForm::LoadingTick);

  CreateToolBars();
  CreateMenu();

  Memo->installEventFilter(this);
  Memo->viewport()->installEventFilter(this);
  eTarget->lineEdit()->installEventFilter(this);
  connect(Memo->document(), &QTextDocument::modificationChanged, this,
          [this](bool) { MemoChange(); });
  connect(Memo, &QPlainTextEdit::cursorPositionChanged, this, [this] { MemoClick(); });
  connect(Memo, &QPlainTextEdit::selectionChanged, this, [this] { MemoClick(); });
  connect(&OptionsNotifier(), &TOptionsNotifier::fontsChanged, this,
          &TViewFileForm::ApplyFontAndTabs);
  connect(&OptionsNotifier(), &TOptionsNotifier::textViewChanged, this,
          &TViewFileForm::ApplyFontAndTabs);
  connect(&OptionsNotifier(), &TOptionsNotifier::gradientsChanged, pToolBar,
          qOverload<>(&QWidget::update));
  ApplyFontAndTabs();
}

TViewFileForm::~TViewFileForm() {
  DropJobs();
  if (LockedView == this) LockedView = nullptr;
}

void TViewFileForm::CreateToolBars() {
  auto tool = [this](QToolBar *bar, const char *name, const QString &hint, QIcon icon,
                     bool checkable = false) {
    QAction *a = bar->addAction(icon, hint);
    a->setObjectName(name);
    a->setToolTip(hint);
    a->setCheckable(checkable);
    return a;
  };
  bSave = tool(ToolBar, "bSave", "Save Changed File As ... (Ctrl S)",
               ToolIcon("document-save-as", "S"));
  bSelectAll = tool(ToolBar, "bSelectAll", "Select All (Ctrl A)", ToolIcon("edit-select-all", "A"));
  bCut = tool(ToolBar, "bCut", "Cut (Ctrl X)", ToolIcon("edit-cut", "X"));
  bCopy = tool(ToolBar, "bCopy", "Copy (Ctrl C)", ToolIcon("edit-copy", "C"));
  bPaste = tool(ToolBar, "bPaste", "Paste (Ctrl V)", ToolIcon("edit-paste", "V"));
  bSelectionCopy =
      tool(ToolBar, "bSelectionCopy", "Automatically Copy on Selection", ToolIcon("", "AC"), true);
  ToolBar->addSeparator();
  bHexAscii =
      tool(ToolBar, "bHexAscii", "Converts between Hex and \"ASCII\"+Hex", ToolIcon("", "Hx"));
  bTabsSpaces = tool(ToolBar, "bTabsSpaces", "Covert between Tabs and Spaces (see Options)",
                     ToolIcon("", "\xe2\x87\xa5"));
  bCase = tool(ToolBar, "bCase", "Change Case (words) (Ctrl K)", ToolIcon("", "Aa"));
  bOutdent = tool(ToolBar, "bOutdent", "Outdent Selection (Ctrl Left)",
                  ToolIcon("format-indent-less", "\xe2\x87\xa4"));
  bIndent = tool(ToolBar, "bIndent", "Indent Selection (Ctrl Right)",
                 ToolIcon("format-indent-more", "\xe2\x87\xa5"));
  bCompare = tool(ToolBar, "bCompare", "Compare Clipboard with Selection", ToolIcon("", "="));
  bExchange = tool(ToolBar, "bExchange", "Exchange with Bookmark", ToolIcon("", "\xe2\x87\x86"));
  bWordWrap = tool(ToolBar, "bWordWrap", "Word Wrap", ToolIcon("format-justify-fill", "W"), true);

  bRecordMacro = tool(ToolBar2, "bRecordMacro", "Record a Macro (to a key)",
                      ToolIcon("media-record", "\xe2\x97\x8f"), true);
  bFind = tool(ToolBar2, "bFind", "Search (selection)", ToolIcon("edit-find", "F"));
  eTarget = new QComboBox(ToolBar2);
  eTarget->setObjectName("eTarget");
  eTarget->setEditable(true);
  eTarget->setInsertPolicy(QComboBox::NoInsert);
  eTarget->setMinimumWidth(140);
  ToolBar2->addWidget(eTarget);
  bPrev = tool(ToolBar2, "bPrev", "Find Previous", ToolIcon("go-previous", "<"));
  bNext = tool(ToolBar2, "bNext", "Find Next", ToolIcon("go-next", ">"));
  bIgnoreCase = tool(ToolBar2, "bIgnoreCase", "Ignore Case", ToolIcon("", "a=A"), true);
  bWildSearch = tool(ToolBar2, "bWildSearch", "Wild Search (# = any digit.  ? = any character)",
                     ToolIcon("", "#?"), true);
  ToolBar2->addSeparator();
  bSecurity = tool(ToolBar2, "bSecurity", "Crunch then Mixup selection", ToolIcon("", "\xc2\xa7"));

  bSave->setEnabled(false);

  connect(bSave, &QAction::triggered, this, [this] { SaveTextFile(); });
  // The editor's own commands act on the whole text: during a load they
  // wait for it. Copying takes the selection, which lies in what is in.
  connect(bSelectAll, &QAction::triggered, this, WholeText(&QPlainTextEdit::selectAll));
  connect(bCut, &QAction::triggered, this, WholeText(&QPlainTextEdit::cut));
  connect(bCopy, &QAction::triggered, Memo, &QPlainTextEdit::copy);
  connect(bPaste, &QAction::triggered, this, WholeText(&QPlainTextEdit::paste));
  connect(bHexAscii, &QAction::triggered, this, &TViewFileForm::HexAsciiClick);
  connect(bTabsSpaces, &QAction::triggered, this, &TViewFileForm::CovertTabsSpacesClick);
  connect(bCase, &QAction::triggered, this, &TViewFileForm::CaseClick);
  connect(bOutdent, &QAction::triggered, this, [this] { IndentOutdentClick(true); });
  connect(bIndent, &QAction::triggered, this, [this] { IndentOutdentClick(false); });
  connect(bCompare, &QAction::triggered, this, &TViewFileForm::CompareClick);
  connect(bExchange, &QAction::triggered, this, &TViewFileForm::ExchangeClick);
  connect(bWordWrap, &QAction::triggered, this, &TViewFileForm::WordWrapClick);
  connect(bRecordMacro, &QAction::triggered, this, &TViewFileForm::RecordMacroClick);
  connect(bFind, &QAction::triggered, this, &TViewFileForm::bFindClick);
  connect(bPrev, &QAction::triggered, this, [this] { SearchClick(-1); });
  connect(bNext, &QAction::triggered, this, [this] { SearchClick(1); });
  connect(bSecurity, &QAction::triggered, this, &TViewFileForm::bSecurityClick);
}

void TViewFileForm::CreateMenu() {
  PopupMenuMemo = new QMenu(this);
  auto item = [this](const char *name, const QString &caption) {
    QAction *a = PopupMenuMemo->addAction(caption);
    a->setObjectName(name);
    return a;
  };
  mUndo = item("mUndo", "Undo");
  PopupMenuMemo->addSeparator();
  mSaveAs = item("mSaveAs", "Save As ...");
  PopupMenuMemo->addSeparator();
  mSelectAll = item("mSelectAll", "Select All");
  mCut = item("mCut", "Cut");
  mCopy = item("mCopy", "Copy");
  mPaste = item("mPaste", "Paste");
  mHexAscii = item("mHexAscii", "Hex <-> Ascii/Hex");
  mTabsSpaces = item("mTabsSpaces", "Tabs <-> Spaces");
  mCase = item("mCase", "Change Case");
  mOutdent = item("mOutdent", "Outdent");
  mIndent = item("mIndent", "Indent");
  mCompare = item("mCompare", "Compare Selection && Clipboard");
  PopupMenuMemo->addSeparator();
  mExchange = item("mExchange", "Exchange with Bookmark");
  mWordWrap = item("mWordWrap", "Word Wrap");
  PopupMenuMemo->addSeparator();
  mRecordMacro = item("mRecordMacro", "Record Macro");
  PopupMenuMemo->addSeparator();
  mFind = item("mFind", "Find");
  mFindPrevious = item("mFindPrevious", "Find Previous");
  mFindNext = item("mFindNext", "Find Next");
  mIgnoreCase = item("mIgnoreCase", "Ignore Case (Toggle)");
  mWildSearch = item("mWildSearch", "Wild Search (Toggle)");
  PopupMenuMemo->addSeparator();
  mClose = item("mClose", "Close");
  mCloseAllViews = item("mCloseAllViews", "Close All Views");

  connect(PopupMenuMemo, &QMenu::aboutToShow, this,
          [this] { mSaveAs->setEnabled(bSave->isEnabled()); });
  connect(mUndo, &QAction::triggered, this, WholeText(&QPlainTextEdit::undo));
  connect(mSaveAs, &QAction::triggered, this, [this] { SaveTextFile(); });
  connect(mSelectAll, &QAction::triggered, this, WholeText(&QPlainTextEdit::selectAll));
  connect(mCut, &QAction::triggered, this, WholeText(&QPlainTextEdit::cut));
  connect(mCopy, &QAction::triggered, Memo, &QPlainTextEdit::copy);
  connect(mPaste, &QAction::triggered, this, WholeText(&QPlainTextEdit::paste));
  connect(mHexAscii, &QAction::triggered, this, &TViewFileForm::HexAsciiClick);
  connect(mTabsSpaces, &QAction::triggered, this, &TViewFileForm::CovertTabsSpacesClick);
  connect(mCase, &QAction::triggered, this, &TViewFileForm::CaseClick);
  connect(mOutdent, &QAction::triggered, this, [this] { IndentOutdentClick(true); });
  connect(mIndent, &QAction::triggered, this, [this] { IndentOutdentClick(false); });
  connect(mCompare, &QAction::triggered, this, &TViewFileForm::CompareClick);
  connect(mExchange, &QAction::triggered, this, &TViewFileForm::ExchangeClick);
  connect(mWordWrap, &QAction::triggered, this, [this] {
    bWordWrap->setChecked(!bWordWrap->isChecked());
    WordWrapClick();
  });
  connect(mRecordMacro, &QAction::triggered, this, [this] {
    bRecordMacro->setChecked(!bRecordMacro->isChecked());
    RecordMacroClick();
  });
  connect(mFind, &QAction::triggered, this, &TViewFileForm::bFindClick);
  connect(mFindPrevious, &QAction::triggered, this, [this] { SearchClick(-1); });
  connect(mFindNext, &QAction::triggered, this, [this] { SearchClick(1); });
  connect(mIgnoreCase, &QAction::triggered, bIgnoreCase, &QAction::toggle);
  connect(mWildSearch, &QAction::triggered, bWildSearch, &QAction::toggle);
  connect(mClose, &QAction::triggered, this, &QWidget::close);
  connect(mCloseAllViews, &QAction::triggered, this, [] { CloseAllViews(); });
}

void TViewFileForm::ApplyFontAndTabs() {
  Memo->setFont(OptionQFont(fuFileView));
  Memo->setTabStopDistance(OptionTabSize() * QFontMetricsF(Memo->font()).horizontalAdvance(' '));
}

void TViewFileForm::FormActivate() { ApplyFontAndTabs(); }

void TViewFileForm::changeEvent(QEvent *event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
  QWidget::changeEvent(event);
}

void TViewFileForm::SetStatusText(const std::string &text) {
  StatusBar->Text = text;
  StatusBar->update();
}

void TViewFileForm::UpdateCaption() {
  if (LoadPending()) {
    setWindowTitle(DisplayText(FileName));
    return;
  }
  setWindowTitle(DisplayText(Mode == vmImage
                                 ? ImageCaption(FileName, PictureWidth(), PictureHeight(), Zoom)
                                 : ViewCaption(FileName, Mode)));
}

// ---- Loading -------------------------------------------------------------------

void TViewFileForm::ResetView() {
  if (Mode == vmMedia && ViewerHooks().stopMedia) ViewerHooks().stopMedia(this);
  pbImage->setVisible(true);
  Picture = TPicture{};
  Scaled = QImage();
  bSaveImage->setEnabled(true);
  bPause->setVisible(false);
  bPause->setChecked(false);
  Mode = vmEmpty;
  DropJobs();
  StopLoading();
  Memo->setReadOnly(false);
  Memo->clear();
  Memo->document()->setModified(false);
  bSave->setEnabled(false);
  SetStatusText("");
}

void TViewFileForm::PrepareText() {
  if (pImage->isVisible()) ToolBarImage->show();
  // Text has no full-screen mode: the window gets its border back.
  setWindowState(Qt::WindowNoState);
  resize(INIReadNum("ViewWidth", width()), INIReadNum("ViewHeight", height()));
  bIgnoreCase->setChecked(INIReadNum("SearchIgnoreCase", 1) != 0);
  ApplyFontAndTabs();
}

namespace {

// The reason a file could not be read, as a second line of the message.
std::string ReadFailureText(TReadResult result, int64_t size, int64_t limit, int error) {
  switch (result) {
    case TReadResult::TooLarge:
      return "|n|0The file is too large to view this way: " + FormatSizeBytes(size) + " (at most " +
             FormatSizeBytes(limit) + ")";
    case TReadResult::Changed: return "|n|0The file changed while it was read";
    default: return "|n|0" + FsErrorText(error);
  }
}

}  // namespace

// What a worker read for ViewFile: the file's kind and, for the text and
// hex views, its contents ready for the editor.
struct TViewRead {
  TViewKind kind = TViewKind::None;
  TReadResult result = TReadResult::Ok;
  int64_t size = 0;
  int error = 0;
  std::string data;  // the decoded text, or the file's bytes for hex
  TTextCoding coding;
  int64_t lines = 0;
};

namespace {

// Reads path for the view of read.kind (Text or Hex); any thread.
void ReadForView(const std::string &path, TViewRead &read, const TWorkerJob *job) {
  const bool hex = read.kind == TViewKind::Hex;
  read.result =
      ReadWholeFile(path, hex ? ViewHexLimit : ViewTextLimit, read.data, read.size, read.error);
  if (read.result != TReadResult::Ok || (job && job->Cancelled())) return;
  if (hex) {
    read.lines = std::max<int64_t>(1, (static_cast<int64_t>(read.data.size()) + 15) / 16);
  } else {
    // Each stage frees the one before, so a large file is held as few times as can be.
    read.data = TextDecode(std::move(read.data), read.coding);
    read.lines = TextLineCount(read.data);
  }
}

}  // namespace

bool TViewFileForm::LoadText(const std::string &path) {
  TViewRead read;
  read.kind = TViewKind::Text;
  ReadForView(path, read, nullptr);
  return ShowText(read);
}

bool TViewFileForm::ShowText(TViewRead &read) {
  if (read.result != TReadResult::Ok) {
    DisplayError("|b|1ERROR: Can not View file" +
                 ReadFailureText(read.result, read.size, ViewTextLimit, read.error));
    return false;
  }
  Mode = vmText;
  Coding = read.coding;
  pImage->hide();
  pMemo->show();
  StartLoading(std::move(read.data), false, read.lines);
  show();
  Memo->setFocus();
  MemoClick();
  return true;
}

bool TViewFileForm::ShowHex(TViewRead &read) {
  Mode = vmHex;
  Memo->clear();
  if (read.result != TReadResult::Ok) {
    DisplayError("|b|1ERROR: Can not View file" +
                 ReadFailureText(read.result, read.size, ViewHexLimit, read.error));
    return false;
  }
  pImage->hide();
  pMemo->show();
  show();
  SetStatusText("|b|2Converting to Hex ...");
  StatusBar->repaint();
  // A hex dump is a new text: CR LF lines when saved as text.
  Coding = TTextCoding{};
  StartLoading(std::move(read.data), true, read.lines);
  Memo->setFocus();
  bSave->setEnabled(false);
  MemoClick();
  return true;
}

bool TViewFileForm::LandRead(TViewRead &read) {
  switch (read.kind) {
    case TViewKind::Text: PrepareText(); return ShowText(read);
    case TViewKind::Hex: PrepareText(); return ShowHex(read);
    case TViewKind::Shell:
      PrepareText();
      if (ViewerHooks().openFile)
        ViewerHooks().openFile(Caller, FileName);
      else
        WinOpenFile(Caller, FileName);
      return false;
    default:
      PrepareText();
      pMemo->hide();
      pImage->hide();
      return isVisible();
  }
}

bool TViewFileForm::RunLoadJob(std::function<void(const TWorkerJob &)> work,
                               std::function<void()> land) {
  DropLoadJob();
  LoadLate = false;
  LoadJob = AsyncRunner().Run(std::move(work), [this, land = std::move(land)] {
    LoadJob.reset();
    LoadTick->stop();
    land();
  });
  const TJobHandle job = LoadJob;
  if (job->WaitFinished(std::chrono::milliseconds(kViewWaitMs)) && TWorkerPool::Deliver(job))
    return true;
  LoadLate = true;
  LoadClock.start();
  LoadTick->start();
  return false;
}

void TViewFileForm::DropFind() {
  LoadedSource.reset();
  if (FindJob) FindJob->Cancel();
  FindJob.reset();
}

void TViewFileForm::DropJobs() {
  DropLoadJob();
  DropPreview();
  DropFind();
}

void TViewFileForm::DropLoadJob() {
  if (LoadJob) LoadJob->Cancel();
  LoadJob.reset();
  LoadingImage = false;
  if (LoadTick) LoadTick->stop();
}

void TViewFileForm::ShowLoadingState() {
  // A picture waits in the image panel (its paint box says so); anything
  // else in the editor's panel, whose status bar says so.
  if (!pImage->isVisible()) {
    pMemo->show();
    Memo->setReadOnly(true);
  }
  LoadingTick();
  UpdateCaption();
}

void TViewFileForm::LoadingTick() {
  SetStatusText(LoadClock.isValid() && LoadClock.elapsed() >= kNotRespondingMs
                    ? NotRespondingText(FileName)
                    : std::string("|b|2Loading ..."));
  pbImage->update();
}

void TViewFileForm::LateLanded(bool shown) {
  if (!shown && LoadMadeWindow) {
    // As when the read fails at once: no window stays for the file.
    if (LockedView == this) LockedView = nullptr;
    hide();
    deleteLater();
    return;
  }
  if (Mode != vmText && Mode != vmHex) Memo->setReadOnly(false);
  UpdateCaption();
}

void TViewFileForm::StartLoading(std::string source, bool hex, int64_t lines) {
  StopLoading();
  Pending.active = true;
  Pending.hex = hex;
  const int64_t size = static_cast<int64_t>(source.size());
  Pending.lines = lines >= 0 ? lines
                  : hex      ? std::max<int64_t>(1, (size + 15) / 16)
                             : TextLineCount(source);
  Pending.source = std::make_shared<const std::string>(std::move(source));
  // A find in a large unchanged text runs on a worker over these bytes.
  LoadedSource = size >= kFindOnWorker && size <= kFindSourceLimit ? Pending.source : nullptr;
  LoadedHex = hex;
  // A load is no step to undo.
  Memo->document()->setUndoRedoEnabled(false);
  if (LoadPiece(kFirstLoadPiece)) {
    // Read-only, yet the caret moves and selects by keyboard as by mouse.
    Memo->setReadOnly(true);
    Memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    LoadTimer->start();
  }
}

bool TViewFileForm::LoadPiece(size_t step) {
  if (!Pending.active) return false;
  const std::string &source = *Pending.source;
  const size_t from = Pending.done;
  size_t end;
  QString piece;
  if (Pending.hex) {
    // 16 bytes make a line of the dump: an eighth of the step in bytes gives
    // about as many lines as a step of text.
    end = from + std::min(std::max<size_t>(step / 8, 16), source.size() - from);
    piece.resize(static_cast<qsizetype>(HexDumpLength(from, end)));
    HexDumpWrite(reinterpret_cast<const unsigned char *>(source.data()), from, end,
                 reinterpret_cast<char16_t *>(piece.data()));
  } else {
    end = TextPieceEnd(source, from, step);
    piece = QString::fromUtf8(source.data() + from, static_cast<qsizetype>(end - from));
  }
  QTextDocument *document = Memo->document();
  if (from == 0) {
    Memo->setPlainText(piece);
  } else {
    // Appended at the end without moving the user's caret or selection.
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(piece);
  }
  document->setModified(false);
  Pending.done = end;
  if (end < source.size()) return true;
  std::function<void()> command = std::move(Deferred);
  StopLoading();
  MemoClick();
  // After this turn of the event loop: the command may ask questions or
  // close the window.
  if (command) QTimer::singleShot(0, this, std::move(command));
  return false;
}

void TViewFileForm::StopLoading() {
  LoadTimer->stop();
  Deferred = nullptr;
  LoadNote = nullptr;
  if (!Pending.active) return;
  Pending = TPendingLoad{};
  Memo->setReadOnly(false);
  Memo->document()->setUndoRedoEnabled(true);
}

std::string TViewFileForm::LoadingStatus(const char *note) const {
  const size_t size = Pending.source ? std::max<size_t>(1, Pending.source->size()) : 1;
  return "|b|2Loading ... " + std::to_string(Pending.done * 100 / size) + " %|b|0  (" + note + ")";
}

std::function<void()> TViewFileForm::WholeText(void (QPlainTextEdit::*command)()) {
  return [this, command] {
    if (!DeferWhileLoading([this, command] { (Memo->*command)(); })) (Memo->*command)();
  };
}

bool TViewFileForm::DeferWhileLoading(std::function<void()> command) {
  if (!Loading()) return false;
  Deferred = std::move(command);
  LoadNote = kRunsWhenIn;
  SetStatusText(LoadingStatus(LoadNote));
  return true;
}

void TViewFileForm::RefuseWhileLoading() {
  if (!LoadNote) LoadNote = kNoChangeYet;
  SetStatusText(LoadingStatus(kNoChangeYet));
}

// ---- Saving and closing --------------------------------------------------------

bool TViewFileForm::SaveTextFile() {
  // Nothing can have changed yet, but a save of the whole file waits for it.
  if (DeferWhileLoading([this] { SaveTextFile(); })) return false;
  TFileSaveRequest request;
  size_t slash = FileName.rfind(PathDelim);
  request.folder = slash == std::string::npos ? std::string() : FileName.substr(0, slash + 1);
  request.name = slash == std::string::npos ? FileName : FileName.substr(slash + 1);
  request.types = {"Text File", "Binary (from hex)"};
  request.type = Mode == vmHex ? 1 : 0;
  const int result = FileSaveAsk(request, this);
  if (result != fsrSave) return result != fsrCancel;
  if (request.name.empty() || request.type < 0) return true;
  std::string folder = request.folder;
  if (!folder.empty() && folder.back() != PathDelim) folder += PathDelim;
  const std::string target = folder + request.name;
  std::string bytes;
  if (request.type == 1) {
    const std::string text = MemoBytes();
    int32_t n = StrToBytes(text, nullptr, 0);
    if (n < 0) {
      DisplayError("|b|1ERROR: Data not all HEX (or quoted)");
      return false;
    }
    bytes.resize(static_cast<size_t>(n));
    StrToBytes(text, bytes.data(), n);
  } else {
    bytes = TextEncode(MemoBytes(), Coding);
  }
  int error = 0;
  std::string step;
  if (!SaveFileKeepingBackup(target, bytes, error, step)) {
    DisplayError("|b|1ERROR: Can not Save file|n|0" + FsErrorText(error) + " (" + step + ")");
    return false;
  }
  if (ViewerHooks().listAgain) ViewerHooks().listAgain();
  Memo->document()->setModified(false);
  bSave->setEnabled(false);
  return true;
}

void TViewFileForm::closeEvent(QCloseEvent *event) {
  if (bSave->isEnabled() && !SaveTextFile()) {
    event->ignore();
    return;
  }
  StopLoading();
  DropJobs();
  if (Mode == vmMedia && ViewerHooks().stopMedia) ViewerHooks().stopMedia(this);
  if (Mode == vmText || Mode == vmHex) {
    INIWriteNum("ViewWidth", width());
    INIWriteNum("ViewHeight", height());
    INIWriteNum("SearchIgnoreCase", bIgnoreCase->isChecked() ? 1 : 0);
  }
  if (LockedView == this) {
    LockedView = nullptr;
    if (ViewerHooks().lockReleased) ViewerHooks().lockReleased();
  }
  event->accept();
}

void TViewFileForm::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  if ((Mode == vmText || Mode == vmHex) && width() > 0 && height() > 0 && isVisible()) {
    INIWriteNum("ViewWidth", width());
    INIWriteNum("ViewHeight", height());
  }
}

// ---- Editor helpers ------------------------------------------------------------

std::string TViewFileForm::MemoBytes() const {
  QString text = Memo->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  return FromQ(text);
}

size_t TViewFileForm::Utf8Offset(const QString &text, int position) {
  size_t offset = 0;
  const int end = std::min<int>(position, static_cast<int>(text.size()));
  for (int i = 0; i < end; ++i) {
    char16_t c = text[i].unicode();
    if (c < 0x80)
      offset += 1;
    else if (c < 0x800)
      offset += 2;
    else if (QChar::isHighSurrogate(c) && i + 1 < end &&
             QChar::isLowSurrogate(text[i + 1].unicode())) {
      offset += 4;
      ++i;
    } else
      offset += 3;
  }
  return offset;
}

int TViewFileForm::EditorPosition(const QString &text, size_t offset) {
  size_t bytes = 0;
  int i = 0;
  const int n = static_cast<int>(text.size());
  while (i < n && bytes < offset) {
    char16_t c = text[i].unicode();
    if (c < 0x80)
      bytes += 1;
    else if (c < 0x800)
      bytes += 2;
    else if (QChar::isHighSurrogate(c) && i + 1 < n &&
             QChar::isLowSurrogate(text[i + 1].unicode())) {
      bytes += 4;
      ++i;
    } else
      bytes += 3;
    ++i;
  }
  return i;
}

void TViewFileForm::ReplaceRange(int start, int end, const QString &text) {
  QTextCursor cursor(Memo->document());
  cursor.setPosition(start);
  cursor.setPosition(end, QTextCursor::KeepAnchor);
  cursor.insertText(text);
  const int stop = cursor.position();
  cursor.setPosition(start);
  cursor.setPosition(stop, QTextCursor::KeepAnchor);
  Memo->setTextCursor(cursor);
}

// ---- Tools ---------------------------------------------------------------------

void TViewFileForm::MemoChange() {
  const bool modified = Memo->document()->isModified();
  bSave->setEnabled(modified);
  // The text as loaded no longer is the editor's.
  if (modified && !Loading()) DropFind();
}

void TViewFileForm::MemoClick(bool copySelection) {
  if (MacroTarget != 0) {
    StatusBar->update();
    return;
  }
  if (Loading() && LoadNote) {
    SetStatusText(LoadingStatus(LoadNote));
    return;
  }
  const QTextCursor cursor = Memo->textCursor();
  if (cursor.hasSelection()) {
    QString selection = cursor.selectedText();
    selection.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    SetStatusText(WordsStatusText(FromQ(selection)));
    if (copySelection && bSelectionCopy->isChecked()) Memo->copy();
  } else {
    // A text that ends with a line end has no further line after it.
    const QTextDocument *document = Memo->document();
    int64_t lines = document->blockCount();
    if (lines > 1 && document->lastBlock().length() <= 1) --lines;
    if (Loading()) lines = Pending.lines;
    const int64_t line = cursor.blockNumber() + 1;
    SetStatusText(LineStatusText(line, std::max(line, lines)));
  }
}

void TViewFileForm::MemoEnter() {
  if (Loading()) {
    RefuseWhileLoading();
    return;
  }
  QTextCursor cursor = Memo->textCursor();
  cursor.removeSelectedText();
  const QString line = cursor.block().text().left(cursor.positionInBlock());
  const std::string indent = EnterIndent(FromQ(line), FromQ(line).size());
  cursor.insertText(QStringLiteral("\n") + ToQ(indent));
  Memo->setTextCursor(cursor);
  Memo->ensureCursorVisible();
}

void TViewFileForm::HexAsciiClick() {
  if (DeferWhileLoading([this] { HexAsciiClick(); })) return;
  QTextCursor cursor = Memo->textCursor();
  QString selection = cursor.selectedText();
  selection.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  std::string result;
  if (!HexAsciiConvert(FromQ(selection), result)) {
    DisplayError("|b|1ERROR: Selected text is not all HEX (or quoted)");
    return;
  }
  ReplaceRange(cursor.selectionStart(), cursor.selectionEnd(), ToQ(result));
}

void TViewFileForm::CovertTabsSpacesClick() {
  if (DeferWhileLoading([this] { CovertTabsSpacesClick(); })) return;
  QTextCursor cursor = Memo->textCursor();
  if (!cursor.hasSelection()) return;
  QString selection = cursor.selectedText();
  selection.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  ReplaceRange(cursor.selectionStart(), cursor.selectionEnd(),
               ToQ(TabsSpacesConvert(FromQ(selection), OptionTabSize())));
}

void TViewFileForm::CaseClick() {
  if (DeferWhileLoading([this] { CaseClick(); })) return;
  QTextCursor cursor = Memo->textCursor();
  if (!cursor.hasSelection()) {
    const QString line = cursor.block().text();
    const std::string bytes = FromQ(line);
    size_t start, end;
    WordAround(bytes, Utf8Offset(line, cursor.positionInBlock()), start, end);
    if (start == end) return;
    const int base = cursor.block().position();
    cursor.setPosition(base + EditorPosition(line, start));
    cursor.setPosition(base + EditorPosition(line, end), QTextCursor::KeepAnchor);
  }
  QString selection = cursor.selectedText();
  selection.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  ReplaceRange(cursor.selectionStart(), cursor.selectionEnd(), ToQ(ChangeCase(FromQ(selection))));
}

void TViewFileForm::IndentOutdentClick(bool outdent) {
  if (DeferWhileLoading([this, outdent] { IndentOutdentClick(outdent); })) return;
  const QTextCursor cursor = Memo->textCursor();
  QTextDocument *document = Memo->document();
  const int first = document->findBlock(cursor.selectionStart()).position();
  QTextBlock lastBlock = document->findBlock(std::max(cursor.selectionEnd(), first));
  const int stop =
      std::min(lastBlock.position() + lastBlock.length(), document->characterCount() - 1);
  // Only the lines the selection touches are converted.
  QTextCursor range(document);
  range.setPosition(first);
  range.setPosition(stop, QTextCursor::KeepAnchor);
  QString part = range.selectedText();
  part.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  const std::string bytes = FromQ(part);
  const size_t selStart = Utf8Offset(part, cursor.selectionStart() - first);
  const size_t selLength = Utf8Offset(part, cursor.selectionEnd() - first) - selStart;
  TIndentResult r = IndentLines(bytes, selStart, selLength, outdent, [] {
    return DisplayMany(mbQuestion, "|b|4Indent using |uTAB|u or |uSPACE|u?|b|4", "TAB,SPACE") == 0;
  });
  const int start = first + EditorPosition(part, r.start);
  const int end = first + EditorPosition(part, r.end);
  ReplaceRange(start, end, ToQ(r.replacement));
}

void TViewFileForm::ExchangeClick() {
  if (DeferWhileLoading([this] { ExchangeClick(); })) return;
  QTextCursor cursor = Memo->textCursor();
  int caret = cursor.position();
  int target =
      static_cast<int>(ExchangeWithBookmark(caret, Memo->document()->characterCount() - 1));
  cursor.setPosition(target);
  Memo->setTextCursor(cursor);
  Memo->ensureCursorVisible();
  MemoClick();
}

void TViewFileForm::CompareClick() {
  // The selection lies in the part loaded so far: no need to wait.
  QString selection = Memo->textCursor().selectedText();
  selection.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  CompareTexts(FromQ(selection), FromQ(QApplication::clipboard()->text()), false, "Selection",
               "Clipboard");
}

void TViewFileForm::WordWrapClick() {
  const bool wrap = bWordWrap->isChecked();
  Memo->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  Memo->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
}

void TViewFileForm::bSecurityClick() {
  if (DeferWhileLoading([this] { bSecurityClick(); })) return;
  QTextCursor cursor = Memo->textCursor();
  if (!cursor.hasSelection()) {
    QApplication::beep();
    return;
  }
  QString selection = cursor.selectedText();
  selection.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  uint32_t hash = 0;
  const std::string mixed = MixupText(FromQ(selection), hash);
  ReplaceRange(cursor.selectionStart(), cursor.selectionEnd(), ToQ(mixed));
  QApplication::clipboard()->setText(QString::fromStdString(CardToStr(hash)));
}

void TViewFileForm::bFindClick() {
  QTextCursor cursor = Memo->textCursor();
  if (cursor.hasSelection()) {
    QString selection = cursor.selectedText();
    selection.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    eTarget->setEditText(ToQ(StrStripSpaces(FromQ(selection))));
  }
  eTarget->setFocus();
  eTarget->lineEdit()->selectAll();
}

void TViewFileForm::SearchClick(int direction) {
  // The history keeps the find text's bytes, which need not be UTF-8 (a text
  // handed over by a search window).
  const std::string target = ComboText(eTarget);
  SearchHistoryAdd(target);
  eTarget->blockSignals(true);
  eTarget->clear();
  for (const std::string &entry : SearchHistory) ComboInsertItem(eTarget, eTarget->count(), entry);
  ComboSetText(eTarget, target);
  eTarget->blockSignals(false);
  // A text that is not UTF-8 reads one character per byte, as a file that is
  // not UTF-8 shows in the editor.
  std::string needle = target;
  if (!IsValidUtf8(target)) {
    needle.clear();
    for (unsigned char c : target) AppendUtf8(needle, c);
  }
  // A large text as loaded is searched on a worker, even while it loads;
  // otherwise the find waits for the load and searches the editor's text.
  if (LoadedSource && static_cast<int64_t>(LoadedSource->size()) >= kFindOnWorker) {
    StartFind(needle, direction, Memo->textCursor().selectionStart());
    return;
  }
  if (DeferWhileLoading([this, direction] { SearchClick(direction); })) return;

  QString text = Memo->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  const std::string bytes = FromQ(text);
  const QTextCursor cursor = Memo->textCursor();
  const int64_t selStart = static_cast<int64_t>(Utf8Offset(text, cursor.selectionStart()));
  const int64_t found = SearchText(bytes, selStart, needle, direction, bIgnoreCase->isChecked(),
                                   bWildSearch->isChecked());
  if (found < 0) {
    QApplication::beep();
    return;
  }
  QTextCursor select(Memo->document());
  select.setPosition(EditorPosition(text, static_cast<size_t>(found)));
  select.setPosition(EditorPosition(text, static_cast<size_t>(found) + needle.size()),
                     QTextCursor::KeepAnchor);
  Memo->setTextCursor(select);
  Memo->setFocus();
  Memo->ensureCursorVisible();
}

namespace {

// The editor's units (UTF-16) in the UTF-8 text [from, to).
int64_t EditorUnits(const std::string &text, size_t from, size_t to) {
  int64_t units = 0;
  for (size_t i = from; i < to; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) != 0x80) units += c >= 0xF0 ? 2 : 1;
  }
  return units;
}

// The UTF-8 offset in text of the editor's position units.
size_t TextOffsetOf(const std::string &text, int64_t units) {
  size_t i = 0;
  while (i < text.size() && units > 0) {
    const auto c = static_cast<unsigned char>(text[i]);
    units -= c >= 0xF0 ? 2 : 1;
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  }
  return i;
}

// The hex view's text of bytes (plain ASCII).
std::string HexDumpText(const std::string &bytes) {
  std::string text;
  text.reserve(HexDumpLength(0, bytes.size()));
  std::u16string piece;
  constexpr size_t kStep = 64 << 10;
  for (size_t from = 0; from < bytes.size(); from += kStep) {
    const size_t to = std::min(bytes.size(), from + kStep);
    piece.resize(HexDumpLength(from, to));
    HexDumpWrite(reinterpret_cast<const unsigned char *>(bytes.data()), from, to, piece.data());
    for (char16_t c : piece) text += static_cast<char>(c);
  }
  return text;
}

}  // namespace

void TViewFileForm::StartFind(const std::string &needle, int direction, int editorStart) {
  if (FindJob) FindJob->Cancel();
  auto found = std::make_shared<std::pair<int64_t, int64_t>>(-1, -1);
  FindJob = AsyncRunner().Run(
      [source = LoadedSource, hex = LoadedHex, needle, direction, editorStart, found,
       ignoreCase = bIgnoreCase->isChecked(),
       wild = bWildSearch->isChecked()](const TWorkerJob &job) {
        const std::string dump = hex ? HexDumpText(*source) : std::string();
        const std::string &text = hex ? dump : *source;
        if (job.Cancelled()) return;
        // The dump is ASCII: its positions are the editor's.
        const size_t start =
            hex ? static_cast<size_t>(editorStart) : TextOffsetOf(text, editorStart);
        const int64_t at =
            SearchText(text, static_cast<int64_t>(start), needle, direction, ignoreCase, wild);
        if (at < 0) return;
        const size_t end = std::min(text.size(), static_cast<size_t>(at) + needle.size());
        found->first = EditorUnits(text, 0, static_cast<size_t>(at));
        found->second = found->first + EditorUnits(text, static_cast<size_t>(at), end);
      },
      [this, found] {
        FindJob.reset();
        ShowFound(found->first, found->second);
      });
  SetStatusText("|b|2Searching ...");
}

void TViewFileForm::ShowFound(int64_t start, int64_t end) {
  if (start < 0) {
    QApplication::beep();
    MemoClick();
    return;
  }
  const int64_t count = Memo->document()->characterCount() - 1;
  // Found in the part still loading: selected once it is in.
  if (end > count && DeferWhileLoading([this, start, end] { ShowFound(start, end); })) return;
  start = std::min(start, count);
  end = std::min(end, count);
  QTextCursor select(Memo->document());
  select.setPosition(static_cast<int>(start));
  select.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
  Memo->setTextCursor(select);
  Memo->setFocus();
  Memo->ensureCursorVisible();
}

void TViewFileForm::RecordMacroClick() {
  if (bRecordMacro->isChecked())
    SetStatusText(MacroRecordStart());
  else
    SetStatusText(MacroRecordEnd());
  StatusBar->repaint();
}

// ---- Keys ----------------------------------------------------------------------

void TViewFileForm::SwitchWindow() {
  const QWidgetList windows = QApplication::topLevelWidgets();
  QWidget *active = QApplication::activeWindow();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    QWidget *w = *it;
    if (w == active || w == this || !w->isVisible() || w->windowType() == Qt::Popup ||
        w->windowType() == Qt::ToolTip)
      continue;
    w->activateWindow();
    w->raise();
    return;
  }
}

void TViewFileForm::MacroReplay(int32_t code, int shiftState) {
  if (!MacroReplayBegin()) {
    QApplication::beep();
    return;
  }
  MacroReplaying = true;
  KeyboardSave();
  PostShiftUp(shiftState & (ssShift | ssAlt | ssCtrl));
  QCoreApplication::processEvents();
  MacroReplaying = false;
  // A copy: a replayed key may end a recording that replaces this macro.
  const std::vector<uint16_t> codes = *MacroFor(code);
  for (uint16_t c : codes) {
    if (!MacroReplayKey()) {
      QApplication::beep();
      break;
    }
    PostKey(c & 0xFF, (c >> 8) & (ssShift | ssAlt | ssCtrl), false);
    QCoreApplication::processEvents();
  }
  MacroReplayEnd();
}

bool TViewFileForm::FormKeyDown(QKeyEvent *event) {
  if (MacroReplaying) return false;
  KeyConsumed = false;
  const int key = event->key();
  if (IsModifierKey(key)) return false;
  int vk = QtKeyToVirtualKey(key == Qt::Key_Backtab ? Qt::Key_Tab : key);
  if (vk < 8) return false;
  const int shiftState = ShiftStateOf(event);
  const int32_t code = shiftState * 256 + vk;
  if (vk == 9 && shiftState == ssCtrl) {
    SwitchWindow();
    return true;
  }
  std::string status;
  switch (MacroKeyDown(code, status)) {
    case TMacroKey::Chosen:
      SetStatusText(status);
      StatusBar->repaint();
      return true;
    case TMacroKey::Replay:
      // A macro's keys edit the whole text: it waits for the load.
      if (DeferWhileLoading([this, code, shiftState] { MacroReplay(code, shiftState); }))
        return true;
      // The window may close during the replay (a replayed Esc): nothing of
      // it is touched afterwards.
      MacroReplay(code, shiftState);
      return true;
    default: return false;
  }
}

bool TViewFileForm::MemoKeyDown(QKeyEvent *event) {
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  const bool ctrl = mods == Qt::ControlModifier;
  switch (event->key()) {
    case Qt::Key_F:
      if (!ctrl) return false;
      bFindClick();
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (mods & (Qt::ControlModifier | Qt::AltModifier)) return false;
      MemoEnter();
      return true;
    case Qt::Key_S:
      if (!ctrl) return false;
      SaveTextFile();
      return true;
    case Qt::Key_E:
      if (!ctrl) return false;
      ExchangeClick();
      return true;
    case Qt::Key_A:
      if (!ctrl) return false;
      WholeText (&QPlainTextEdit::selectAll)();
      return true;
    case Qt::Key_F3:
      if (mods != Qt::NoModifier) return false;
      SearchClick(1);
      return true;
    case Qt::Key_Right:
    case Qt::Key_Left:
      if (!ctrl || !Memo->textCursor().hasSelection()) return false;
      IndentOutdentClick(event->key() == Qt::Key_Left);
      return true;
    default: return false;
  }
}

bool TViewFileForm::eventFilter(QObject *watched, QEvent *event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress || type == QEvent::ShortcutOverride) {
    auto *key = static_cast<QKeyEvent *>(event);
    if (type == QEvent::ShortcutOverride) {
      // Keys the window handles itself are not the editor's shortcuts.
      if (watched == Memo && (key->modifiers() & Qt::ControlModifier)) event->accept();
      return false;
    }
    QPointer<TViewFileForm> self(this);
    if (FormKeyDown(key)) return true;
    if (!self) return true;
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (key->key() == Qt::Key_Escape && mods == Qt::NoModifier) {
      close();
      return true;
    }
    if (key->key() == Qt::Key_K && mods == Qt::ControlModifier) {
      CaseClick();
      return true;
    }
    if (watched == Memo && Loading() && ChangesText(key)) {
      // The editor is read-only till the file is all in; a key typed now
      // would land at a place the user no longer sees when the load ends.
      RefuseWhileLoading();
      return true;
    }
    if (watched == Memo && MemoKeyDown(key)) return true;
    if (watched == pbImage && mods == Qt::ControlModifier &&
        (key->key() == Qt::Key_C || key->key() == Qt::Key_V)) {
      if (key->key() == Qt::Key_C)
        mCopyImageClick();
      else
        mPasteImageClick();
      return true;
    }
    if (watched == eTarget->lineEdit() &&
        (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
      SearchClick(1);
      return true;
    }
    return false;
  }
  if (VideoWidget && watched == static_cast<QObject *>(static_cast<QWidget *>(VideoWidget)) &&
      type == QEvent::MouseButtonDblClick) {
    // Full screen replaces the video widget: not while it is handling an event.
    QTimer::singleShot(0, this, &TViewFileForm::bFullScreenClick);
    return true;
  }
  if (watched == Memo && type == QEvent::KeyRelease) {
    MemoClick(true);
    return false;
  }
  if (watched == Memo->viewport()) {
    if (type == QEvent::MouseButtonPress) {
      auto *mouse = static_cast<QMouseEvent *>(event);
      if (mouse->button() == Qt::RightButton && (mouse->buttons() & Qt::LeftButton)) {
        WholeText (&QPlainTextEdit::paste)();
        return true;
      }
    } else if (type == QEvent::MouseButtonRelease) {
      auto *mouse = static_cast<QMouseEvent *>(event);
      if (mouse->button() == Qt::RightButton && !(mouse->buttons() & Qt::LeftButton)) {
        PopupMenuMemo->popup(mouse->globalPosition().toPoint());
        return true;
      }
      MemoClick(true);
    }
  }
  return QWidget::eventFilter(watched, event);
}

// ---- Opening and closing views -------------------------------------------------

TViewFileForm *ViewFile(const std::string &path, bool newWindow, bool hex,
                        const std::string &findText, QWidget *caller) {
  InstallImageView();
  KeepLargeBlocksMapped();
  TViewFileForm *form = LockedView;
  bool made = false;
  switch (ViewFileAction(LockedView != nullptr, LockedView ? LockedView->FileName : std::string(),
                         LockedView ? LockedView->Mode : uint8_t(vmEmpty), path, newWindow, hex)) {
    case TViewAction::Nothing: return LockedView;
    case TViewAction::Reuse: form->ResetView(); break;
    case TViewAction::Create: {
      form = new TViewFileForm(nullptr);
      const int position = ViewCascadeNext();
      form->move(position, position);
      form->ResetView();
      LockedView = form;
      made = true;
      break;
    }
  }
  if (!newWindow && !(form->windowFlags() & Qt::WindowStaysOnTopHint)) {
    // Changing a window's flags hides it: a reused window is shown again.
    const bool wasVisible = form->isVisible();
    form->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (wasVisible) form->show();
  }

  SearchHistoryAdd(findText);
  form->eTarget->clear();
  for (const std::string &entry : SearchHistory)
    ComboInsertItem(form->eTarget, form->eTarget->count(), entry);
  if (!SearchHistory.empty()) ComboSetText(form->eTarget, SearchHistory.front());
  form->Caller = caller;
  form->FileName = path;

  form->LoadMadeWindow = made;
  form->LoadShown = false;

  bool shown = false;
  const TViewKind byName = ViewFileKindByName(path, hex);
  if (byName == TViewKind::Image) {
    // The image view decodes on the pool itself (a picture may still be
    // pending when the hook returns).
    shown = ViewerHooks().showImage && ViewerHooks().showImage(form, path);
    if (shown) form->Mode = vmImage;
  } else if (byName == TViewKind::Media) {
    shown = ViewerHooks().playMedia && ViewerHooks().playMedia(form, path);
    if (shown) form->Mode = vmMedia;
  } else {
    // Whether it is text, and its contents, come from a worker.
    auto read = std::make_shared<TViewRead>();
    read->kind = byName;
    const bool landed = form->RunLoadJob(
        [read, path, newWindow](const TWorkerJob &job) {
          if (read->kind != TViewKind::Hex) read->kind = ViewFileProbe(path, newWindow);
          if (job.Cancelled()) return;
          if (read->kind == TViewKind::Text || read->kind == TViewKind::Hex)
            ReadForView(path, *read, &job);
        },
        [form, read] {
          QPointer<TViewFileForm> self(form);
          const bool shown = form->LandRead(*read);
          if (!self) return;  // closed while an error message was up
          if (form->LoadLate)
            form->LateLanded(shown);
          else
            form->LoadShown = shown;
        });
    if (landed) {
      shown = form->LoadShown;
    } else {
      form->PrepareText();
      form->pImage->hide();
      form->ShowLoadingState();
      shown = true;
    }
  }
  if (!shown && !form->isVisible()) {
    if (LockedView == form) LockedView = nullptr;
    delete form;
    return nullptr;
  }
  if (!form->isVisible()) form->show();
  form->UpdateCaption();
  if (!newWindow && caller) {
    caller->activateWindow();
    caller->raise();
  }
  return form;
}

bool CloseAllViews() {
  bool all = true;
  // Closing a window deletes its own top-level children (menus) as well.
  std::vector<QPointer<QWidget>> windows;
  for (QWidget *w : QApplication::topLevelWidgets()) windows.emplace_back(w);
  for (const QPointer<QWidget> &window : windows) {
    if (!window || window->property("Tag").toInt() == 0 || !window->isVisible()) continue;
    if (!window->close()) all = false;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  if (all) ViewCascade = 0;
  return all;
}

}  // namespace trovix
