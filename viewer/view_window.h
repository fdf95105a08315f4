// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TViewFileForm: a window showing one file as editable text or as an
// editable hex dump, with the text tools, find and key macros; ViewFile is
// the one entry by which the rest of the program opens a file in a view.
// Image and multimedia modes plug in through ViewRecognisers (view_file.h)
// and ViewerHooks below.
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/worker_pool.h"
#include "viewer/picture_ui.h"
#include "viewer/view_file.h"
#include "viewer/view_text.h"

class QAction;
class QAudioOutput;
class QComboBox;
class QMediaPlayer;
class QMenu;
class QPrinter;
class QTimer;
class QToolBar;
class QVideoWidget;

namespace trovix {

class TViewFileForm;
struct TImageLoad;
struct TViewRead;

// Opens path in a view window (see the rules in view_file.h): a new window,
// or the locked view (the newest window) when newWindow is false. findText
// goes to the top of the find history. The file is probed, read and decoded
// on the worker pool; when that takes longer than a short wait (a slow disk,
// a hung mount, a large picture) the window shows the file's name and
// "Loading ..." and the file lands in it later. Returns the window showing
// the file, or nullptr when none stays open (the file went to the desktop,
// or could not be read: an error message has then been shown). While the
// file is still pending it returns the waiting window; should the file then
// fail, a window made for it closes and a reused one stays empty.
TViewFileForm *ViewFile(const std::string &path, bool newWindow, bool hex,
                        const std::string &findText, QWidget *caller);

// The newest view window, which locked viewing loads the next file into;
// nullptr when it has closed.
extern TViewFileForm *LockedView;

// Closes every window marked with a non-zero "Tag" property (view windows 1,
// search windows 2) and resets the cascade. A window whose close the user
// refuses (Cancel in its save question) stays; the result is then false.
bool CloseAllViews();

// What view windows need from the rest of the program.
struct TViewerHooks {
  std::function<void()> listAgain;  // a save changed a folder: list the current tab again
  // The same, making the entry name the current one afterwards.
  std::function<void(const std::string &name)> listAgainSelecting;
  std::function<void()> lockReleased;  // the locked view closed: set the lock button up
  // Image and multimedia modes: load path into the window, true when shown.
  std::function<bool(TViewFileForm *form, const std::string &path)> showImage;
  std::function<bool(TViewFileForm *form, const std::string &path)> playMedia;
  std::function<void(TViewFileForm *form)> stopMedia;
  // Hands a file that is not text to the desktop (WinOpenFile when empty).
  std::function<bool(QWidget *caller, const std::string &path)> openFile;
  // Full-screen mode sets the main window's locked viewing button down (true)
  // and up again (false) without opening or closing a view.
  std::function<void(bool down)> lockedViewing;
};
TViewerHooks &ViewerHooks();
// Installs the image view's recognisers and hooks where none are set
// (ViewFile does this before it classifies a file).
void InstallImageView();

// The last mouse position over any image (X = -1: none), shared by all
// view windows so that a drag goes on smoothly after a reload.
struct TImageMouse {
  int X = -1;
  int Y = 0;
};
TImageMouse &ImageMouse();

// The image panel's paint box: paints the window's picture, pans it.
class TImagePaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit TImagePaintBox(TViewFileForm *form, QWidget *parent);

 protected:
  void paintEvent(QPaintEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;

 private:
  TViewFileForm *Form;
};

// The editor: its keys and mouse buttons go through the window first.
class TViewMemo : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit TViewMemo(QWidget *parent = nullptr) : QPlainTextEdit(parent) {}
};

// The status bar: one panel painting the window's markup status text.
class TViewStatusBar : public QWidget {
  Q_OBJECT
 public:
  explicit TViewStatusBar(QWidget *parent = nullptr);
  std::string Text;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent *event) override;
};

class TViewFileForm : public QWidget {
  Q_OBJECT
 public:
  explicit TViewFileForm(QWidget *parent = nullptr);
  ~TViewFileForm() override;

  std::string FileName;
  QPointer<QWidget> Caller;
  uint8_t Mode = vmEmpty;
  TTextCoding Coding;  // how the text goes back to the file's bytes

