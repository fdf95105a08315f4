#include "browser/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QSplitter>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "browser/file_grid_ui.h"
#include "browser/file_list.h"
#include "browser/folder_tree_ui.h"
#include "browser/icons_ui.h"
#include "browser/operation_state.h"
#include "browser/status_bar_ui.h"
#include "dialogs/about_form.h"
#include "dialogs/controls_ui.h"
#include "dialogs/edit_string_form.h"
#include "dialogs/markup.h"
#include "dialogs/message_box.h"
#include "foundation/settings.h"
#include "foundation/settings_qt.h"
#include "foundation/strings.h"

namespace trovix {

TMainForm *MainForm = nullptr;

namespace {

QString ToDisplay(const std::string &bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Tab lists in the settings separate folders by commas; a comma inside a
// folder is stored as byte 128.
std::string CommaToByte128(std::string s) {
  StrChangeChar(s, ',', static_cast<char>(128));
  return s;
}
std::string Byte128ToComma(std::string s) {
  StrChangeChar(s, static_cast<char>(128), ',');
  return s;
}

// The splitter between tree and grid, its handle painted with a grip.
class TTreeSplitter : public QSplitter {
 public:
  using QSplitter::QSplitter;

 protected:
  QSplitterHandle *createHandle() override;
};

class TGripHandle : public QSplitterHandle {
 public:
  using QSplitterHandle::QSplitterHandle;

 protected:
  void paintEvent(QPaintEvent *) override {
    QPainter p(this);
    p.fillRect(rect(), palette().button());
    p.setPen(palette().dark().color());
    // 13 short lines two pixels apart, centred along the handle.
    int y0 = height() / 2 - 13;
    for (int i = 0; i < 13; ++i) p.drawLine(1, y0 + 2 * i, width() - 2, y0 + 2 * i);
  }
};

QSplitterHandle *TTreeSplitter::createHandle() { return new TGripHandle(orientation(), this); }

}  // namespace

TMainForm::TMainForm(QWidget *parent) : QMainWindow(parent) {
  setObjectName("MainForm");
  setWindowTitle("Trovix");
  resize(800, 560);
  CreateActions();
  CreateMenus();
  CreateClientArea();
  Timer = new QTimer(this);
  Timer->setInterval(1000);
  connect(Timer, &QTimer::timeout, this, &TMainForm::TimerTimer);
  Timer->start();
  qApp->installEventFilter(this);
}

TMainForm::~TMainForm() {
  qApp->removeEventFilter(this);
  if (MainForm == this) MainForm = nullptr;
}

void TMainForm::CreateActions() {
  ToolBar = addToolBar("Tools");
  ToolBar->setObjectName("ToolBar");
  ToolBar->setMovable(false);
  ToolBar->setIconSize(QSize(22, 22));
  ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  auto button = [this](const char *name, const QString &hint, int image, bool checkable = false) {
    QAction *a = ToolBar->addAction(ToolbarIcon(image), hint);
    a->setObjectName(name);
    a->setToolTip(hint);
    a->setCheckable(checkable);
    if (hint.isEmpty()) a->setText(QString::fromLatin1(name).mid(1));
    return a;
  };
  bBack = button("bBack", "", 15);
  bBack->setToolTip(QString());
  bRefresh = button("bRefresh", "Refresh", 0);
  ToolBar->addSeparator();
  bViewFile = button("bViewFile", "View the Current File (Enter)", 1);
  bViewFileAlways = button("bViewFileAlways", "View the Current File - Locked", 12, true);
  bOpenFile = button("bOpenFile", "Open the Current File / Folder (Ctrl-Enter)", 2);
  ToolBar->addSeparator();
  bRename = button("bRename", "Rename", 7);
  bDelete = button("bDelete", "Delete All Selected Files / Folders (Del)", 5);
  bDuplicate = button("bDuplicate", "Duplicate All Selected Files / Folders", 9);
  bFind = button("bFind", "Search for Files in Current Tab (Ctrl-F)", 10);
  ToolBar->addSeparator();
  bNewFile = button("bNewFile", "Create New File", 3);
  bNewFolder = button("bNewFolder", "Create New Folder", 4);
  ToolBar->addSeparator();
  bMapDrive = button("bMapDrive", "Connect to Network Drive", 8, true);
  bRun = button("bRun", "Run Current File in the Current Folder using a Command Prompt window", 11);
  ToolBar->addSeparator();
  bProperties = button("bProperties", "", 16);
  bProperties->setToolTip(QString());
  bLog = button("bLog", "", 17);
  bLog->setToolTip(QString());
  bAbout = button("bAbout", "About", 6);

  connect(bBack, &QAction::triggered, this, &TMainForm::bBackClick);
  connect(bRefresh, &QAction::triggered, this, &TMainForm::bRefreshClick);
  connect(bAbout, &QAction::triggered, this, [] {
    if (AboutForm) AboutForm->show();
  });
  // Commands that arrive with their own windows stay disabled until then.
  for (QAction *a : {bViewFile, bViewFileAlways, bOpenFile, bRename, bDelete, bDuplicate, bFind,
                     bNewFile, bNewFolder, bMapDrive, bRun, bProperties, bLog})
    a->setEnabled(false);
}

void TMainForm::CreateMenus() {
  mItems = new QMenu(this);
  mItems->setObjectName("mItems");
  auto item = [this](const char *name, const QString &caption, int image = -1,
                     const QKeySequence &shortcut = QKeySequence()) {
    QAction *a = mItems->addAction(caption);
    a->setObjectName(name);
    if (image >= 0) a->setIcon(ToolbarIcon(image));
    if (!shortcut.isEmpty()) {
      a->setShortcut(shortcut);
      a->setShortcutContext(Qt::WidgetShortcut);  // shown in the menu; keys handled by the grid
    }
    return a;
  };
  mSelectNone = item("mSelectNone", "Select None");
  mSelectAll = item("mSelectAll", "Select All");
  mSelecttohere = item("mSelecttohere", "Select to here");
  mItems->addSeparator();
  mView = item("mView", "View", 1, QKeySequence(Qt::Key_Return));
  mItems->setDefaultAction(mView);
  mViewHex = item("mViewHex", "View Hex");
  mViewAlways = item("mViewAlways", "View - Locked", 12);
  mCloseViews = item("mCloseViews", "Close All Views");
  mOpen = item("mOpen", "Open", 2, QKeySequence(Qt::CTRL | Qt::Key_Return));
  mOpenWith = item("mOpenWith", "Open With ...");
  mOpenfilelocation = item("mOpenfilelocation", "Open File Location");
  mCopyFullPath = item("mCopyFullPath", "Copy Full Path");
  mItems->addSeparator();
  mRename = item("mRename", "Rename", 7, QKeySequence(Qt::CTRL | Qt::Key_R));
  mDelete = item("mDelete", "Delete", 5, QKeySequence(Qt::Key_Delete));
  mDuplicate = item("mDuplicate", "Duplicate", 9);
  mTestRead = item("mTestRead", "Test Read");
  mItems->addSeparator();
  mNewFile = item("mNewFile", "New File", 3);
  mNewFolder = item("mNewFolder", "New Folder", 4);
  connect(mSelectNone, &QAction::triggered, this, [this] { mSelectClick(false); });
  connect(mSelectAll, &QAction::triggered, this, [this] { mSelectClick(true); });
  connect(mSelecttohere, &QAction::triggered, this, &TMainForm::mSelecttohereClick);
  for (QAction *a : {mView, mViewHex, mViewAlways, mCloseViews, mOpen, mOpenWith, mOpenfilelocation,
                     mCopyFullPath, mRename, mDelete, mDuplicate, mTestRead, mNewFile, mNewFolder})
    a->setEnabled(false);

  mTree = new QMenu(this);
  mTree->setObjectName("mTree");
  mTreeOpen = mTree->addAction(ToolbarIcon(2), "Open");
  mTreeRename = mTree->addAction(ToolbarIcon(7), "Rename");
  mTreeDelete = mTree->addAction(ToolbarIcon(5), "Delete");
  for (QAction *a : {mTreeOpen, mTreeRename, mTreeDelete}) a->setEnabled(false);

  mTabs = new QMenu(this);
  mTabs->setObjectName("mTabs");
  mCloseTab = mTabs->addAction("Close Tab");
  mCloseOtherTabs = mTabs->addAction("Close other Tabs");
  mCloseTabstotheRight = mTabs->addAction("Close Tabs to the right");
  mTabs->addSeparator();
  mEditPath = mTabs->addAction("Edit Path");
  for (QAction *a : {mCloseTab, mCloseOtherTabs, mCloseTabstotheRight, mEditPath}) a->setEnabled(false);
}

void TMainForm::CreateClientArea() {
  auto *client = new QWidget(this);
  auto *layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 2, 0, 0);
  layout->setSpacing(0);

