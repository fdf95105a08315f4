// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/settings_qt.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTableView>
#include <QTreeView>
#include <QWidget>

#include "foundation/platform_ui.h"
#include "foundation/settings.h"
#include "foundation/strings.h"

namespace trovix {

namespace {

// Less of a window than this on screen counts as off screen.
constexpr int MinVisible = 32;

std::string WinKey(const QWidget *form, const char *property) {
  QString name = form->objectName();
  if (name.isEmpty()) name = QString::fromLatin1(form->metaObject()->className());
  return "Win" + name.toStdString() + property;
}

bool HasFixedBorder(const QWidget *form) {
  return form->minimumSize() == form->maximumSize() ||
         form->windowFlags().testFlag(Qt::MSWindowsFixedSizeDialogHint);
}

// The stored maximised state, read without adding the key to the store.
std::string StoredMaximized(const QWidget *form) {
  const long index = INIStore.IndexOf(WinKey(form, "Maximized"));
  return index < 0 ? std::string() : INIStore.Value(static_cast<size_t>(index));
}

}  // namespace

// ---- Windows ----

void INIWinLoad(QWidget *form) {
  if (!form) return;
  // The frame-less geometry, read and written alike: the window manager's
  // frame is not known yet when a window is placed, so a frame position
  // saved and restored as a client position would creep by the frame's size
  // on every start.
  const QRect client = form->geometry();
  int left = INIReadNum(WinKey(form, "Left"), client.x());
  int top = INIReadNum(WinKey(form, "Top"), client.y());
  int width = form->width();
  int height = form->height();
  if (!HasFixedBorder(form)) {
    int w = INIReadNum(WinKey(form, "Width"), width);
    int h = INIReadNum(WinKey(form, "Height"), height);
    if (w > 0) width = w;
    if (h > 0) height = h;
  }
  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    QRect desk = screen->virtualGeometry();
    // 64-bit sums: stored numbers can be anything.
    auto offScreen = [](long long pos, long long size, long long deskStart, long long deskSize) {
      return deskStart + deskSize <= pos + MinVisible || pos + size <= deskStart + MinVisible;
    };
    if (offScreen(left, width, desk.x(), desk.width())) left = 0;
    if (offScreen(top, height, desk.y(), desk.height())) top = 0;
  }
  // A window never placed, with no place stored (its first start), is left
  // to the window manager: a client position of (0, 0) would put the title
  // bar above the screen's top edge, out of reach.
  const bool unplaced = !form->testAttribute(Qt::WA_Moved) &&
                        INIRead(WinKey(form, "Left")).empty() &&
                        INIRead(WinKey(form, "Top")).empty();
  if (unplaced)
    form->resize(width, height);
  else
    form->setGeometry(left, top, width, height);
  // A window closed maximised opens maximised over the normal place just set.
  if (!HasFixedBorder(form) && StoredMaximized(form) == "1")
    form->setWindowState(form->windowState() | Qt::WindowMaximized);
}

void INIWinSave(QWidget *form) {
  if (!form) return;
  if (form->isMinimized() || form->isFullScreen()) return;
  // The maximised state only when it was ever set, so other windows' keys stay as they were.
  if (form->isMaximized() || !StoredMaximized(form).empty())
    INIWriteNum(WinKey(form, "Maximized"), form->isMaximized() ? 1 : 0);
  if (form->isMaximized()) return;
  const QRect client = form->geometry();
  INIWriteNum(WinKey(form, "Left"), client.x());
  INIWriteNum(WinKey(form, "Top"), client.y());
  INIWriteNum(WinKey(form, "Width"), client.width());
  INIWriteNum(WinKey(form, "Height"), client.height());
}

// ---- Grids and list views ----

TGridColumns GridColumns(QHeaderView *header) {
  return TGridColumns{
      [header] { return header ? header->count() : 0; },
      [header](int i) { return header->sectionSize(i); },
      [header](int i, int w) { header->resizeSection(i, w); },
  };
}

void INIGridLoad(const TGridColumns &grid, const std::string &name) {
  int n = grid.count();
  for (int i = 0; i < n; ++i) {
    int current = grid.width(i);
    int w = INIReadNum(name + NumToStr(i + 1), current);
    if (w >= 0 && w != current) grid.setWidth(i, w);
  }
}

void INIGridSave(const TGridColumns &grid, const std::string &name) {
  int n = grid.count();
  for (int i = 0; i < n; ++i) INIWriteNum(name + NumToStr(i + 1), grid.width(i));
}

void INIGridLoad(QHeaderView *header, const std::string &name) {
  if (header) INIGridLoad(GridColumns(header), name);
}

void INIGridSave(QHeaderView *header, const std::string &name) {
  if (header) INIGridSave(GridColumns(header), name);
}

void INIGridLoad(QTableView *grid, const std::string &name) {
  if (grid) INIGridLoad(grid->horizontalHeader(), name);
}

void INIGridSave(QTableView *grid, const std::string &name) {
  if (grid) INIGridSave(grid->horizontalHeader(), name);
}

void INIListViewLoad(QTreeView *view, const std::string &name) {
  if (view) INIGridLoad(view->header(), name);
}

void INIListViewSave(QTreeView *view, const std::string &name) {
  if (view) INIGridSave(view->header(), name);
}

// ---- Combo boxes ----

void INIComboLoad(QComboBox *combo, const std::string &name) {
  if (!combo) return;
  combo->clear();
  std::string text = INIRead(name + ".Text");
  int n = INIReadNum(name + ".Count", 0);
  for (int i = 1; i <= n; ++i) {
    // Every item up to the count is written together: a missing one means the
    // count is damaged, and reading on would only append empty keys.
    std::string key = name + "." + NumToStr(i);
    if (INIStore.IndexOf(key) < 0) break;
    std::string s = INIRead(key);
    if (!s.empty()) ComboInsertItem(combo, combo->count(), s);
  }
  // After the items: adding the first item would replace the edit text.
  ComboSetText(combo, text);  // a non-editable combo selects the item, if any
}

void INIComboSave(QComboBox *combo, const std::string &name, int maxItems) {
  if (!combo) return;
  int n = combo->count();
  if (maxItems >= 0 && n > maxItems) n = maxItems;
  INIWrite(name + ".Text", ComboText(combo));
  INIWriteNum(name + ".Count", n);
  for (int i = 1; i <= n; ++i) INIWrite(name + "." + NumToStr(i), ComboItemBytes(combo, i - 1));
}

}  // namespace trovix
