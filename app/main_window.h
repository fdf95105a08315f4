// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TMainForm: the main window with its tool bar, browse tabs, folder tree,
// file grid, status bar, menus and the one-second timer through which file
// operations report back.
//
// It is the program's hub: it creates the browse area and hands it to the
// other folders' commands and windows as a TBrowserHost.
#include <QMainWindow>
#include <set>
#include <string>

#include "browser/browser_host.h"
#include "browser/file_list.h"

class QAction;
class QPainter;
class QMenu;
class QSplitter;
class QTimer;
class QToolBar;

namespace trovix {

class TFolderTree;
class TFileGrid;
struct TGridColumns;
class TStatusPanels;
class TTabControlSmart;
class TFileCommands;
class TFolderLister;
class TCommandRunner;
class TFreeSpaceProbe;
class TFolderWatch;

class TMainForm : public QMainWindow, public TBrowserHost {
  Q_OBJECT
 public:
  explicit TMainForm(QWidget *parent = nullptr);
  ~TMainForm() override;

  // Tool bar buttons.
  QToolBar *ToolBar;
  QAction *bBack, *bRefresh, *bViewFile, *bViewFileAlways, *bOpenFile, *bRename, *bDelete,
      *bDuplicate, *bFind, *bNewFile, *bNewFolder, *bMapDrive, *bRun, *bProperties, *bLog, *bAbout;
  // Client area.
  TTabControlSmart *TCTrovix;
  QWidget *pTree;
  TFolderTree *FolderTree;
  QSplitter *Splitter;
  QWidget *pFiles;
  TFileGrid *GFileInfo;
  TStatusPanels *StatusBar;
  // Menus and their items.
  QMenu *mItems, *mTree, *mTabs;
  QAction *mSelectNone, *mSelectAll, *mSelecttohere, *mView, *mViewHex, *mViewAlways, *mCloseViews,
      *mOpen, *mOpenWith, *mOpenfilelocation, *mCopyFullPath, *mRename, *mDelete, *mTrash,
      *mDuplicate, *mTestRead, *mNewFile, *mNewFolder;
  QAction *mTreeOpen, *mTreeRename, *mTreeDelete, *mTreeTrash;
  QAction *mCloseTab, *mCloseOtherTabs, *mCloseTabstotheRight, *mEditPath;
  QTimer *Timer;
  // Rename, Delete, Duplicate, New File, New Folder and Test Read.
  TFileCommands *FileCommands = nullptr;

  // The tabs' records and the current tab's entries, shared with the grid
  // and the commands.
  TFileListState List;
  // The screen point of the last context menu of the grid.
  QPoint PopupPoint;

  // TBrowserHost.
  QWidget *HostWindow() override { return this; }
  TFileListState &ListState() override { return List; }
  TTabControlSmart *Tabs() override { return TCTrovix; }
  TFolderTree *Tree() override { return FolderTree; }
  TFileGrid *Grid() override { return GFileInfo; }
  std::string TabFolder(int32_t index) const override;
  std::string CurrentFolder() const override;
  // Find: a new search window on the current tab's folder.
  void bFindClick();
  // A search result: its folder becomes the current tab's, name its current entry.
  void GoToFile(const std::string &folder, const std::string &name);
  void ListAgain() override;

  void FormShow();
  void FormClose();
  bool FormCloseQuery();
  // A close asked for by a signal (logout, kill, Ctrl+C), which nobody can be
  // asked about: open dialogs are cancelled and the window closes the normal
  // way, saving its state, and the program ends. While file operations run
  // the close waits: they are cancelled, the trace says so, and the window
  // closes once they have ended. signalName goes to the trace.
  void CloseBySignal(const std::string &signalName);
  void FormActivate();
  void bBackClick();
  bool CommonKeyDown(int key, Qt::KeyboardModifiers mods);
  void bRefreshClick();
  void TimerTimer();
  // Lists tab index into the file list and refreshes tab, grid and status bar.
  void TCTrovixFill(int index);
  // Remembers the current row's name as the tab's current file.
  void TCTrovixRead(int index);
  // Two tabs exchanged places: so do their TabStates entries.
  void TCTrovixSwapData(int index1, int index2);
  void TCTrovixDrawTab(QPainter &painter, int index, const QRect &rect, bool active);
  // Middle click on a tab: it is shown and closed.
  void TCTrovixMouseUp(Qt::MouseButton button, int index);
  void FolderTreeChangeFolder();
  // Tab menu.
  void mCloseTabClick();
  void mCloseOtherTabsClick();
  void mCloseTabstotheRightClick();
  void mEditPathClick();
  // Launch commands. sender: the menu item or button that asked (mOpenWith
  // always offers the choice of program; mTreeOpen opens the tab's folder).
  void bOpenFileClick(QObject *sender = nullptr);
  void mOpenfilelocationClick();
  void mCopyFullPathClick();
  void bRunClick();
  void bMapDriveClick();
  // Marks all entries (selectAll) or none.
  void mSelectClick(bool selectAll);
  void mSelecttohereClick();
  // F3: the incremental search again from the next row.
  void RepeatTypeAhead();
  // Repaints grid, tab row and status bar after marks or current row changed.
  void ItemsChanged();
  // A folder of the grid or the tree shown in a new tab.
  void OpenInNewTab(const std::string &folder) override;
  // View: a folder row is entered; files go to the viewer (hex for View Hex).
  void bViewFileClick(bool hex = false);
  // The lock button went down (the current file goes to the locked view) or up
  // (the locked view closes).
  void bViewFileAlwaysClick();
  // The current file, when it is not a folder, into the locked view.
  void ViewLockedFile();

  // Lists the current tab's folder on a worker; reads its volume's free space.
  TFolderLister *Lister = nullptr;
  TFreeSpaceProbe *FreeSpace = nullptr;
  // Runs the window's own slow commands (connecting and disconnecting a
  // network mount) on a worker.
  TCommandRunner *Commands = nullptr;
  // Watches the listed folder and the expanded tree nodes for changes made
  // by other programs.
  TFolderWatch *Watch = nullptr;
  // A listing of the current tab's folder landed (at once or later): installs it.
  void TabListingLanded(const std::string &folder, TFolderListing &listing);
  // Folders changed outside: the tree's nodes and the listed folder are read
  // again, the list keeping its current row, marks and scroll position.
  void FoldersChanged(const std::set<std::string> &changed);
  void UpdateWatch();

  // The status text as last painted by the timer.
  std::string LastShownStatus;

 protected:
  void showEvent(QShowEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  void changeEvent(QEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateClientArea();
  bool FormKeyDown(QKeyEvent *event);
  void SwitchWindow();
  TGridColumns FileGridColumns() const;
  void ShowOperationInProgress();

  bool shown_ = false;
  bool signalClosePending_ = false;  // a signal's close waits for operations to end
  bool mapping_ = false;             // a Map drive click is being handled
  bool relistAgain_ = false;         // the listed folder changed again while it was read
  void LiveListingLanded(const std::string &folder, TFolderListing &listing);
};

extern TMainForm *MainForm;

}  // namespace trovix
