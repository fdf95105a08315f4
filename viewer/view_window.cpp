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

#include "compare/compare_form.h"
#include "dialogs/markup_ui.h"
#include "dialogs/message_box.h"
#include "dialogs/options.h"
#include "dialogs/options_ui.h"
#include "foundation/file_system.h"
#include "foundation/platform_ui.h"
#include "foundation/settings.h"
#include "foundation/string_arrays.h"
#include "foundation/strings.h"
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
constexpr size_t kLoadPiece = 64 << 10;
constexpr qint64 kLoadTurnMs = 25;

bool IsModifierKey(int key) {
  return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
         key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

}  // namespace

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
  });

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
  // The editor's own commands act on the whole text, so a load finishes first.
  auto whole = [this](void (QPlainTextEdit::*command)()) {
    return [this, command] {
      FinishLoading();
      (Memo->*command)();
    };
  };
  connect(bSelectAll, &QAction::triggered, this, whole(&QPlainTextEdit::selectAll));
  connect(bCut, &QAction::triggered, this, whole(&QPlainTextEdit::cut));
  connect(bCopy, &QAction::triggered, this, whole(&QPlainTextEdit::copy));
  connect(bPaste, &QAction::triggered, this, whole(&QPlainTextEdit::paste));
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
  auto whole = [this](void (QPlainTextEdit::*command)()) {
    return [this, command] {
      FinishLoading();
      (Memo->*command)();
    };
  };
  connect(mUndo, &QAction::triggered, this, whole(&QPlainTextEdit::undo));
  connect(mSaveAs, &QAction::triggered, this, [this] { SaveTextFile(); });
  connect(mSelectAll, &QAction::triggered, this, whole(&QPlainTextEdit::selectAll));
  connect(mCut, &QAction::triggered, this, whole(&QPlainTextEdit::cut));
  connect(mCopy, &QAction::triggered, this, whole(&QPlainTextEdit::copy));
  connect(mPaste, &QAction::triggered, this, whole(&QPlainTextEdit::paste));
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
  setWindowTitle(DisplayText(Mode == vmImage
                                 ? ImageCaption(FileName, PictureWidth(), PictureHeight(), Zoom)
                                 : ViewCaption(FileName, Mode)));
}

// ---- Loading -------------------------------------------------------------------

void TViewFileForm::ResetView() {
  if (Mode == vmMedia && ViewerHooks().stopMedia) ViewerHooks().stopMedia(this);
  pbImage->setVisible(true);
  Picture = TPicture{};
  Preview = QImage();
  PreviewBytes.clear();
  Scaled = QImage();
  bSaveImage->setEnabled(true);
  bPause->setVisible(false);
  bPause->setChecked(false);
  Mode = vmEmpty;
  StopLoading();
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

bool TViewFileForm::LoadText(const std::string &path) {
  std::string bytes;
  int64_t size = 0;
  int error = 0;
  TReadResult result = ReadWholeFile(path, ViewTextLimit, bytes, size, error);
  if (result != TReadResult::Ok) {
    DisplayError("|b|1ERROR: Can not View file" +
                 ReadFailureText(result, size, ViewTextLimit, error));
    return false;
  }
  Mode = vmText;
  pImage->hide();
  pMemo->show();
  // Each stage frees the one before, so a large file is held as few times as can be.
  std::string text = TextDecode(std::move(bytes), Coding);
  bytes = std::string();
  StartLoading(std::move(text), false);
  show();
  Memo->setFocus();
  MemoClick();
  return true;
}

bool TViewFileForm::LoadHex(const std::string &path) {
  Mode = vmHex;
  Memo->clear();
  std::string bytes;
  int64_t size = 0;
  int error = 0;
  TReadResult result = ReadWholeFile(path, ViewHexLimit, bytes, size, error);
  if (result != TReadResult::Ok) {
    DisplayError("|b|1ERROR: Can not View file" +
                 ReadFailureText(result, size, ViewHexLimit, error));
    return false;
  }
  pImage->hide();
  pMemo->show();
  show();
  SetStatusText("|b|2Converting to Hex ...");
  StatusBar->repaint();
  // A hex dump is a new text: CR LF lines when saved as text.
  Coding = TTextCoding{};
  StartLoading(std::move(bytes), true);
  Memo->setFocus();
  bSave->setEnabled(false);
  MemoClick();
  return true;
}

void TViewFileForm::StartLoading(std::string source, bool hex) {
  StopLoading();
  Pending.active = true;
  Pending.hex = hex;
  Pending.source = std::move(source);
  const int64_t size = static_cast<int64_t>(Pending.source.size());
  Pending.lines = hex ? std::max<int64_t>(1, (size + 15) / 16) : TextLineCount(Pending.source);
  // A load is no step to undo.
  Memo->document()->setUndoRedoEnabled(false);
  if (LoadPiece(kFirstLoadPiece)) {
    Memo->setReadOnly(true);
    LoadTimer->start();
  }
}

bool TViewFileForm::LoadPiece(size_t step) {
  if (!Pending.active) return false;
  const std::string &source = Pending.source;
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
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(piece);
  }
  document->setModified(false);
  Pending.done = end;
  if (end < source.size()) return true;
  StopLoading();
  return false;
}

