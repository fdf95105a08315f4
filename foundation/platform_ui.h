// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Platform helpers over Qt: opening files and folders with the desktop, the
// "Open With" dialog, synthesized keystrokes, bitmaps, canvas painting, the
// splitter grip, placing a window at the mouse and combo box histories.
//
// Opening a URL with the desktop goes through OpenDesktopUrl, which tests
// replace (SetUrlOpener); external programs go through RunCommand
// (platform.h). Main thread only.
#include <QDialog>
#include <QImage>
#include <QSplitter>
#include <QSplitterHandle>
#include <QUrl>
#include <functional>
#include <string>
#include <vector>

#include "foundation/platform.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPainter;
class QPushButton;
class QWidget;

namespace trovix {

// A byte string (a file name, a markup text) as text to show: UTF-8, with
// invalid bytes shown as replacement characters.
QString DisplayText(const std::string &text);

// A byte string (a file name, a path) as text a user edits, losslessly: valid
// UTF-8 as its characters, each byte of an invalid sequence as the four
// characters "\xHH" (upper-case hex), and a backslash that would read as such
// an escape as "\x5C". EditedBytes turns an edit back into bytes: "\xHH"
// becomes the byte HH, a code point U+DC80..U+DCFF (the file-name codecs of
// other environments) the byte of its low eight bits, anything else UTF-8.
// EditedBytes(EditableText(b)) == b for every b.
QString EditableText(const std::string &bytes);
std::string EditedBytes(const QString &text);

// ---- Opening files and folders -------------------------------------------------

// Opens a URL with the desktop's program for it (QDesktopServices::openUrl,
// which follows xdg-open); true when that program was started.
using UrlOpener = std::function<bool(const QUrl &url)>;
bool OpenDesktopUrl(const QUrl &url);
// Replaces the opener (tests); an empty function restores the real one.
void SetUrlOpener(UrlOpener opener);

// The URL of a local path, its bytes kept (see FileUri).
QUrl LocalFileUrl(const std::string &path);
// The MIME type of a file (by content and name) followed by its parent types.
std::vector<std::string> FileMimeTypes(const std::string &path);

// Opens path with the program registered for its type. When no application
// is registered for the type, or the desktop cannot start one, the result of
// WinOpenFileWith is returned.
bool WinOpenFile(QWidget *form, const std::string &path);
// Lets the user choose an application registered for path's type, or type a
// command, and starts it on path in path's folder. True when the dialog was
// cancelled or the choice started; false when the chosen program could not
// be started.
bool WinOpenFileWith(QWidget *form, const std::string &path);
// Opens a folder in the desktop's file manager.
bool ExploreFolder(QWidget *form, const std::string &folder);
// Shows path selected in the desktop's file manager; when no file manager
// answers that call, opens path's folder. True when either worked.
bool OpenFileLocation(QWidget *form, const std::string &path);

// The "Open With" dialog: the applications registered for the file's type
// and a line for a command of one's own (the file is appended to it, or
// stands where it says %f).
class TOpenWithDialog : public QDialog {
  Q_OBJECT
 public:
  TOpenWithDialog(QWidget *parent, const std::string &path, std::vector<DesktopApp> apps);
  // The program and arguments for the choice; empty when there is none.
  std::vector<std::string> ChosenCommand() const;

  QListWidget *lApps = nullptr;
  QLineEdit *eCommand = nullptr;
  QPushButton *bOpen = nullptr;