  // Controls.
  QWidget *pMemo = nullptr;
  QWidget *pToolBar = nullptr;
  QToolBar *ToolBar = nullptr;   // first row
  QToolBar *ToolBar2 = nullptr;  // second row
  TViewMemo *Memo = nullptr;
  TViewStatusBar *StatusBar = nullptr;
  QWidget *pImage = nullptr;
  QWidget *ToolBarImage = nullptr;      // the image tool bar's panel
  QToolBar *ToolBarImageBar = nullptr;  // its buttons
  QWidget *pImagePaintBox = nullptr;    // holds pbImage, and the video in multimedia mode
  TImagePaintBox *pbImage = nullptr;
  QAction *bSaveImage, *bCopyImage, *bPasteImage, *bRotateCW, *bPrint, *bHoles, *bFullScreen, *bFit,
      *b1to1, *bZoomIn, *bZoomOut, *bPause;
  QMenu *PopupMenuImage = nullptr;
  QAction *mSaveAsImage, *mCopyImage, *mPasteImage, *mRotate, *mFullScreen, *mClose1,
      *mCloseAllViews1;
  QMenu *PopupMenuHoles = nullptr;
  // Multimedia: made only when a file is played.
  QMediaPlayer *MediaPlayer = nullptr;
  QVideoWidget *VideoWidget = nullptr;
  QAudioOutput *AudioOutput = nullptr;
  QAction *bSave, *bSelectAll, *bCut, *bCopy, *bPaste, *bSelectionCopy, *bHexAscii, *bTabsSpaces,
      *bCase, *bOutdent, *bIndent, *bCompare, *bExchange, *bWordWrap;
  QAction *bRecordMacro, *bFind, *bPrev, *bNext, *bIgnoreCase, *bWildSearch, *bSecurity;
  QComboBox *eTarget = nullptr;
  QMenu *PopupMenuMemo = nullptr;
  QAction *mUndo, *mSaveAs, *mSelectAll, *mCut, *mCopy, *mPaste, *mHexAscii, *mTabsSpaces, *mCase,
      *mOutdent, *mIndent, *mCompare, *mExchange, *mWordWrap, *mRecordMacro, *mFind, *mFindPrevious,
      *mFindNext, *mIgnoreCase, *mWildSearch, *mClose, *mCloseAllViews;

  // The image: a bitmap or a metafile, its scale in percent and the pan.
  TPicture Picture;
  bool IsMetafile() const { return Picture.IsMetafile; }
  int32_t Zoom = 100;
  int32_t OffsetX = 0;
  int32_t OffsetY = 0;

  // The status bar's markup text.
  const std::string &StatusText() const { return StatusBar->Text; }
  void SetStatusText(const std::string &text);

  // Loading (ViewFile's steps for text and hex); false after an error message.
  void ResetView();
  void PrepareText();
  // Reads path and shows it as text, whatever it holds (tests use it too).
  bool LoadText(const std::string &path);
  void UpdateCaption();
  // The file being read or decoded on a worker for this window; the window
  // shows "Loading ..." till it lands. ResetView and closing drop it.
  bool LoadPending() const { return LoadJob != nullptr; }
  // Runs work on the worker pool, then land on this thread: at once when
  // work finishes within a short wait (the caller then goes on exactly as
  // if it had all run in order; true), otherwise when it finishes (false).
  bool RunLoadJob(std::function<void(const TWorkerJob &)> work, std::function<void()> land);
  // A large file shows its first screens at once; the rest goes into the
  // editor in steps from the event loop. Till then the editor is read-only:
  // moving, selecting and copying work on the part that is in, keys that
  // would change the text are refused with a status text, and commands that
  // need the whole text wait for it (DeferWhileLoading).
  bool Loading() const { return Pending.active; }
  // While loading: keeps command (replacing one kept before) to run once
  // the whole text is in, shows so in the status bar, and returns true.
  // Otherwise returns false and the caller goes on.
  bool DeferWhileLoading(std::function<void()> command);
  // An editor command that acts on the whole text: it waits for the load.
  std::function<void()> WholeText(void (QPlainTextEdit::*command)());
  // The status text while loading: the share loaded, and what waits for it.
  std::string LoadingStatus(const char *note) const;

  // ViewFile's image and multimedia steps: load or play FileName and show
  // the window; false after an error message.
  bool ShowImage();
  bool ShowMedia();
  // Image mode.
  void FitWindowToImage();
  void SetZoom(int32_t z);
  void ZoomInClick();
  void ZoomOutClick();
  void b1to1Click();
  void bFitClick();
  void bRotateCWClick();
  void mCopyImageClick();
  void mPasteImageClick();
  void mHolesClick(int tag);
  void mSaveAsImageClick();
  void bPrintClick();
  // Prints the picture on printer as one page; false when nothing printed.
  bool PrintImage(QPrinter &printer);
  void bFullScreenClick();
  bool FullScreen() const;
  // The picture's size (the full size while a smaller preview is shown).
  int PictureWidth() const;
  int PictureHeight() const;
  // Replaces a quick preview of a large JPEG by the full picture; every tool
  // that reads or changes the pixels calls this first. Painting the preview
  // starts the full decode on a worker instead (StartFullDecode), and the
  // full picture replaces the preview when it arrives.
  void EnsureFullPicture();
  void StartFullDecode();
  bool FullDecodePending() const { return FullJob != nullptr; }
  // A tool the user starts while the picture is read, or while its full
  // decode runs, waits for it (true), so a large picture never holds the
  // window and a tool used early is not lost; false: run it now.
  bool DeferUntilFull(std::function<void()> command);
  // Where the picture is painted in pbImage's coordinates.
  QRect ImageRect();
  void PaintImage(QPainter &painter);
  void ImageMouseMove(QMouseEvent *event);