void TViewFileForm::StopLoading() {
  LoadTimer->stop();
  if (!Pending.active) return;
  std::string().swap(Pending.source);  // gives the memory back (an assignment may keep it)
  Pending = TPendingLoad{};
  Memo->setReadOnly(false);
  Memo->document()->setUndoRedoEnabled(true);
}

void TViewFileForm::FinishLoading() {
  // Pieces of a bounded size keep the converted text small.
  while (LoadPiece(16 * kLoadPiece)) {
  }
}

// ---- Saving and closing --------------------------------------------------------

bool TViewFileForm::SaveTextFile() {
  FinishLoading();
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

void TViewFileForm::MemoChange() { bSave->setEnabled(Memo->document()->isModified()); }

void TViewFileForm::MemoClick(bool copySelection) {
  if (MacroTarget != 0) {
    StatusBar->update();
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
  FinishLoading();
  QTextCursor cursor = Memo->textCursor();
  cursor.removeSelectedText();
  const QString line = cursor.block().text().left(cursor.positionInBlock());
  const std::string indent = EnterIndent(FromQ(line), FromQ(line).size());
  cursor.insertText(QStringLiteral("\n") + ToQ(indent));
  Memo->setTextCursor(cursor);
  Memo->ensureCursorVisible();
}

void TViewFileForm::HexAsciiClick() {
  FinishLoading();
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
  FinishLoading();
  QTextCursor cursor = Memo->textCursor();
  if (!cursor.hasSelection()) return;
  QString selection = cursor.selectedText();
  selection.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  ReplaceRange(cursor.selectionStart(), cursor.selectionEnd(),
               ToQ(TabsSpacesConvert(FromQ(selection), OptionTabSize())));
}

void TViewFileForm::CaseClick() {
  FinishLoading();
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
  FinishLoading();
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
  FinishLoading();
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
  FinishLoading();
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
  FinishLoading();
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
  FinishLoading();
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
      Memo->selectAll();
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
    // A key may change the text or move through all of it.
    if (watched == Memo) FinishLoading();
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
        FinishLoading();
        Memo->paste();
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
  TViewFileForm *form = LockedView;
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

  bool shown = false;
  switch (ViewFileKind(path, newWindow, hex)) {
    case TViewKind::Image:
      shown = ViewerHooks().showImage && ViewerHooks().showImage(form, path);
      if (shown) form->Mode = vmImage;
      break;
    case TViewKind::Media:
      shown = ViewerHooks().playMedia && ViewerHooks().playMedia(form, path);
      if (shown) form->Mode = vmMedia;
      break;
    case TViewKind::Text:
      form->PrepareText();
      shown = form->LoadText(path);
      break;
    case TViewKind::Hex:
      form->PrepareText();
      shown = form->LoadHex(path);
      break;
    case TViewKind::Shell:
      form->PrepareText();
      if (ViewerHooks().openFile)
        ViewerHooks().openFile(caller, path);
      else
        WinOpenFile(caller, path);
      break;
    case TViewKind::None:
      form->PrepareText();
      form->pMemo->hide();
      form->pImage->hide();
      shown = form->isVisible();
      break;
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
