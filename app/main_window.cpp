// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <memory>

#include "browser/browse_tabs.h"
#include "browser/browse_tabs_ui.h"
#include "browser/file_grid_ui.h"
#include "browser/file_list.h"
#include "browser/folder_lister_ui.h"
#include "browser/folder_tree_ui.h"
#include "browser/folder_watch_ui.h"
#include "browser/icons_ui.h"
#include "browser/launch_commands.h"
#include "browser/operation_state.h"
#include "browser/status_bar_ui.h"
#include "dialogs/about_form.h"
#include "dialogs/controls_ui.h"
#include "dialogs/debug_form.h"
#include "dialogs/edit_string_form.h"
#include "dialogs/event_log_form.h"
#include "dialogs/markup.h"
#include "dialogs/message_box.h"
#include "dialogs/options_form.h"
#include "dialogs/options_ui.h"
#include "fileops/copy_move_thread.h"
#include "fileops/drag_drop_ui.h"
#include "fileops/file_commands_ui.h"
#include "fileops/query_form.h"
#include "foundation/platform.h"
#include "foundation/platform_ui.h"
#include "foundation/settings.h"
#include "foundation/settings_qt.h"
#include "foundation/strings.h"
#include "foundation/worker_pool_ui.h"
#include "search/search_form.h"
#include "viewer/find_macros.h"
#include "viewer/view_window.h"

namespace trovix {

TMainForm *MainForm = nullptr;

TMainForm::TMainForm(QWidget *parent) : QMainWindow(parent) {
  setObjectName("MainForm");
  setWindowTitle("Trovix");
  resize(800, 560);
  CreateActions();
  CreateMenus();
  CreateClientArea();
  // The file commands and drag and drop attach to the controls.
  FileCommands = new TFileCommands(
      *this, {bRename, mRename, mTreeRename, bDelete, mDelete, mTreeDelete, bDuplicate, mDuplicate,
              bNewFile, mNewFile, bNewFolder, mNewFolder, mTestRead, mTrash, mTreeTrash});
  connect(&FileCommands->Runner(), &TCommandRunner::progressed, StatusBar,
          [this] { StatusBar->update(); });
  InstallDragDrop(*this);
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
  FollowOptionGradient(ToolBar);
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
  connect(bLog, &QAction::triggered, this, [] {
    if (LogForm) {
      LogForm->show();
      LogForm->raise();
    }
  });
  bAbout = button("bAbout", "About", 6);

  connect(bBack, &QAction::triggered, this, &TMainForm::bBackClick);
  connect(bRefresh, &QAction::triggered, this, &TMainForm::bRefreshClick);
  connect(bProperties, &QAction::triggered, this, [] {
    if (!OptionsForm) return;
    OptionsForm->show();
    OptionsForm->raise();
    OptionsForm->activateWindow();
  });
  connect(bAbout, &QAction::triggered, this, [] {
    if (AboutForm) AboutForm->show();
  });
  connect(bOpenFile, &QAction::triggered, this, [this] { bOpenFileClick(bOpenFile); });
  connect(bRun, &QAction::triggered, this, &TMainForm::bRunClick);
  connect(bMapDrive, &QAction::triggered, this, &TMainForm::bMapDriveClick);
  connect(bFind, &QAction::triggered, this, &TMainForm::bFindClick);
  // Rename waits for the first listing to know its mode.
  bRename->setEnabled(false);
  connect(bViewFile, &QAction::triggered, this, [this] { bViewFileClick(); });
  connect(bViewFileAlways, &QAction::triggered, this, &TMainForm::bViewFileAlwaysClick);
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
  mTrash = item("mTrash", "Move to Trash");
  mDuplicate = item("mDuplicate", "Duplicate", 9);
  mTestRead = item("mTestRead", "Test Read");
  mItems->addSeparator();
  mNewFile = item("mNewFile", "New File", 3);
  mNewFolder = item("mNewFolder", "New Folder", 4);
  connect(mSelectNone, &QAction::triggered, this, [this] { mSelectClick(false); });
  connect(mSelectAll, &QAction::triggered, this, [this] { mSelectClick(true); });
  connect(mSelecttohere, &QAction::triggered, this, &TMainForm::mSelecttohereClick);
  connect(mOpen, &QAction::triggered, this, [this] { bOpenFileClick(mOpen); });
  connect(mOpenWith, &QAction::triggered, this, [this] { bOpenFileClick(mOpenWith); });
  connect(mOpenfilelocation, &QAction::triggered, this, &TMainForm::mOpenfilelocationClick);
  connect(mCopyFullPath, &QAction::triggered, this, &TMainForm::mCopyFullPathClick);
  mRename->setEnabled(false);
  connect(mView, &QAction::triggered, this, [this] { bViewFileClick(); });
  connect(mViewHex, &QAction::triggered, this, [this] { bViewFileClick(true); });
  connect(mViewAlways, &QAction::triggered, this, [this] {
    bViewFileAlways->setChecked(!bViewFileAlways->isChecked());
    bViewFileAlwaysClick();
  });
  // View windows and search windows alike.
  connect(mCloseViews, &QAction::triggered, this, [] { CloseAllViews(); });

  mTree = new QMenu(this);
  mTree->setObjectName("mTree");
  mTreeOpen = mTree->addAction(ToolbarIcon(2), "Open");
  mTreeRename = mTree->addAction(ToolbarIcon(7), "Rename");
  mTreeDelete = mTree->addAction(ToolbarIcon(5), "Delete");
  mTreeTrash = mTree->addAction("Move to Trash");
  connect(mTreeOpen, &QAction::triggered, this, [this] { bOpenFileClick(mTreeOpen); });

  mTabs = new QMenu(this);
  mTabs->setObjectName("mTabs");
  mCloseTab = mTabs->addAction("Close Tab");
  mCloseOtherTabs = mTabs->addAction("Close other Tabs");
  mCloseTabstotheRight = mTabs->addAction("Close Tabs to the right");
  mTabs->addSeparator();
  mEditPath = mTabs->addAction("Edit Path");
  connect(mCloseTab, &QAction::triggered, this, &TMainForm::mCloseTabClick);
  connect(mCloseOtherTabs, &QAction::triggered, this, &TMainForm::mCloseOtherTabsClick);
  connect(mCloseTabstotheRight, &QAction::triggered, this, &TMainForm::mCloseTabstotheRightClick);
  connect(mEditPath, &QAction::triggered, this, &TMainForm::mEditPathClick);
}

void TMainForm::CreateClientArea() {
  auto *client = new QWidget(this);
  auto *layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 2, 0, 0);
  layout->setSpacing(0);