  TCTrovix = new QTabBar(client);
  TCTrovix->setObjectName("TCTrovix");
  TCTrovix->setFocusPolicy(Qt::NoFocus);
  TCTrovix->setExpanding(false);
  TCTrovix->setDocumentMode(true);
  TCTrovix->setContextMenuPolicy(Qt::CustomContextMenu);
  QFont bold = TCTrovix->font();
  bold.setBold(true);
  TCTrovix->setFont(bold);
  connect(TCTrovix, &QTabBar::currentChanged, this, &TMainForm::OnTabChanged);
  connect(TCTrovix, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &pos) { mTabs->popup(TCTrovix->mapToGlobal(pos)); });
  layout->addWidget(TCTrovix);

  Splitter = new TTreeSplitter(Qt::Horizontal, client);
  Splitter->setObjectName("Splitter");
  Splitter->setHandleWidth(6);
  Splitter->setChildrenCollapsible(false);
  pTree = new QWidget(Splitter);
  pTree->setObjectName("pTree");
  pTree->setMinimumWidth(8);
  auto *treeLayout = new QVBoxLayout(pTree);
  treeLayout->setContentsMargins(0, 0, 0, 0);
  FolderTree = new TFolderTree(pTree);
  FolderTree->setObjectName("FolderTree");
  FolderTree->setContextMenuPolicy(Qt::CustomContextMenu);
  treeLayout->addWidget(FolderTree);
  FolderTree->OnChangeFolder = [this] { FolderTreeChangeFolder(); };
  connect(FolderTree, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &pos) { mTree->popup(FolderTree->viewport()->mapToGlobal(pos)); });

  pFiles = new QWidget(Splitter);
  pFiles->setObjectName("pFiles");
  auto *filesLayout = new QVBoxLayout(pFiles);
  filesLayout->setContentsMargins(0, 0, 0, 0);
  GFileInfo = new TFileGrid(pFiles);
  GFileInfo->setObjectName("GFileInfo");
  filesLayout->addWidget(GFileInfo);
  connect(GFileInfo, &TFileGrid::marksChanged, this, &TMainForm::ItemsChanged);
  connect(GFileInfo, &TFileGrid::sortChanged, this, &TMainForm::ItemsChanged);
  connect(GFileInfo, &TFileGrid::viewFileRequested, this, &TMainForm::bViewFileClick);
  connect(GFileInfo, &TFileGrid::contextMenuRequested, this, [this](const QPoint &pos) {
    PopupPoint = pos;
    mItems->popup(pos);
  });
  connect(GFileInfo, &TFileGrid::openInNewTabRequested, this, [this](int row) {
    if (row >= 1 && row <= FileCount) OpenInNewTab(ListedFolder + FileList[row - 1].Name + PathDelim);
  });
  FolderTree->OnMouseUp = [this](Qt::MouseButton button, QTreeWidgetItem *node) {
    if (button == Qt::MiddleButton && node) OpenInNewTab(FolderTree->NodeToFolder(node));
  };
  Splitter->addWidget(pTree);
  Splitter->addWidget(pFiles);
  Splitter->setStretchFactor(0, 0);
  Splitter->setStretchFactor(1, 1);
  Splitter->setSizes({157, 640});
  layout->addWidget(Splitter, 1);

  StatusBar = new TStatusPanels(client);
  StatusBar->OnDrawPanel0 = [this](QPainter &p, const QRect &r) {
    int marked = MarkedCount();
    uint64_t markedBytes = 0;
    for (const FileEntry &e : FileList)
      if (e.Selected) markedBytes += e.Size;
    int tab = TCTrovix->currentIndex();
    uint64_t total = (tab >= 0 && tab < static_cast<int>(TabStates.size())) ? TabStates[tab].TotalBytes : 0;
    std::string text;
    if (marked > 0) text = NumToStrCommas(marked) + " / ";
    text += NumToStrCommas(FileCount) + (FileCount == 1 ? " item: " : " items: ");
    if (marked > 0) text += FormatSizeBytes(static_cast<int64_t>(markedBytes)) + " / ";
    text += FormatSizeBytes(static_cast<int64_t>(total));
    p.setPen(palette().windowText().color());
    p.drawText(r, Qt::AlignVCenter | Qt::AlignLeft, ToDisplay(text));
  };
  StatusBar->OnCancel = [this] {
    if (ActiveOperations > 0 && !CancelRequested) {
      CancelRequested = true;
      StatusBar->Running = false;
      StatusBar->update();
    }
  };
  layout->addWidget(StatusBar);
  setCentralWidget(client);
}