 private:
  void UpdateButtons();
  std::string path_;
  std::vector<DesktopApp> apps_;
};

// ---- Synthesized keystrokes ----------------------------------------------------
// Keys are Windows virtual-key codes (as key macros store them) and modifier
// sets ssShift / ssAlt / ssCtrl. Events are posted to the widget that has the
// focus when they are posted; they arrive when events are next processed.

// Qt key for a virtual key (Qt::Key_unknown when there is none), and back (0
// when none). Letters, digits, the editing, navigation and function keys,
// the number pad and the US punctuation keys are known.
int VirtualKeyToQtKey(int vk);
int QtKeyToVirtualKey(int qtKey);
// Modifier sets from and to Qt's keyboard modifiers.
int ShiftStateFromQt(Qt::KeyboardModifiers modifiers);
Qt::KeyboardModifiers ShiftStateToQt(int shiftState);
// The modifiers held down by the synthesized events so far.
int CurrentShiftState();

// Saves the modifier state (synthesized and held on the keyboard).
void KeyboardSave();
// Presses again every modifier that was down when KeyboardSave ran.
void KeyboardRestore();
// Presses Shift, Alt and Ctrl, in this order, for those in modifiers.
void PostShiftDown(int modifiers);
// Releases Shift, Alt and Ctrl, in this order, for those in modifiers.
void PostShiftUp(int modifiers);
// Presses modifiers, presses and releases key with the modifiers then held,
// releases modifiers. extended has no meaning here.
void PostKey(int key, int modifiers, bool extended);

// ---- Bitmaps -------------------------------------------------------------------

// Turns the image 90 degrees clockwise in place, as opaque RGB (32-bit
// pixels, alpha dropped): new (row r, column c) = old (row old height - 1 -
// c, column r).
void BitmapRotate(QImage &bitmap);
// Replaces rect by the largest rectangle of width : height that fits rect's
// size, centred in (0, 0, rect width, rect height). Unchanged when width or
// height is not positive.
void ImageFit(int width, int height, QRect &rect);
// Paints the bitmap stretched into rect (onto a printer or any device).
void PrintBitmap(QPainter &canvas, const QRect &rect, const QImage &bitmap);

// ---- Canvas painting -----------------------------------------------------------

// Font styles for the text helpers.
enum TFontStyle : int { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = int;

// A vertical gradient from colour1 at the top to colour2 over rect, painted in
// bands of equal colour. Rows run from top to top + height; the colour of row y
// is, per channel, c1 + ((c2 - c1) * (y - top) + span / 2) / span with span =
// height (c1 when height < 1). A band is filled when the next row's colour
// differs or the last row is reached, with the colour of that next row.
void CanvasGradientFill(QPainter &canvas, const QRect &rect, const QColor &colour1,
                        const QColor &colour2);
// Text whose right end is 4 pixels left of x, top at y.
void CanvasTextOutRight(QPainter &canvas, int x, int y, const std::string &text);
// Text split at "|", each piece right-aligned 4 pixels left of right; a piece
// wider than right - left - 8 starts at left, clipped.
void CanvasTextOutRight_(QPainter &canvas, int left, int right, int top, TFontStyles style,
                         const std::string &text);
// Text centred between left and right, clipped to them.
void CanvasTextOutCenter(QPainter &canvas, int left, int right, int top, const std::string &text);

// The splitter grip: 13 lines 2 pixels apart in colour, centred. For a bar
// lying across (alignedTop) the lines stand upright from y = 1 to the height
// - 1; otherwise they lie flat from x = 1 to the width - 1.
void SplitterPaintHandle(QPainter &canvas, const QSize &clientSize, bool alignedTop,
                         const QColor &colour);

// A splitter handle painted with the grip in the palette's shadow colour.
class TSplitterHandle : public QSplitterHandle {
 public:
  TSplitterHandle(Qt::Orientation orientation, QSplitter *parent);

 protected:
  void paintEvent(QPaintEvent *event) override;
};

// A splitter whose handles show the grip.
class TSplitter : public QSplitter {
 public:
  explicit TSplitter(Qt::Orientation orientation, QWidget *parent = nullptr);

 protected:
  QSplitterHandle *createHandle() override;
};

// ---- Signals that end the program ----------------------------------------------

// Calls onSignal with the signal's number on the main thread, from the event
// loop, for each SIGTERM, SIGHUP or SIGINT the program receives (see
// CloseSignalsInstall). Needs the application object; false when the signals
// cannot be caught. A later call replaces onSignal.
bool WatchCloseSignals(std::function<void(int signal)> onSignal);

// ---- Windows and controls ------------------------------------------------------

// Puts the window's top-left corner at the mouse, moved left to end at the
// right of the virtual desktop and up to end 32 pixels above the bottom of
// the primary screen, never past the desktop's top-left.
void WindowToMouse(QWidget *form);
// Combo boxes as byte strings: each item keeps the bytes it was added with
// (a path need not be UTF-8) beside the text it shows, and the edit text the
// bytes it was last set to. Text the user typed or changed reads as UTF-8.
void ComboInsertItem(QComboBox *combo, int index, const std::string &bytes);
std::string ComboItemBytes(const QComboBox *combo, int index);
// Sets the text and remembers its bytes: the item with these bytes becomes
// current (none when no item has them), an editable combo shows the text.
void ComboSetText(QComboBox *combo, const std::string &bytes);
// The bytes of the current text: those it was set to or those of the item it
// shows, while the text still reads the same.
std::string ComboText(const QComboBox *combo);

// Puts the combo box's text at the top of its list: an existing item with the
// same bytes moves up, a new one is added with at most 16 items kept. An
// empty text changes nothing.
void ComboFill(QComboBox *combo);
inline constexpr int ComboHistoryMax = 16;

}  // namespace trovix