  TCTrovix = new TTabControlSmart(client);
  TCTrovix->OnFill = [this](int index) { TCTrovixFill(index); };
  TCTrovix->OnRead = [this](int index) { TCTrovixRead(index); };
  TCTrovix->OnSwapData = [this](int i, int j) { TCTrovixSwapData(i, j); };
  TCTrovix->OnDrawTab = [this](QPainter &p, int index, const QRect &r, bool active) {
    TCTrovixDrawTab(p, index, r, active);
  };
  TCTrovix->OnTabHint = [this](int index) { return TabFolder(index); };
  TCTrovix->OnMouseUp = [this](QMouseEvent *event, int index) {
    TCTrovixMouseUp(event->button(), index);
  };
  connect(TCTrovix, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &pos) { mTabs->popup(TCTrovix->mapToGlobal(pos)); });
  layout->addWidget(TCTrovix);

  Splitter = new TSplitter(Qt::Horizontal, client);
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
  GFileInfo = new TFileGrid(List, pFiles);
  GFileInfo->setObjectName("GFileInfo");
  filesLayout->addWidget(GFileInfo);
  connect(GFileInfo, &TFileGrid::marksChanged, this, &TMainForm::ItemsChanged);
  connect(GFileInfo, &TFileGrid::sortChanged, this, &TMainForm::ItemsChanged);
  connect(GFileInfo, &TFileGrid::viewFileRequested, this, [this] { bViewFileClick(); });
  connect(GFileInfo, &TFileGrid::currentRowChanged, this, [this](int) {
    if (List.PressRow < 0 && bViewFileAlways->isChecked()) ViewLockedFile();
  });
  connect(GFileInfo, &TFileGrid::findRequested, this, &TMainForm::bFindClick);
  connect(GFileInfo, &TFileGrid::openFileRequested, this, [this] { bOpenFileClick(mOpen); });
  connect(GFileInfo, &TFileGrid::contextMenuRequested, this, [this](const QPoint &pos) {
    PopupPoint = pos;  // where "Select to here" marks to
    mItems->popup(pos);
  });
  connect(GFileInfo, &TFileGrid::openInNewTabRequested, this, [this](int row) {
    if (row >= 1 && row <= List.FileCount())
      OpenInNewTab(List.ListedFolder + List.FileList[row - 1].Name + PathDelim);
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
  Lister = new TFolderLister(this);
  FreeSpace = new TFreeSpaceProbe(this);
  Commands = new TCommandRunner(this);
  StatusBar->OnSummary = [this] {
    StatusSummary summary = CurrentStatusSummary(
        List, TCTrovix->TabIndex(),
        [this](const std::string &folder, int64_t &freeBytes, int64_t &sizeBytes) {
          return FreeSpace->Read(folder, freeBytes, sizeBytes);
        });
    summary.Listing = Lister->StatusText();
    // A command that does not answer is told while no listing is.
    if (summary.Listing.empty() && FileCommands) summary.Listing = FileCommands->StatusText();
    if (summary.Listing.empty()) summary.Listing = NotRespondingText(Commands->NotResponding());
    return summary;
  };
  connect(Lister, &TFolderLister::progressed, StatusBar, [this] { StatusBar->update(); });
  connect(Lister, &TFolderLister::finished, this, [this] { ItemsChanged(); });
  connect(FreeSpace, &TFreeSpaceProbe::changed, StatusBar, [this] { StatusBar->update(); });
  connect(Commands, &TCommandRunner::progressed, StatusBar, [this] { StatusBar->update(); });
  Watch = new TFolderWatch(this);
  Watch->OnChanged = [this](const std::set<std::string> &changed) { FoldersChanged(changed); };
  connect(FolderTree, &QTreeWidget::itemExpanded, this, [this] { UpdateWatch(); });
  connect(FolderTree, &QTreeWidget::itemCollapsed, this, [this] { UpdateWatch(); });
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
  GFileInfo->FitNameColumn();
  NiceLabelFormatChar = '|';
  LoadMacros();
  // A save in a view changes what the current folder holds; a closed locked
  // view sets the lock button up.
  ViewerHooks().listAgain = [this] {
    List.ListedFolder.clear();
    TCTrovixFill(TCTrovix->TabIndex());
  };
  ViewerHooks().listAgainSelecting = [this](const std::string &name) {
    List.PendingSelectName = name;
    List.ListedFolder.clear();
    TCTrovixFill(TCTrovix->TabIndex());
  };
  ViewerHooks().lockReleased = [this] { bViewFileAlways->setChecked(false); };
  // A full-screen view follows the current file until it leaves full screen.
  ViewerHooks().lockedViewing = [this](bool down) { bViewFileAlways->setChecked(down); };
  if (EditStringForm) INIComboLoad(EditStringForm->Edit, TEditStringForm::HistoryKey);
  FolderTree->Init();

  // The tabs of the last run, then the new-tab tab. With nothing restored
  // the new-tab tab is the only one and its listing turns it into a tab for
  // the tree's folder.
  TCTrovix->SetTabs(
      RestoreTabStates(List, TabsFromSettings(INIRead("CurrentFolders"), INIRead("CurrentFiles"))),
      0);
  TCTrovix->LastIndex = 0;
  TCTrovixFill(0);
}

bool TMainForm::FormCloseQuery() {
  if (ActiveOperations > 0) {
    ShowOperationInProgress();
    return false;
  }
  // Views with unsaved changes ask first; a cancelled question keeps the program open.
  return CloseAllViews();
}

void TMainForm::CloseBySignal(const std::string &signalName) {
  if (ActiveOperations > 0) {
    if (!signalClosePending_)
      DebugAdd(signalName + ": file operations are running; cancelling them, closing when they end",
               QColor(Qt::darkRed));
    signalClosePending_ = true;
    CancelRequested = true;
    QTimer::singleShot(100, this, [this, signalName] { CloseBySignal(signalName); });
    return;
  }
  signalClosePending_ = false;
  DebugAdd(signalName + ": closing", QColor(Qt::darkRed));
  // Questions on screen are answered Cancel, so their callers return before
  // the window goes.
  for (int guard = 0; guard < 32; ++guard) {
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal) break;
    if (auto *dialog = qobject_cast<QDialog *>(modal))
      dialog->reject();
    else
      modal->close();
    if (QApplication::activeModalWidget() == modal) break;  // it would not go
  }
  QTimer::singleShot(0, this, [this] {
    if (close()) QCoreApplication::quit();
  });
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
  TCTrovixRead(TCTrovix->TabIndex());
  std::string folders, files;
  TabsToSettings(List, *TCTrovix, folders, files);
  INIWrite("CurrentFolders", folders);
  INIWrite("CurrentFiles", files);
  if (EditStringForm) INIComboSave(EditStringForm->Edit, TEditStringForm::HistoryKey);
  SaveMacros();
  ClearMacros();
  ViewerHooks().listAgain = nullptr;
  ViewerHooks().listAgainSelecting = nullptr;
  ViewerHooks().lockReleased = nullptr;
  ViewerHooks().lockedViewing = nullptr;
}