// ---- Showing and closing --------------------------------------------------------

void TMainForm::showEvent(QShowEvent *event) {
  QMainWindow::showEvent(event);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
}

void TMainForm::FormShow() {
  INIWinLoad(this);
  int treeWidth = INIReadNum("TreeWidth", pTree->width() > 8 ? pTree->width() : 157);
  Splitter->setSizes({std::max(8, treeWidth), std::max(100, width() - treeWidth)});
  INIGridLoad(FileGridColumns(), "MainGrid");
  NiceLabelFormatChar = '|';
  if (EditStringForm) INIComboLoad(EditStringForm->Edit, TEditStringForm::HistoryKey);
  FolderTree->Init();

  // Tabs saved at the last close.
  std::string folders = INIRead("CurrentFolders");
  std::string files = INIRead("CurrentFiles");
  restoring_ = true;
  int n = 0;
  for (;; ++n) {
    std::string folder = Byte128ToComma(StrGetFieldComma(folders, n));
    if (folder.empty()) break;
    EnsureTabStates(n + 1);
    TabStates[n].Folder = folder;
    TabStates[n].CurrentFile = Byte128ToComma(StrGetFieldComma(files, n));
    TabStates[n].ImageIndex = -1;
    AddTab(FolderCaption(folder));
  }
  // The trailing new-tab tab; with nothing restored it is the only tab and
  // its listing turns it into a tab for the tree's folder.
  AddTab("");
  TCTrovix->setCurrentIndex(0);
  restoring_ = false;
  LastIndex = 0;
  TCTrovixFill(0);
}