  // Multimedia mode.
  bool PlayMedia();
  void CloseMedia();
  void bPauseClick();

  // Handlers.
  void FormActivate();
  bool SaveTextFile();  // true when the window may close
  void MemoChange();
  void MemoClick(bool copySelection = false);
  void MemoEnter();
  void HexAsciiClick();
  void CovertTabsSpacesClick();
  void CaseClick();
  void IndentOutdentClick(bool outdent);
  void ExchangeClick();
  void CompareClick();
  void WordWrapClick();
  void bSecurityClick();
  void bFindClick();
  void SearchClick(int direction);
  void RecordMacroClick();
  // The key preview of the window; true when the key was consumed.
  bool FormKeyDown(QKeyEvent *event);
  bool MemoKeyDown(QKeyEvent *event);
  void SwitchWindow();

  // The editor's text as UTF-8 bytes ("\n" between lines), and positions
  // between the editor (UTF-16 units) and those bytes.
  std::string MemoBytes() const;
  static size_t Utf8Offset(const QString &text, int position);
  static int EditorPosition(const QString &text, size_t offset);
  // Replaces the editor's characters [start, end) by text and selects it.
  void ReplaceRange(int start, int end, const QString &text);

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void changeEvent(QEvent *event) override;
  void wheelEvent(QWheelEvent *event) override;

 private:
  void CreateImagePanel();
  void ShowImagePanel(bool media);
  void PictureChanged();
  QImage RenderedPicture() const;
  QImage Preview;         // a quicker smaller decode shown until the full one
  QSize PreviewFullSize;  // the full picture's size while Preview is shown
  std::shared_ptr<const std::string> PreviewBytes;  // the file, decoded in full later
  QImage Scaled;                                    // the picture at the size last painted
  qint64 ScaledKey = 0;                             // the image Scaled was made from
  TJobHandle FullJob;                               // the full decode on a worker
  std::vector<std::function<void()>> AfterFull;     // tools waiting for it, in order
  void RunAfterFull();
  void DropPreview();
  bool AcceptImage(TImageLoad &load);  // takes the picture, or shows why not
  bool LandImage(TImageLoad &load);
  std::string MediaError;
  void CreateToolBars();
  void CreateMenu();
  void ApplyFontAndTabs();
  void MacroReplay(int32_t code, int shiftState);

  // The part of a file not yet in the editor.
  struct TPendingLoad {
    bool active = false;
    bool hex = false;  // source holds the file's bytes, else the editor's text
    std::shared_ptr<const std::string> source;  // the whole of it
    size_t done = 0;                            // bytes of source already in the editor
    int64_t lines = 0;                          // the status's line count of the whole text
  };
  TPendingLoad Pending;
  QTimer *LoadTimer = nullptr;
  std::function<void()> Deferred;  // a command waiting for the whole text
  const char *LoadNote = nullptr;  // the status's note while loading
  void RefuseWhileLoading();       // a key that would change the text
  // The text as loaded while the editor still holds it unchanged (the hex
  // view: the file's bytes), so that a find in a large text runs on a
  // worker instead of copying the editor's text.
  std::shared_ptr<const std::string> LoadedSource;
  bool LoadedHex = false;
  TJobHandle FindJob;
  void DropFind();  // the loaded text and a find on it
  void StartFind(const std::string &needle, int direction, int editorStart);
  // Selects the editor's characters [start, end); beeps when start < 0.
  void ShowFound(int64_t start, int64_t end);

  // The file read on a worker (see RunLoadJob).
  TJobHandle LoadJob;
  bool LoadingImage = false;    // the job reads a picture
  bool LoadLate = false;        // the job lands after ViewFile has returned
  bool LoadMadeWindow = false;  // the window was made for the file being read
  bool LoadShown = false;       // what landing the job decided (see ViewFile)
  QElapsedTimer LoadClock;
  QTimer *LoadTick = nullptr;  // the waiting window's status text
  void DropLoadJob();
  // Cancels every job of the window: the read, the full picture, a find.
  void DropJobs();
  void ShowLoadingState();
  void LoadingTick();
  // Lands ViewFile's read: text, hex, the desktop or nothing; true when the
  // window shows the file (what ViewFile's shown means).
  bool LandRead(TViewRead &read);
  bool ShowText(TViewRead &read);
  bool ShowHex(TViewRead &read);
  // A job that landed after ViewFile returned: a window made for a file that
  // is not shown goes away; otherwise the caption follows.
  void LateLanded(bool shown);
  friend TViewFileForm *ViewFile(const std::string &, bool, bool, const std::string &, QWidget *);
  // lines: the status's line count of the whole text (< 0: counted here).
  void StartLoading(std::string source, bool hex, int64_t lines = -1);
  // Appends the next piece of about step bytes of source; false when all is in.
  bool LoadPiece(size_t step);
  void StopLoading();
};

}  // namespace trovix