void TMainForm::changeEvent(QEvent *event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void TMainForm::FormActivate() {
  // The tree and the grid take the options' fonts themselves, whenever they change.
}

// ---- Tabs -------------------------------------------------------------------------

void TMainForm::TCTrovixRead(int index) {
  if (index < 0 || index >= static_cast<int>(List.TabStates.size())) return;
  int row = GFileInfo->Row();
  if (row >= 1 && row - 1 < List.FileCount())
    List.TabStates[index].CurrentFile = List.FileList[row - 1].Name;
}

void TMainForm::TCTrovixFill(int index) {
  if (!isVisible()) return;
  if (index >= 0) {
    List.EnsureTabStates(index + 2);
    ++List.FillDepth;
    bool list = true;
    TabState &tab = List.TabStates[index];
    std::string caption = TCTrovix->Caption(index);
    if (!caption.empty()) {
      FolderTree->SelectedFolderWrite(tab.Folder);
      if (!StrSame(FolderTree->SelectedFolderRead(), tab.Folder)) list = false;
    } else {
      tab.Folder = FolderTree->SelectedFolderRead();
      if (FolderTree->currentItem()) {
        TCTrovix->SetCaption(index, FolderCaption(tab.Folder));
        TCTrovix->AddTab("");
      }
      List.ListedFolder.clear();
    }
    if (list) {
      tab.ImageIndex = FolderTree->SelectedImage();
      setWindowTitle(DisplayText("Trovix - " + tab.Folder));
      bMapDrive->setChecked(FolderOnNetwork(tab.Folder));
      GFileInfo->SetRemote(FolderTree->PathRemoteRead());
      --List.FillDepth;
      // The listing runs on a worker. Another folder's entries go at once
      // (no command may act on them under this folder's name); the same
      // folder's stay until the new listing lands.
      const std::string folder = tab.Folder;
      if (List.ListedFolder != folder) {
        Lister->Cancel();
        List.FileList = std::vector<FileEntry>();
        List.ListedFolder.clear();
        List.ResetMouseState();
      }
      // A large folder shows its first screen first; the whole listing then
      // keeps what the user did with it meanwhile (row, marks, scroll).
      auto previewed = std::make_shared<bool>(false);
      auto landed = [this, folder, previewed](TFolderListing &listing) {
        if (*previewed)
          LiveListingLanded(folder, listing);
        else
          TabListingLanded(folder, listing);
      };
      auto first = [this, folder, previewed](TFolderListing &listing) {
        *previewed = true;
        TabListingLanded(folder, listing);
      };
      if (!Lister->Start(folder, List.SortMode, landed, -1, first)) GFileInfo->ShowListing();
      ItemsChanged();
      return;
    }
    List.ClearTabListing(tab);
    Lister->Cancel();
    GFileInfo->SetRemote(FolderTree->PathRemoteRead());
    GFileInfo->ShowListing();
    --List.FillDepth;
    List.TakePendingSelectName(tab);
    GFileInfo->SelectByName(tab.CurrentFile);
  }
  ItemsChanged();
}

void TMainForm::TabListingLanded(const std::string &folder, TFolderListing &listing) {
  const bool again = relistAgain_;
  relistAgain_ = false;
  // Only for the tab that still shows the folder it was started for.
  const int index = TCTrovix->TabIndex();
  if (index < 0 || index >= static_cast<int>(List.TabStates.size())) return;
  TabState &tab = List.TabStates[index];
  if (tab.Folder != folder) return;
  List.InstallListing(tab, listing);
  GFileInfo->ShowListing();
  List.TakePendingSelectName(tab);
  GFileInfo->SelectByName(tab.CurrentFile);
  ItemsChanged();
  UpdateWatch();
  if (again) FoldersChanged({folder});
}

void TMainForm::UpdateWatch() {
  std::vector<std::string> folders = FolderTree->ExpandedFolders();
  if (!List.ListedFolder.empty()) folders.push_back(List.ListedFolder);
  Watch->SetFolders(folders);
}

void TMainForm::FoldersChanged(const std::set<std::string> &changed) {
  for (const std::string &folder : changed) FolderTree->ReReadFolder(folder);
  const std::string listed = List.ListedFolder;
  if (listed.empty() || !changed.count(listed)) return;
  if (Lister->Pending()) {
    // Read again once the listing running lands (a listing of another
    // folder drops this one anyway).
    relistAgain_ = Lister->Folder() == listed;
    return;
  }
  relistAgain_ = false;
  Lister->Start(
      listed, List.SortMode,
      [this, listed](TFolderListing &listing) { LiveListingLanded(listed, listing); }, 0);
}

void TMainForm::LiveListingLanded(const std::string &folder, TFolderListing &listing) {
  const int index = TCTrovix->TabIndex();
  if (index < 0 || index >= static_cast<int>(List.TabStates.size())) return;
  TabState &tab = List.TabStates[index];
  if (tab.Folder != folder || List.ListedFolder != folder) return;
  // What the user sees stays: the current entry (or its row when it went),
  // the marks and the scroll position.
  const FileEntry *current = GFileInfo->CurrentEntry();
  const std::string currentName = current ? current->Name : std::string();
  const int32_t row = GFileInfo->Row(), top = GFileInfo->TopRow();
  std::set<std::string> marked;
  for (const FileEntry &e : List.FileList)
    if (e.Selected) marked.insert(e.Name);
  List.InstallListing(tab, listing);
  for (FileEntry &e : List.FileList) e.Selected = marked.count(e.Name) > 0;
  GFileInfo->ShowListing();
  GFileInfo->SetTopRow(top);
  const int32_t found = currentName.empty() ? -1 : List.FindFileEntry(currentName);
  GFileInfo->SetRow(found >= 0 ? found + 1 : std::min(row, FileGridRowCount(List.FileCount()) - 1));
  ItemsChanged();
  if (relistAgain_) FoldersChanged({folder});
}

void TMainForm::FolderTreeChangeFolder() {
  int index = TCTrovix->TabIndex();
  if (index < 0 || List.FillDepth != 0) return;
  List.EnsureTabStates(index + 1);
  // The row keeps ending with the new-tab tab when that tab takes the folder.
  bool wasNewTab = TCTrovix->Caption(index).empty() && index == TCTrovix->TabCount() - 1;
  List.TabStates[index].Folder = FolderTree->SelectedFolderRead();
  TCTrovix->SetCaption(index, FolderCaption(List.TabStates[index].Folder));
  if (wasNewTab) TCTrovix->AddTab("");
  List.ListedFolder.clear();
  TCTrovixFill(index);
}

void TMainForm::TCTrovixSwapData(int index1, int index2) { SwapTabStates(List, index1, index2); }

void TMainForm::TCTrovixDrawTab(QPainter &painter, int index, const QRect &rect, bool) {
  // Paints what the state holds and changes nothing: a tab without a record
  // yet is drawn as not listed.
  static const TabState kNone;
  const bool known = index >= 0 && index < static_cast<int>(List.TabStates.size());
  const TabState &tab = known ? List.TabStates[index] : kNone;
  const std::string caption = TCTrovix->Caption(index);
  DrawBrowseTab(painter, rect, caption, tab, palette());
}

void TMainForm::TCTrovixMouseUp(Qt::MouseButton button, int index) {
  // Middle click closes a folder tab: it is shown first, then closed as by
  // "Close Tab" (which refuses the only one).
  if (button != Qt::MiddleButton || !IsFolderTab(*TCTrovix, index)) return;
  if (index != TCTrovix->LastIndex) {
    TCTrovixRead(TCTrovix->LastIndex);
    TCTrovix->SetTabIndex(index);
    TCTrovix->LastIndex = index;
    TCTrovixFill(index);
  }
  mCloseTabClick();
}

void TMainForm::mCloseTabClick() {
  if (CloseCurrentTab(List, *TCTrovix)) ItemsChanged();
}

void TMainForm::mCloseOtherTabsClick() {
  if (CloseOtherTabs(List, *TCTrovix)) ItemsChanged();
}

void TMainForm::mCloseTabstotheRightClick() {
  if (CloseTabsToTheRight(*TCTrovix) > 0) ItemsChanged();
}

void TMainForm::mEditPathClick() {
  int index = TCTrovix->TabIndex();
  if (index < 0) return;
  std::string path = CurrentFolder();
  // The tree selects as much of the path as exists; its change event makes
  // the tab take that folder and lists it.
  if (EditString("|b|4Enter New Path", path) && !path.empty())
    FolderTree->SelectedFolderWrite(path);
}

// ---- Commands ---------------------------------------------------------------------

void TMainForm::bBackClick() {
  QTreeWidgetItem *node = FolderTree->currentItem();
  if (node && node->parent()) FolderTree->setCurrentItem(node->parent());
}

TGridColumns TMainForm::FileGridColumns() const {
  TFileGrid *grid = GFileInfo;
  return TGridColumns{
      [grid] { return static_cast<int>(grid->ColumnCount()); },
      // The name column's own width, not the one widened to fill the grid.
      [grid](int col) {
        return static_cast<int>(col == 0 ? grid->NameColumnUserWidth() : grid->ColumnWidth(col));
      },
      [grid](int col, int width) { grid->SetColumnWidth(col, width); }};
}

void TMainForm::ShowOperationInProgress() { DisplayError("|b|1Operation in progress"); }

void TMainForm::OpenInNewTab(const std::string &folder) {
  // The trailing new-tab tab becomes current without listing; the tree's
  // change event then fills it with the folder.
  int last = TCTrovix->TabCount() - 1;
  if (last < 0) return;
  int previous = TCTrovix->LastIndex;
  TCTrovixRead(previous);
  TCTrovix->SetTabIndex(last);
  TCTrovix->LastIndex = last;
  TCTrovix->AddTab("");
  FolderTree->SelectedFolderWrite(folder);
  if (TCTrovix->Caption(last).empty()) {
    // The tree found no such folder: the row goes back as it was.
    TCTrovix->DeleteTab(last + 1);
    TCTrovix->SetTabIndex(previous);
    TCTrovix->LastIndex = previous;
  }
}

void TMainForm::bViewFileClick(bool hex) {
  if (bViewFileAlways->isChecked()) {
    bViewFileAlways->setChecked(false);
    return;
  }
  const FileEntry *entry = GFileInfo->CurrentEntry();
  if (!entry || !GFileInfo->hasFocus()) return;
  if (entry->Attributes & faDirectory)
    FolderTree->SelectedFolderWrite(List.ListedFolder + entry->Name + PathDelim);
  else
    ViewFile(List.ListedFolder + entry->Name, true, hex, "", this);
}

void TMainForm::bViewFileAlwaysClick() {
  if (bViewFileAlways->isChecked()) {
    ViewLockedFile();
  } else if (LockedView) {
    LockedView->close();
  }
}

void TMainForm::ViewLockedFile() {
  const FileEntry *entry = GFileInfo->CurrentEntry();
  if (entry && !(entry->Attributes & faDirectory))
    ViewFile(List.ListedFolder + entry->Name, false, false, "", this);
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

// ---- Launch commands ---------------------------------------------------------------

std::string TMainForm::TabFolder(int32_t index) const {
  if (index < 0 || index >= static_cast<int>(List.TabStates.size())) return std::string();
  return List.TabStates[index].Folder;
}

std::string TMainForm::CurrentFolder() const { return TabFolder(TCTrovix->TabIndex()); }

void TMainForm::bFindClick() {
  const std::string folder = CurrentFolder();
  if (!folder.empty()) OpenSearchWindow(folder);
}

void TMainForm::GoToFile(const std::string &folder, const std::string &name) {
  List.PendingSelectName = name;
  FolderTree->SelectedFolderWrite(folder);  // lists the current tab, even for the same folder
  activateWindow();
  raise();
  GFileInfo->setFocus();
}

void TMainForm::ListAgain() {
  List.ListedFolder.clear();
  TCTrovixFill(TCTrovix->TabIndex());
}

void TMainForm::bOpenFileClick(QObject *sender) {
  if (sender == mTreeOpen || FolderTree->hasFocus()) {
    std::string folder = CurrentFolder();
    if (!folder.empty()) ExploreFolder(this, folder);
    return;
  }
  const FileEntry *entry = GFileInfo->CurrentEntry();
  if (!entry) return;
  std::string path = CurrentFolder() + entry->Name;
  if (entry->Attributes & faDirectory) {
    ExploreFolder(this, path + PathDelim);  // the result is not reported
    return;
  }
  bool opened = sender == mOpenWith ? WinOpenFileWith(this, path) : WinOpenFile(this, path);
  if (!opened) DisplayError("|1|bERROR: Can not Open file |u" + MarkupEscape(entry->Name));
}

void TMainForm::mOpenfilelocationClick() {
  const FileEntry *entry = GFileInfo->CurrentEntry();
  if (!entry) return;
  if (!OpenFileLocation(this, CurrentFolder() + entry->Name))
    DisplayError("|b|1ERROR: Can not Open folder");
}

void TMainForm::mCopyFullPathClick() {
  const FileEntry *entry = GFileInfo->CurrentEntry();
  if (entry) QGuiApplication::clipboard()->setText(DisplayText(CurrentFolder() + entry->Name));
}

void TMainForm::bRunClick() {
  std::string folder = FolderTree->SelectedFolderRead();
  std::string command = RunCommandText(GFileInfo->CurrentEntry(), GFileInfo->hasFocus());
  if (!EditString("|b" + MarkupEscape(folder), command)) return;
  if (!RunInTerminal(folder, command)) DisplayError("|1|bERROR: Can not run shell");
}

void TMainForm::bMapDriveClick() {
  if (mapping_) {
    // The previous click is still being handled: this one is undone.
    bMapDrive->setChecked(!bMapDrive->isChecked());
    return;
  }
  mapping_ = true;
  // gio may take long on a server that does not answer: it runs on a worker,
  // and further clicks are undone until it ends.
  if (bMapDrive->isChecked()) {
    // Connect: the mount opens in the new-tab tab.
    std::string address;
    if (!EditString(MapDrivePrompt, address) || address.empty()) {
      bMapDrive->setChecked(false);
      mapping_ = false;
      return;
    }
    auto result = std::make_shared<int>(1);
    auto mountPoint = std::make_shared<std::string>();
    Commands->Start(
        address,
        [address, result, mountPoint](const TWorkerJob &) {
          *result = DriveConnect(address, std::string(), *mountPoint);
        },
        [this, result, mountPoint] {
          mapping_ = false;
          if (*result != 0) {
            DisplayError("|b|1ERROR: Could not Connect to drive");
            bMapDrive->setChecked(false);
            return;
          }
          if (mountPoint->empty()) *mountPoint = GvfsFolder();
          int last = TCTrovix->TabCount() - 1;
          TCTrovixRead(TCTrovix->LastIndex);
          TCTrovix->SetTabIndex(last);
          TCTrovix->LastIndex = last;
          TCTrovixFill(last);
          // Rebuilt as by Refresh, on the new mount.
          FolderTree->Init(*mountPoint);
        });
  } else {
    // Disconnect the network mount of the current tab; failures are not reported.
    const std::string folder = CurrentFolder();
    const std::string mount = NetworkMountOf(folder);
    if (mount.empty()) {
      mapping_ = false;
      return;
    }
    auto result = std::make_shared<int>(1);
    Commands->Start(
        mount, [mount, result](const TWorkerJob &) { *result = DriveDisconnect(mount); },
        [this, result, folder] {
          mapping_ = false;
          // The tab of the mount closes, unless the user went elsewhere meanwhile.
          if (*result != 0 || CurrentFolder() != folder) return;
          bRefreshClick();
          if (TCTrovix->TabCount() >= 2) mCloseTabClick();
        });
  }
}

void TMainForm::ItemsChanged() {
  GFileInfo->viewport()->update();
  TCTrovix->update();
  StatusBar->update();
  if (FileCommands) FileCommands->UpdateRenameMode();
}

void TMainForm::TimerTimer() {
  std::string status = GetOperationStatus();
  if (status != LastShownStatus) {
    LastShownStatus = status;
    StatusBar->Status = status;
  }
  StatusBar->update();
  TCopyMoveThread::JoinFinished();
  if (OperationsDone) {
    OperationsDone = false;
    CancelRequested = false;
    bRefreshClick();
    if (QueryForm) QueryForm->ShowIfIssues();
  }
}

// ---- Keys -------------------------------------------------------------------------

bool TMainForm::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::KeyPress && isActiveWindow()) {
    auto *widget = qobject_cast<QWidget *>(watched);
    if (widget && widget->window() == this && FormKeyDown(static_cast<QKeyEvent *>(event)))
      return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::FormKeyDown(QKeyEvent *event) {
  Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) &&
      mods == Qt::ControlModifier) {
    SwitchWindow();
    return true;
  }
  if (event->key() == Qt::Key_F3 && mods == Qt::NoModifier) {
    if (List.FileCount() > 0) RepeatTypeAhead();
    return true;
  }
  if (event->key() == Qt::Key_Escape) {
    // A listing that takes long is given up: the folder stays empty.
    if (Lister->Pending()) Lister->Cancel();
    if (bViewFileAlways->isChecked()) bViewFileAlways->setChecked(false);
    if (LockedView) {
      LockedView->close();
      LockedView = nullptr;
    }
    return true;
  }
  return CommonKeyDown(event->key(), mods);
}

// The keys users know from other file managers, on keys no other command of
// the window uses. An open editor (the tree's in-place rename) keeps its keys.
bool TMainForm::CommonKeyDown(int key, Qt::KeyboardModifiers mods) {
  QWidget *focus = QApplication::focusWidget();
  if (qobject_cast<QLineEdit *>(focus)) return false;
  if (key == Qt::Key_F5 && mods == Qt::NoModifier) {
    bRefreshClick();
  } else if (key == Qt::Key_T && mods == Qt::ControlModifier) {
    if (!CurrentFolder().empty()) OpenInNewTab(CurrentFolder());
  } else if (key == Qt::Key_W && mods == Qt::ControlModifier) {
    mCloseTabClick();
  } else if (key == Qt::Key_L && mods == Qt::ControlModifier) {
    mEditPathClick();
  } else if ((key == Qt::Key_Up && mods == Qt::AltModifier) ||
             (key == Qt::Key_Backspace && mods == Qt::NoModifier &&
              (focus == GFileInfo || focus == FolderTree))) {
    bBackClick();
  } else {
    return false;
  }
  return true;
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