bool TMainForm::FormCloseQuery() {
  if (ActiveOperations > 0) {
    ShowOperationInProgress();
    return false;
  }
  return true;
}

void TMainForm::closeEvent(QCloseEvent *event) {
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

void TMainForm::FormClose() {
  INIWinSave(this);
  INIWriteNum("TreeWidth", pTree->width());
  INIGridSave(FileGridColumns(), "MainGrid");
  INIWrite("CurrentFolder", FolderTree->SelectedFolderRead());
  TCTrovixRead(TCTrovix->currentIndex());
  std::string folders, files;
  for (int i = 0; i < TCTrovix->count(); ++i) {
    if (TabCaption(i).empty() || i >= static_cast<int>(TabStates.size())) continue;
    StrAddComma(folders, CommaToByte128(TabStates[i].Folder));
    StrAddComma(files, CommaToByte128(TabStates[i].CurrentFile));
  }
  INIWrite("CurrentFolders", folders);
  INIWrite("CurrentFiles", files);
  if (EditStringForm) INIComboSave(EditStringForm->Edit, TEditStringForm::HistoryKey);
}

void TMainForm::changeEvent(QEvent *event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TMainForm::FormActivate() {
  // The tree's and the grid's fonts come from the options; defaults until then.
}

// ---- Tabs -------------------------------------------------------------------------

void TMainForm::AddTab(const std::string &caption) {
  bool wasRestoring = restoring_;
  restoring_ = true;
  int index = TCTrovix->addTab(caption.empty() ? FolderImageIcon(fiNewTab) : QIcon(), ToDisplay(caption));
  TCTrovix->setTabData(index, QByteArray(caption.data(), static_cast<qsizetype>(caption.size())));
  restoring_ = wasRestoring;
}

std::string TMainForm::TabCaption(int index) const {
  QByteArray bytes = TCTrovix->tabData(index).toByteArray();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void TMainForm::OnTabChanged(int index) {
  if (restoring_ || index == LastIndex) return;
  if (LastIndex >= 0) TCTrovixRead(LastIndex);
  LastIndex = index;
  TCTrovixFill(index);
}

void TMainForm::TCTrovixRead(int index) {
  if (index < 0 || index >= static_cast<int>(TabStates.size())) return;
  int row = GFileInfo->Row();
  if (row >= 1 && row - 1 < FileCount) TabStates[index].CurrentFile = FileList[row - 1].Name;
}

void TMainForm::TCTrovixFill(int index) {
  if (!isVisible()) return;
  if (index >= 0) {
    EnsureTabStates(index + 2);
    ++FillDepth;
    bool list = true;
    TabState &tab = TabStates[index];
    std::string caption = TabCaption(index);
    if (!caption.empty()) {
      FolderTree->SelectedFolderWrite(tab.Folder);
      if (!StrSame(FolderTree->SelectedFolderRead(), tab.Folder)) list = false;
    } else {
      tab.Folder = FolderTree->SelectedFolderRead();
      if (FolderTree->currentItem()) {
        std::string newCaption = FolderCaption(tab.Folder);
        TCTrovix->setTabText(index, ToDisplay(newCaption));
        TCTrovix->setTabData(index, QByteArray(newCaption.data(), static_cast<qsizetype>(newCaption.size())));
        TCTrovix->setTabIcon(index, QIcon());
        AddTab("");
      }
      ListedFolder.clear();
    }
    if (list) {
      tab.ImageIndex = FolderTree->SelectedImage();
      setWindowTitle(ToDisplay("Trovix - " + tab.Folder));
      ListTabFolder(tab);
      bMapDrive->setChecked(FolderIsRemote(tab.Folder));
    } else {
      ClearTabListing(tab);
    }
    GFileInfo->SetRemote(FolderTree->PathRemoteRead());
    GFileInfo->ShowListing(tab);
    --FillDepth;
    TakePendingSelectName(tab);
    GFileInfo->SelectByName(tab.CurrentFile);
  }
  ItemsChanged();
}

void TMainForm::FolderTreeChangeFolder() {
  int index = TCTrovix->currentIndex();
  if (index < 0 || FillDepth != 0) return;
  EnsureTabStates(index + 1);
  TabStates[index].Folder = FolderTree->SelectedFolderRead();
  std::string caption = FolderCaption(TabStates[index].Folder);
  TCTrovix->setTabText(index, ToDisplay(caption));
  TCTrovix->setTabData(index, QByteArray(caption.data(), static_cast<qsizetype>(caption.size())));
  TCTrovix->setTabIcon(index, QIcon());
  ListedFolder.clear();
  TCTrovixFill(index);
}

// ---- Commands ---------------------------------------------------------------------

void TMainForm::bBackClick() {
  QTreeWidgetItem *node = FolderTree->currentItem();
  if (node && node->parent()) FolderTree->setCurrentItem(node->parent());
}

TGridColumns TMainForm::FileGridColumns() const {
  TFileGrid *grid = GFileInfo;
  return TGridColumns{[grid] { return static_cast<int>(grid->ColumnCount()); },
                      [grid](int col) { return static_cast<int>(grid->ColumnWidth(col)); },
                      [grid](int col, int width) { grid->SetColumnWidth(col, width); }};
}

void TMainForm::ShowOperationInProgress() { DisplayError("|b|1Operation in progress"); }

void TMainForm::OpenInNewTab(const std::string &folder) {
  // The trailing new-tab tab becomes current without listing; the tree's
  // change event then fills it with the folder.
  int last = TCTrovix->count() - 1;
  if (last < 0) return;
  TCTrovixRead(TCTrovix->currentIndex());
  restoring_ = true;
  TCTrovix->setCurrentIndex(last);
  restoring_ = false;
  LastIndex = last;
  AddTab("");
  FolderTree->SelectedFolderWrite(folder);
}

void TMainForm::bViewFileClick() {
  if (bViewFileAlways->isChecked()) {
    bViewFileAlways->setChecked(false);
    return;
  }
  const FileEntry *entry = GFileInfo->CurrentEntry();
  if (!entry || !GFileInfo->hasFocus()) return;
  if (entry->Attributes & faDirectory) FolderTree->SelectedFolderWrite(ListedFolder + entry->Name + PathDelim);
}

void TMainForm::bRefreshClick() { FolderTree->Init(FolderTree->SelectedFolderRead()); }

void TMainForm::mSelectClick(bool selectAll) {
  GFileInfo->SelectAll(selectAll);
  ItemsChanged();
}

void TMainForm::mSelecttohereClick() {
  GFileInfo->SelectToHere(PopupPoint);
  ItemsChanged();
}

void TMainForm::RepeatTypeAhead() {
  GFileInfo->RepeatSearch();
  ItemsChanged();
}

void TMainForm::ItemsChanged() {
  GFileInfo->viewport()->update();
  TCTrovix->update();
  StatusBar->update();
}

void TMainForm::TimerTimer() {
  std::string status = GetOperationStatus();
  if (status != LastShownStatus) {
    LastShownStatus = status;
    StatusBar->Status = status;
  }
  StatusBar->Running = ActiveOperations > 0 && !CancelRequested;
  StatusBar->update();
  if (OperationsDone) {
    OperationsDone = false;
    CancelRequested = false;
    bRefreshClick();
  }
}

// ---- Keys -------------------------------------------------------------------------

bool TMainForm::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::KeyPress && isActiveWindow()) {
    auto *widget = qobject_cast<QWidget *>(watched);
    if (widget && widget->window() == this && FormKeyDown(static_cast<QKeyEvent *>(event))) return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::FormKeyDown(QKeyEvent *event) {
  Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) && mods == Qt::ControlModifier) {
    SwitchWindow();
    return true;
  }
  if (event->key() == Qt::Key_F3 && mods == Qt::NoModifier) {
    if (FileCount > 0) RepeatTypeAhead();
    return true;
  }
  if (event->key() == Qt::Key_Escape) {
    if (bViewFileAlways->isChecked()) bViewFileAlways->setChecked(false);
    return true;
  }
  return false;
}

void TMainForm::SwitchWindow() {
  // The most recently used other visible window of the program gets the focus.
  const QWidgetList windows = QApplication::topLevelWidgets();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    QWidget *w = *it;
    if (w == this || !w->isVisible() || !w->isWindow() || w->windowType() == Qt::Popup) continue;
    w->activateWindow();
    w->raise();
    return;
  }
}

}  // namespace trovix
