// SPDX-License-Identifier: GPL-3.0-or-later
// Platform helpers over Qt. See platform_ui.h.
#include "foundation/platform_ui.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeDatabase>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "foundation/file_system.h"
#include "foundation/utf8.h"
#include "foundation/worker_pool_ui.h"

namespace trovix {

namespace {

int HexDigit(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

// Length of the valid UTF-8 sequence at s[i] and its code point; 0 when the
// byte there does not start one (overlong forms, surrogates and code points
// above U+10FFFF are invalid).
size_t Utf8Sequence(const std::string &s, size_t i, char32_t &code) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b = byte(i);
  if (b < 0x80) {
    code = b;
    return 1;
  }
  size_t length = 0;
  char32_t min = 0;
  if ((b & 0xE0) == 0xC0) {
    length = 2, code = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    length = 3, code = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    length = 4, code = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

void AppendHexEscape(QString &out, unsigned char b) {
  static const char kHex[] = "0123456789ABCDEF";
  out += QLatin1String("\\x");
  out += QChar(kHex[b >> 4]);
  out += QChar(kHex[b & 15]);
}

}  // namespace

QString DisplayText(const std::string &text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString EditableText(const std::string &bytes) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  for (size_t i = 0; i < bytes.size();) {
    char32_t code = 0;
    const size_t length = Utf8Sequence(bytes, i, code);
    if (length == 0) {
      AppendHexEscape(out, static_cast<unsigned char>(bytes[i]));
      ++i;
      continue;
    }
    // A literal backslash that EditedBytes would read as an escape.
    if (code == '\\' && i + 3 < bytes.size() && bytes[i + 1] == 'x' &&
        HexDigit(bytes[i + 2]) >= 0 && HexDigit(bytes[i + 3]) >= 0) {
      AppendHexEscape(out, '\\');
    } else {
      const char32_t one[1] = {code};
      out += QString::fromUcs4(one, 1);
    }
    i += length;
  }
  return out;
}

std::string EditedBytes(const QString &text) {
  // Code points, with lone surrogates kept as they are (toUcs4 would replace them).
  std::vector<char32_t> codes;
  codes.reserve(static_cast<size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i].unicode();
    if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      codes.push_back(QChar::surrogateToUcs4(unit, text[i + 1].unicode()));
      ++i;
    } else {
      codes.push_back(unit);
    }
  }
  std::string out;
  out.reserve(codes.size());
  for (size_t i = 0; i < codes.size(); ++i) {
    const char32_t c = codes[i];
    if (c == '\\' && i + 3 < codes.size() && codes[i + 1] == 'x' && HexDigit(codes[i + 2]) >= 0 &&
        HexDigit(codes[i + 3]) >= 0) {
      out += static_cast<char>(HexDigit(codes[i + 2]) * 16 + HexDigit(codes[i + 3]));
      i += 3;
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      out += static_cast<char>(c & 0xFF);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out += "\xEF\xBF\xBD";  // any other lone surrogate has no UTF-8 form
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

namespace {

UrlOpener &InstalledOpener() {
  static UrlOpener opener;
  return opener;
}

std::string ParentFolder(std::string path) {
  while (path.size() > 1 && path.back() == PathDelim) path.pop_back();
  size_t slash = path.rfind(PathDelim);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// ---- Keys ----------------------------------------------------------------------

struct KeyName {
  int vk;
  int qt;
  int shiftedQt;  // the key Qt reports with Shift held (US layout), 0 = same
  char text;      // text typed without Shift, 0 = none
  char shiftedText;
};

// Keys other than letters; the number pad is marked by vk 96..111.
constexpr KeyName kKeys[] = {
    {8, Qt::Key_Backspace, 0, '\b', '\b'},
    {9, Qt::Key_Tab, Qt::Key_Backtab, '\t', '\t'},
    {13, Qt::Key_Return, 0, '\r', '\r'},
    {16, Qt::Key_Shift, 0, 0, 0},
    {17, Qt::Key_Control, 0, 0, 0},
    {18, Qt::Key_Alt, 0, 0, 0},
    {19, Qt::Key_Pause, 0, 0, 0},
    {20, Qt::Key_CapsLock, 0, 0, 0},
    {27, Qt::Key_Escape, 0, '\x1b', '\x1b'},
    {32, Qt::Key_Space, 0, ' ', ' '},
    {33, Qt::Key_PageUp, 0, 0, 0},
    {34, Qt::Key_PageDown, 0, 0, 0},
    {35, Qt::Key_End, 0, 0, 0},
    {36, Qt::Key_Home, 0, 0, 0},
    {37, Qt::Key_Left, 0, 0, 0},
    {38, Qt::Key_Up, 0, 0, 0},
    {39, Qt::Key_Right, 0, 0, 0},
    {40, Qt::Key_Down, 0, 0, 0},
    {45, Qt::Key_Insert, 0, 0, 0},
    {46, Qt::Key_Delete, 0, '\x7f', '\x7f'},
    {48, Qt::Key_0, Qt::Key_ParenRight, '0', ')'},
    {49, Qt::Key_1, Qt::Key_Exclam, '1', '!'},
    {50, Qt::Key_2, Qt::Key_At, '2', '@'},
    {51, Qt::Key_3, Qt::Key_NumberSign, '3', '#'},
    {52, Qt::Key_4, Qt::Key_Dollar, '4', '$'},
    {53, Qt::Key_5, Qt::Key_Percent, '5', '%'},
    {54, Qt::Key_6, Qt::Key_AsciiCircum, '6', '^'},
    {55, Qt::Key_7, Qt::Key_Ampersand, '7', '&'},
    {56, Qt::Key_8, Qt::Key_Asterisk, '8', '*'},
    {57, Qt::Key_9, Qt::Key_ParenLeft, '9', '('},
    {96, Qt::Key_0, 0, '0', '0'},
    {97, Qt::Key_1, 0, '1', '1'},
    {98, Qt::Key_2, 0, '2', '2'},
    {99, Qt::Key_3, 0, '3', '3'},
    {100, Qt::Key_4, 0, '4', '4'},
    {101, Qt::Key_5, 0, '5', '5'},
    {102, Qt::Key_6, 0, '6', '6'},
    {103, Qt::Key_7, 0, '7', '7'},
    {104, Qt::Key_8, 0, '8', '8'},
    {105, Qt::Key_9, 0, '9', '9'},
    {106, Qt::Key_Asterisk, 0, '*', '*'},
    {107, Qt::Key_Plus, 0, '+', '+'},
    {109, Qt::Key_Minus, 0, '-', '-'},
    {110, Qt::Key_Period, 0, '.', '.'},
    {111, Qt::Key_Slash, 0, '/', '/'},
    {144, Qt::Key_NumLock, 0, 0, 0},
    {145, Qt::Key_ScrollLock, 0, 0, 0},
    {186, Qt::Key_Semicolon, Qt::Key_Colon, ';', ':'},
    {187, Qt::Key_Equal, Qt::Key_Plus, '=', '+'},
    {188, Qt::Key_Comma, Qt::Key_Less, ',', '<'},
    {189, Qt::Key_Minus, Qt::Key_Underscore, '-', '_'},
    {190, Qt::Key_Period, Qt::Key_Greater, '.', '>'},
    {191, Qt::Key_Slash, Qt::Key_Question, '/', '?'},
    {192, Qt::Key_QuoteLeft, Qt::Key_AsciiTilde, '`', '~'},
    {219, Qt::Key_BracketLeft, Qt::Key_BraceLeft, '[', '{'},
    {220, Qt::Key_Backslash, Qt::Key_Bar, '\\', '|'},
    {221, Qt::Key_BracketRight, Qt::Key_BraceRight, ']', '}'},
    {222, Qt::Key_Apostrophe, Qt::Key_QuoteDbl, '\'', '"'},
};

constexpr int kVkF1 = 112;
constexpr int kVkF24 = 135;

bool IsNumberPad(int vk) { return vk >= 96 && vk <= 111; }

const KeyName *FindVirtualKey(int vk) {
  for (const KeyName &key : kKeys)
    if (key.vk == vk) return &key;
  return nullptr;
}

int shiftState = 0;       // modifiers held by synthesized events
int savedShiftState = 0;  // KeyboardSave's copy

void PostToFocus(QEvent::Type type, int qtKey, Qt::KeyboardModifiers modifiers,
                 const QString &text) {
  QWidget *target = QApplication::focusWidget();
  if (!target) return;
  QCoreApplication::postEvent(target, new QKeyEvent(type, qtKey, modifiers, text));
}

struct Modifier {
  int bit;
  int qtKey;
};
constexpr Modifier kModifiers[] = {
    {ssShift, Qt::Key_Shift}, {ssAlt, Qt::Key_Alt}, {ssCtrl, Qt::Key_Control}};

// ---- Text ----------------------------------------------------------------------

QFont StyledFont(QFont font, TFontStyles style) {
  font.setBold(style & fsBold);
  font.setItalic(style & fsItalic);
  font.setUnderline(style & fsUnderline);
  font.setStrikeOut(style & fsStrikeOut);
  return font;
}

std::vector<std::string> SplitAtBar(const std::string &text) {
  std::vector<std::string> pieces;
  size_t pos = 0;
  for (;;) {
    size_t bar = text.find('|', pos);
    if (bar == std::string::npos) {
      pieces.push_back(text.substr(pos));
      return pieces;
    }
    pieces.push_back(text.substr(pos, bar - pos));
    pos = bar + 1;
  }
}

// Text with its left edge at x and its top at top, clipped to the band from
// left to right one line tall, in the painter's current font.
void DrawClipped(QPainter &canvas, int x, int left, int right, int top, const QString &text) {
  const QFontMetrics metrics = canvas.fontMetrics();
  canvas.save();
  canvas.setClipRect(QRect(left, top, right - left, metrics.height()), Qt::IntersectClip);
  canvas.drawText(x, top + metrics.ascent(), text);
  canvas.restore();
}

}  // namespace

// ---- Opening files and folders -------------------------------------------------

bool OpenDesktopUrl(const QUrl &url) {
  const UrlOpener &opener = InstalledOpener();
  if (opener) return opener(url);
  return QDesktopServices::openUrl(url);
}

void SetUrlOpener(UrlOpener opener) { InstalledOpener() = std::move(opener); }

QUrl LocalFileUrl(const std::string &path) {
  return QUrl::fromEncoded(QByteArray::fromStdString(FileUri(path)), QUrl::StrictMode);
}

std::vector<std::string> FileMimeTypes(const std::string &path) {
  // The content is read on a worker for a moment; a file that does not
  // answer (a hung mount) is known by its name alone.
  const QString name = DisplayText(path);
  std::optional<QMimeType> probed =
      CallBounded<QMimeType>([name] { return QMimeDatabase().mimeTypeForFile(name); }, 50);
  QMimeType type =
      probed ? *probed : QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
  std::vector<std::string> types;
  if (!type.isValid()) {
    types.push_back("application/octet-stream");
    return types;
  }
  types.push_back(type.name().toStdString());
  for (const QString &parent : type.allAncestors()) types.push_back(parent.toStdString());
  return types;
}

bool WinOpenFile(QWidget *form, const std::string &path) {
  // The desktop opener reports only whether it started xdg-open, not whether
  // a program was found, so a type without any application goes straight to
  // the choice.
  if (AppsForMimeTypes(FileMimeTypes(path)).empty() || !OpenDesktopUrl(LocalFileUrl(path)))
    return WinOpenFileWith(form, path);
  return true;
}

bool WinOpenFileWith(QWidget *form, const std::string &path) {
  TOpenWithDialog dialog(form, path, AppsForMimeTypes(FileMimeTypes(path)));
  if (dialog.exec() != QDialog::Accepted) return true;
  return LaunchForFile(dialog.ChosenCommand(), path);
}

bool ExploreFolder(QWidget *form, const std::string &folder) {
  (void)form;
  return OpenDesktopUrl(LocalFileUrl(folder));
}

bool OpenFileLocation(QWidget *form, const std::string &path) {
  if (ShowItemInFileManager(path)) return true;
  const std::string folder = ParentFolder(path);
  return !folder.empty() && ExploreFolder(form, folder);
}

TOpenWithDialog::TOpenWithDialog(QWidget *parent, const std::string &path,
                                 std::vector<DesktopApp> apps)
    : QDialog(parent), path_(path), apps_(std::move(apps)) {
  setWindowTitle(tr("Open With"));
  const std::string name = path.substr(path.rfind(PathDelim) + 1);
  auto *layout = new QVBoxLayout(this);
  auto *heading = new QLabel(tr("Choose the program to open \"%1\":").arg(DisplayText(name)), this);
  heading->setWordWrap(true);
  layout->addWidget(heading);

  lApps = new QListWidget(this);
  lApps->setIconSize(QSize(24, 24));
  for (const DesktopApp &app : apps_) {
    QIcon icon;
    if (!app.icon.empty())
      icon = app.icon[0] == PathDelim ? QIcon(DisplayText(app.icon))
                                      : QIcon::fromTheme(DisplayText(app.icon));
    auto *item = new QListWidgetItem(icon, DisplayText(app.name), lApps);
    item->setToolTip(DisplayText(app.exec));
  }
  layout->addWidget(lApps, 1);

  auto *commandLabel =
      new QLabel(tr("Or run a command (the file goes where %f stands, else at the end):"), this);
  commandLabel->setWordWrap(true);
  layout->addWidget(commandLabel);
  eCommand = new QLineEdit(this);
  eCommand->setPlaceholderText(tr("for example: gimp"));
  commandLabel->setBuddy(eCommand);
  layout->addWidget(eCommand);

  auto *buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
  bOpen = buttons->button(QDialogButtonBox::Open);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  // The list and the command line are alternatives: using one clears the other.
  connect(eCommand, &QLineEdit::textEdited, this, [this] {
    if (!eCommand->text().isEmpty()) lApps->setCurrentRow(-1);
  });
  connect(eCommand, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
  connect(lApps, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) eCommand->clear();
    UpdateButtons();
  });
  connect(lApps, &QListWidget::itemActivated, this, [this] { accept(); });

  if (!apps_.empty()) {
    lApps->setCurrentRow(0);
  } else {
    eCommand->setFocus();
  }
  UpdateButtons();
  resize(420, 380);
}

void TOpenWithDialog::UpdateButtons() { bOpen->setEnabled(!ChosenCommand().empty()); }

std::vector<std::string> TOpenWithDialog::ChosenCommand() const {
  const std::string typed = eCommand->text().trimmed().toStdString();
  if (!typed.empty()) return TypedCommand(typed, path_);
  const int row = lApps->currentRow();
  if (row >= 0 && row < static_cast<int>(apps_.size()) && lApps->currentItem() &&
      lApps->currentItem()->isSelected())
    return DesktopAppCommand(apps_[static_cast<size_t>(row)], path_);
  return {};
}

// ---- Synthesized keystrokes ----------------------------------------------------

int VirtualKeyToQtKey(int vk) {
  if (vk >= 'A' && vk <= 'Z') return Qt::Key_A + (vk - 'A');
  if (vk >= kVkF1 && vk <= kVkF24) return Qt::Key_F1 + (vk - kVkF1);
  const KeyName *key = FindVirtualKey(vk);
  return key ? key->qt : Qt::Key_unknown;
}

int QtKeyToVirtualKey(int qtKey) {
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + (qtKey - Qt::Key_A);
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return kVkF1 + (qtKey - Qt::Key_F1);
  if (qtKey == Qt::Key_Enter) return 13;
  if (qtKey == Qt::Key_Meta) return 0;
  for (const KeyName &key : kKeys)
    if (!IsNumberPad(key.vk) && (key.qt == qtKey || key.shiftedQt == qtKey)) return key.vk;
  for (const KeyName &key : kKeys)
    if (IsNumberPad(key.vk) && key.qt == qtKey) return key.vk;
  return 0;
}

int ShiftStateFromQt(Qt::KeyboardModifiers modifiers) {
  int state = 0;
  if (modifiers & Qt::ShiftModifier) state |= ssShift;
  if (modifiers & Qt::AltModifier) state |= ssAlt;
  if (modifiers & Qt::ControlModifier) state |= ssCtrl;
  return state;
}

Qt::KeyboardModifiers ShiftStateToQt(int state) {
  Qt::KeyboardModifiers modifiers;
  if (state & ssShift) modifiers |= Qt::ShiftModifier;
  if (state & ssAlt) modifiers |= Qt::AltModifier;
  if (state & ssCtrl) modifiers |= Qt::ControlModifier;
  return modifiers;
}

int CurrentShiftState() { return shiftState; }

void KeyboardSave() {
  savedShiftState = shiftState | ShiftStateFromQt(QGuiApplication::queryKeyboardModifiers());
}

void KeyboardRestore() { PostShiftDown(savedShiftState); }

void PostShiftDown(int modifiers) {
  for (const Modifier &m : kModifiers) {
    if (!(modifiers & m.bit)) continue;
    shiftState |= m.bit;
    PostToFocus(QEvent::KeyPress, m.qtKey, ShiftStateToQt(shiftState), QString());
  }
}

void PostShiftUp(int modifiers) {
  for (const Modifier &m : kModifiers) {
    if (!(modifiers & m.bit)) continue;
    shiftState &= ~m.bit;
    PostToFocus(QEvent::KeyRelease, m.qtKey, ShiftStateToQt(shiftState), QString());
  }
}

void PostKey(int key, int modifiers, bool extended) {
  (void)extended;
  PostShiftDown(modifiers);
  const bool shift = shiftState & ssShift;
  const bool command = shiftState & (ssCtrl | ssAlt);
  int qtKey = Qt::Key_unknown;
  QString text;
  if (key >= 'A' && key <= 'Z') {
    qtKey = VirtualKeyToQtKey(key);
    if (!command) text = QChar(shift ? key : key + 32);
  } else if (const KeyName *name = FindVirtualKey(key)) {
    qtKey = shift && name->shiftedQt ? name->shiftedQt : name->qt;
    const char c = shift ? name->shiftedText : name->text;
    // Ctrl or Alt with a printable key types nothing; control keys keep theirs.
    if (c && (!command || static_cast<unsigned char>(c) < 32 || c == '\x7f')) text = QChar(c);
  } else {
    qtKey = VirtualKeyToQtKey(key);
  }
  if (qtKey != Qt::Key_unknown) {
    Qt::KeyboardModifiers qtModifiers = ShiftStateToQt(shiftState);
    if (IsNumberPad(key)) qtModifiers |= Qt::KeypadModifier;
    PostToFocus(QEvent::KeyPress, qtKey, qtModifiers, text);
    PostToFocus(QEvent::KeyRelease, qtKey, qtModifiers, text);
  }
  PostShiftUp(modifiers);
}

// ---- Bitmaps -------------------------------------------------------------------

void BitmapRotate(QImage &bitmap) {
  if (bitmap.isNull()) return;
  // Opaque 32-bit pixels hold the same colours as 24-bit ones and move as
  // one word each (no conversion for the usual RGB32 picture).
  const QImage source = bitmap.convertToFormat(QImage::Format_RGB32);
  const int oldWidth = source.width();
  const int oldHeight = source.height();
  QImage turned(oldHeight, oldWidth, QImage::Format_RGB32);
  if (source.isNull() || turned.isNull()) return;  // out of memory: the bitmap stays
  // Row r of the turned picture is column r of the source read bottom-up.
  // Walked in square tiles, so that the source rows a tile reads stay in
  // the cache (a plain column walk misses it at every pixel: a 24-megapixel
  // picture took most of a second).
  constexpr int kTile = 64;
  const uchar *from = source.constBits();
  uchar *to = turned.bits();
  const qsizetype fromLine = source.bytesPerLine(), toLine = turned.bytesPerLine();
  for (int r0 = 0; r0 < oldWidth; r0 += kTile) {
    const int r1 = std::min(oldWidth, r0 + kTile);
    for (int c0 = 0; c0 < oldHeight; c0 += kTile) {
      const int c1 = std::min(oldHeight, c0 + kTile);
      for (int r = r0; r < r1; ++r) {
        auto *row = reinterpret_cast<uint32_t *>(to + r * toLine);
        for (int c = c0; c < c1; ++c)
          std::memcpy(row + c, from + (oldHeight - 1 - c) * fromLine + 4 * r, 4);
      }
    }
  }
  turned.setDotsPerMeterX(source.dotsPerMeterY());
  turned.setDotsPerMeterY(source.dotsPerMeterX());
  bitmap = turned;
}

void ImageFit(int width, int height, QRect &rect) {
  if (width <= 0 || height <= 0) return;
  const int64_t w = width, h = height;
  const int64_t boxWidth = rect.width(), boxHeight = rect.height();
  int64_t newWidth, newHeight;
  if (boxHeight * w <= boxWidth * h) {
    newWidth = w * boxHeight / h;
    newHeight = boxHeight;
  } else {
    newWidth = boxWidth;
    newHeight = boxWidth * h / w;
  }
  rect = QRect(static_cast<int>((boxWidth - newWidth) / 2),
               static_cast<int>((boxHeight - newHeight) / 2), static_cast<int>(newWidth),
               static_cast<int>(newHeight));
}

void PrintBitmap(QPainter &canvas, const QRect &rect, const QImage &bitmap) {
  if (bitmap.isNull()) return;
  canvas.drawImage(rect, bitmap, bitmap.rect());
}

// ---- Canvas painting -----------------------------------------------------------

void CanvasGradientFill(QPainter &canvas, const QRect &rect, const QColor &colour1,
                        const QColor &colour2) {
  const QColor from = colour1.toRgb();
  const QColor to = colour2.toRgb();
  const int top = rect.top();
  const int bottom = rect.top() + rect.height();
  const int64_t span = static_cast<int64_t>(bottom) - top;
  auto channel = [&](int a, int b, int y) {
    if (span < 1) return a;
    return static_cast<int>((a + ((static_cast<int64_t>(b) - a) * (y - top) + span / 2) / span) &
                            0xFF);
  };
  auto colourAt = [&](int y) {
    return qRgb(channel(from.red(), to.red(), y), channel(from.green(), to.green(), y),
                channel(from.blue(), to.blue(), y));
  };
  int bandTop = top;
  QRgb previous = colourAt(top);
  for (int y = top + 1; y <= bottom; ++y) {
    const QRgb colour = colourAt(y);
    if (colour != previous || y == bottom) {
      canvas.fillRect(QRect(rect.left(), bandTop, rect.width(), y - bandTop), QColor(colour));
      bandTop = y;
      previous = colour;
    }
  }
}

void CanvasTextOutRight(QPainter &canvas, int x, int y, const std::string &text) {
  const QString s = DisplayText(text);
  const QFontMetrics metrics = canvas.fontMetrics();
  canvas.drawText(x - metrics.horizontalAdvance(s) - 4, y + metrics.ascent(), s);
}

void CanvasTextOutRight_(QPainter &canvas, int left, int right, int top, TFontStyles style,
                         const std::string &text) {
  const int lineHeight = canvas.fontMetrics().height();
  const QFont font = canvas.font();
  canvas.setFont(StyledFont(font, style));
  const QFontMetrics metrics = canvas.fontMetrics();
  for (const std::string &piece : SplitAtBar(text)) {
    const QString s = DisplayText(piece);
    const int width = metrics.horizontalAdvance(s);
    const int x = width > right - left - 8 ? left : right - width - 4;
    DrawClipped(canvas, x, left, right, top, s);
    top += lineHeight;
  }
  canvas.setFont(font);
}

void CanvasTextOutCenter(QPainter &canvas, int left, int right, int top, const std::string &text) {
  const QString s = DisplayText(text);
  const int width = canvas.fontMetrics().horizontalAdvance(s);
  DrawClipped(canvas, (left + right - width) / 2, left, right, top, s);
}

void SplitterPaintHandle(QPainter &canvas, const QSize &clientSize, bool alignedTop,
                         const QColor &colour) {
  constexpr int kLines = 13;
  constexpr int kGap = 2;
  canvas.save();
  canvas.setPen(QPen(colour, 1));
  if (alignedTop) {
    if (clientSize.height() >= 3) {
      const int first = clientSize.width() / 2 - (kLines / 2) * kGap;
      for (int i = 0; i < kLines; ++i)
        canvas.drawLine(first + i * kGap, 1, first + i * kGap, clientSize.height() - 2);
    }
  } else if (clientSize.width() >= 3) {
    const int first = clientSize.height() / 2 - (kLines / 2) * kGap;
    for (int i = 0; i < kLines; ++i)
      canvas.drawLine(1, first + i * kGap, clientSize.width() - 2, first + i * kGap);
  }
  canvas.restore();
}

TSplitterHandle::TSplitterHandle(Qt::Orientation orientation, QSplitter *parent)
    : QSplitterHandle(orientation, parent) {}

void TSplitterHandle::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  // Panes stacked vertically have a handle lying across: upright grip lines.
  SplitterPaintHandle(painter, size(), orientation() == Qt::Vertical,
                      palette().color(QPalette::Dark));
}

TSplitter::TSplitter(Qt::Orientation orientation, QWidget *parent)
    : QSplitter(orientation, parent) {}

QSplitterHandle *TSplitter::createHandle() { return new TSplitterHandle(orientation(), this); }

// ---- Signals that end the program ----------------------------------------------

bool WatchCloseSignals(std::function<void(int signal)> onSignal) {
  static std::function<void(int)> handler;
  static QSocketNotifier *notifier = nullptr;
  handler = std::move(onSignal);
  const int fd = CloseSignalsInstall();
  if (fd < 0 || !QCoreApplication::instance()) return false;
  if (!notifier) {
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
      while (int signal = CloseSignalTake())
        if (handler) handler(signal);
    });
  }
  return true;
}

// ---- Windows and controls ------------------------------------------------------

void WindowToMouse(QWidget *form) {
  if (!form) return;
  const QPoint mouse = QCursor::pos();
  QScreen *primary = QGuiApplication::primaryScreen();
  if (!primary) {
    form->move(mouse);
    return;
  }
  const QRect desktop = primary->virtualGeometry();
  const QRect screen = primary->geometry();
  const QSize size = form->frameGeometry().size();
  int x = mouse.x();
  int y = mouse.y();
  const int desktopRight = desktop.x() + desktop.width();
  if (x + size.width() >= desktopRight) x = desktopRight - size.width();
  const int limit = screen.y() + screen.height() - 32;
  if (y + size.height() > limit) y = limit - size.height();
  // A window larger than the room left keeps its title bar reachable.
  x = std::max(x, desktop.x());
  y = std::max(y, desktop.y());
  form->move(x, y);
}

namespace {

// The dynamic property holding the bytes of a combo's edit text.
constexpr const char *kTextBytes = "trovixTextBytes";

}  // namespace

void ComboInsertItem(QComboBox *combo, int index, const std::string &bytes) {
  if (!combo) return;
  combo->insertItem(index, EditableText(bytes),
                    QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string ComboItemBytes(const QComboBox *combo, int index) {
  if (!combo || index < 0 || index >= combo->count()) return std::string();
  const QString text = combo->itemText(index);
  const QVariant data = combo->itemData(index);
  if (data.typeId() == QMetaType::QByteArray) {
    const QByteArray bytes = data.toByteArray();
    std::string s(bytes.constData(), static_cast<size_t>(bytes.size()));
    if (EditableText(s) == text) return s;
  }
  return EditedBytes(text);
}

void ComboSetText(QComboBox *combo, const std::string &bytes) {
  if (!combo) return;
  combo->setProperty(kTextBytes, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  // The item holding these bytes becomes current, so the current item never
  // names other bytes that show the same.
  int found = -1;
  for (int i = 0; i < combo->count() && found < 0; ++i)
    if (ComboItemBytes(combo, i) == bytes) found = i;
  combo->setCurrentIndex(found);
  if (combo->isEditable()) combo->setEditText(EditableText(bytes));
}

std::string ComboText(const QComboBox *combo) {
  if (!combo) return std::string();
  const QString text = combo->currentText();
  // The item chosen from the list, then the text last set, then any item
  // showing this text; else the user typed it.
  const int current = combo->currentIndex();
  if (current >= 0 && combo->itemText(current) == text) return ComboItemBytes(combo, current);
  const QByteArray set = combo->property(kTextBytes).toByteArray();
  std::string bytes(set.constData(), static_cast<size_t>(set.size()));
  if (!set.isEmpty() && EditableText(bytes) == text) return bytes;
  const int found = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (found >= 0) return ComboItemBytes(combo, found);
  return EditedBytes(text);
}

void ComboFill(QComboBox *combo) {
  if (!combo) return;
  const std::string text = ComboText(combo);
  if (text.empty()) return;
  int found = -1;
  for (int i = 0; i < combo->count(); ++i)
    if (ComboItemBytes(combo, i) == text) {
      found = i;
      break;
    }
  if (found >= 0) {
    combo->removeItem(found);
  } else {
    while (combo->count() >= ComboHistoryMax) combo->removeItem(combo->count() - 1);
  }
  ComboInsertItem(combo, 0, text);
  combo->setCurrentIndex(0);
  ComboSetText(combo, text);
}

}  // namespace trovix
