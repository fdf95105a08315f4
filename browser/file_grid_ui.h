// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The draw grids of the program and the file grid of the main window.
//
// TDrawGridMouseWheel is a light owner-drawn grid: fixed header rows, columns
// the user can widen by dragging the header's column borders, a current row,
// row-wise vertical scrolling and a mouse wheel that scrolls without moving
// the current row. Only the visible cells are painted; the owner paints their
// content through OnDrawCell. TDrawGridZebra adds alternating row colours and
// a sort mark. TFileGrid is the main window's grid (GFileInfo): it shows
// FileList (browser/file_list.h) and turns mouse and keys into the list's
// marking, sorting and search rules.
#include <QAbstractScrollArea>
#include <QColor>
#include <QFontMetrics>
#include <QPixmap>
#include <QPoint>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "browser/file_list.h"
#include "foundation/platform_ui.h"

class QPainter;

namespace trovix {

// ---- Cell painters (shared with the search, summary and issues grids) --------

// Writes text 3 pixels below the rectangle's top and 2 pixels in from its
// left (or right, when rightAligned), in one line ending with an ellipsis when
// it does not fit. Nothing for an empty text. Uses the painter's pen.
void DrawCellText(QPainter &painter, const std::string &text, QRect rect, bool rightAligned);
// The 16 x 16 file-type image of an item at the cell's left, centred
// vertically, with the read-only overlay for read-only items.
void DrawFileIcon(QPainter &painter, const QRect &rect, const std::string &name,
                  uint32_t attributes, bool remote);
// Local date and time of a file time, the times of all rows lined up.
void DrawFileDate(QPainter &painter, const QRect &rect, int64_t fileTime);
// The width a column needs to show DrawFileDate's widest date and time in
// a font of these metrics.
int32_t FileDateWidth(const QFontMetrics &metrics);
// Image n (0..7) of the file-type image list, drawn for the device pixel ratio.
QPixmap FileIconPixmap(int32_t image, qreal devicePixelRatio = 1.0);
// A colour given as a system colour number (blue in the high byte, red low).
QColor ColorFromNumber(uint32_t bgr);

// ---- TDrawGridMouseWheel ------------------------------------------------------------

struct GridDrawState {
  bool selected = false;  // the current row
  bool focused = false;   // the grid has the keyboard focus
  bool fixed = false;     // a header row
};

class TDrawGridMouseWheel : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TDrawGridMouseWheel(QWidget *parent = nullptr);

  int32_t ColumnCount() const { return static_cast<int32_t>(colWidths_.size()); }
  void SetColumnCount(int32_t count);
  int32_t ColumnWidth(int32_t col) const;
  void SetColumnWidth(int32_t col, int32_t width);
  int32_t RowCount() const { return rowCount_; }
  void SetRowCount(int32_t count);
  int32_t FixedRows() const { return fixedRows_; }
  void SetFixedRows(int32_t count);
  // Height of a row without its grid line.
  int32_t DefaultRowHeight() const { return rowHeight_; }
  void SetDefaultRowHeight(int32_t height);
  bool VerticalLines() const { return verticalLines_; }
  void SetVerticalLines(bool on);
  // The last column reaches the right edge of the grid when it is narrower.
  bool StretchLastColumn() const { return stretchLast_; }
  void SetStretchLastColumn(bool on);

  // First scrolling row on show, and how many scrolling rows fit entirely.
  int32_t TopRow() const { return topRow_; }
  void SetTopRow(int32_t row);
  int32_t VisibleRowCount() const;

  // The current row; setting it scrolls it into view and fires OnSelectCell.
  int32_t Row() const { return row_; }
  void SetRow(int32_t row);

  // Cell under a point of the viewport; false (and -1) outside the cells.
  bool MouseToCell(const QPoint &pos, int32_t &col, int32_t &row) const;
  // Rectangle of a cell in viewport coordinates (empty when not on show).
  QRect CellRect(int32_t col, int32_t row) const;
  void InvalidateRow(int32_t row);
  void InvalidateGrid();
  // Cells painted by the last paint, for tests and measurements.
  int32_t PaintedCellCount() const { return paintedCells_; }

  // Paints the content of a cell; the cell's background and pen are prepared.
  std::function<void(QPainter &, int32_t col, int32_t row, const QRect &, GridDrawState)>
      OnDrawCell;
  // The current row changed.
  std::function<void(int32_t row)> OnSelectCell;
  // Mouse over a cell (col and row -1 outside the cells); the grid has
  // already made a left-pressed data row current.
  std::function<void(QMouseEvent *, int32_t col, int32_t row)> OnMouseDown;
  std::function<void(QMouseEvent *, int32_t col, int32_t row)> OnMouseMove;
  std::function<void(QMouseEvent *, int32_t col, int32_t row)> OnMouseUp;
  // Runs before the grid's own key handling; accept the event to consume it.
  std::function<void(QKeyEvent *)> OnKeyDown;

 signals:
  void currentRowChanged(int row);
  void columnResized(int col, int width);

 protected:
  // Fills the cell and sets the pen before the content is drawn.
  virtual void PrepareCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                           GridDrawState state);
  virtual void DrawCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                        GridDrawState state);
  // Drawn over the cells once they are painted (a focus frame, for example).
  virtual void PaintOver(QPainter &painter);
  virtual void SelectCell(int32_t row);
  virtual void CellMouseDown(QMouseEvent *event, int32_t col, int32_t row);
  virtual void CellMouseMove(QMouseEvent *event, int32_t col, int32_t row);
  virtual void CellMouseUp(QMouseEvent *event, int32_t col, int32_t row);
  // True when the key was consumed.
  virtual bool KeyDown(QKeyEvent *event);
  // Ends the current row's following of the pressed mouse (a drag began).
  void StopSelecting() { selecting_ = false; }
  // Height of the fixed rows together.
  int32_t FixedHeight() const;
  int32_t RowPitch() const { return rowHeight_ + 1; }
  // Rows from row y of the viewport, beyond the visible ones too.
  int32_t RowAtY(int32_t y) const;

  void paintEvent(QPaintEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void changeEvent(QEvent *event) override;
  void scrollContentsBy(int dx, int dy) override;
  void wheelEvent(QWheelEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void focusInEvent(QFocusEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;

 private:
  void UpdateScrollBars();
  void UpdateRowHeight();
  void MakeRowVisible(int32_t row);
  int32_t ColumnLeft(int32_t col) const;            // content x of a column's left edge
  int32_t ColumnBorderAt(const QPoint &pos) const;  // column whose right edge is under pos
  int32_t TotalWidth() const;
  int32_t PaintedWidth(int32_t col) const;  // the last column may be stretched

  std::vector<int32_t> colWidths_{64, 64, 64};
  int32_t rowCount_ = 2;
  int32_t fixedRows_ = 1;
  int32_t rowHeight_ = 20;
  bool verticalLines_ = false;
  bool stretchLast_ = true;
  int32_t topRow_ = 1;
  int32_t row_ = 1;
  int32_t paintedCells_ = 0;
  int32_t wheelDelta_ = 0;
  bool selecting_ = false;
  int32_t resizeCol_ = -1;
  int32_t resizeStartX_ = 0;
  int32_t resizeStartWidth_ = 0;
};

// The columns of a draw grid for INIGridLoad / INIGridSave (settings_qt.h).
struct TGridColumns;
TGridColumns GridColumns(TDrawGridMouseWheel *grid);
void INIGridLoad(TDrawGridMouseWheel *grid, const std::string &name);
void INIGridSave(TDrawGridMouseWheel *grid, const std::string &name);

// ---- TDrawGridZebra -------------------------------------------------------------------

class TDrawGridZebra : public TDrawGridMouseWheel {
  Q_OBJECT
 public:
  explicit TDrawGridZebra(QWidget *parent = nullptr);
  // Column whose header shows the sort mark; -1 for none.
  int32_t Sort() const { return sort_; }
  void SetSort(int32_t col);
  QColor ColorZebra() const { return colorZebra_; }
  void SetColorZebra(const QColor &color);

 protected:
  void PrepareCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                   GridDrawState state) override;

 private:
  int32_t sort_ = -1;
  QColor colorZebra_ = ColorFromNumber(13697023);
};

// ---- TFileGrid: the main window's file grid (GFileInfo) ----------------------------

class TFileGrid : public TDrawGridMouseWheel {
  Q_OBJECT
 public:
  // list: the state the grid shows and feeds the mouse and keys into.
  explicit TFileGrid(TFileListState &list, QWidget *parent = nullptr);
  TFileListState &List() const { return list_; }

  // Reads tab.Folder into FileList and shows it: the rows, the icons of a
  // network folder, a pending name, and tab.CurrentFile made current.
  bool ListFolder(TabState &tab);
  // Lists tab again, keeping the current entry current.
  bool Refresh(TabState &tab);
  // Shows the list as a listing left it (row count, repaint); the steps of a
  // listing that the main window runs itself use this.
  void ShowListing();
  // Makes the named entry current and marks it (see SelectByName).
  void SelectByName(const std::string &name);

  // The current row's entry, or nullptr on a row without one.
  const FileEntry *CurrentEntry() const;
  // "Select All" (true) and "Select None" (false).
  void SelectAll(bool marked);
  // "Select to here": marks from the current row to the row under a screen point.
  void SelectToHere(const QPoint &globalPos);
  // F3: the incremental search again from the next row.
  void RepeatSearch();
  // A click on the header of column.
  void HeaderClick(int32_t col);

  bool Remote() const { return remote_; }
  void SetRemote(bool remote);

  // The name column takes the grid's free width, never less than the width
  // the user (or the settings) gave it; runs on every resize.
  void FitNameColumn();
  // That width, to be saved instead of the widened one.
  int32_t NameColumnUserWidth() const {
    return ColumnWidth(0) == fitted_ ? userWidth_ : ColumnWidth(0);
  }

 signals:
  void viewFileRequested();             // double click, Enter, middle click on a file
  void openFileRequested();             // Ctrl + double click, Ctrl + Enter
  void openInNewTabRequested(int row);  // middle click on a folder
  void dragStartRequested();            // the marked entries are being dragged
  void contextMenuRequested(const QPoint &globalPos);
  void deleteRequested();  // Del
  void findRequested();    // Ctrl+F
  void marksChanged();     // marks or the current row changed by the user
  void sortChanged();

 protected:
  void PrepareCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                   GridDrawState state) override;
  void DrawCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                GridDrawState state) override;
  void resizeEvent(QResizeEvent *event) override;
  void PaintOver(QPainter &painter) override;
  void SelectCell(int32_t row) override;
  void CellMouseDown(QMouseEvent *event, int32_t col, int32_t row) override;
  void CellMouseMove(QMouseEvent *event, int32_t col, int32_t row) override;
  void CellMouseUp(QMouseEvent *event, int32_t col, int32_t row) override;
  bool KeyDown(QKeyEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;
  void changeEvent(QEvent *event) override;

 private:
  void DrawHeader(QPainter &painter, int32_t col, const QRect &rect);
  void DrawEntry(QPainter &painter, int32_t col, int32_t row, const QRect &rect);
  void Changed();

  TFileListState &list_;
  bool remote_ = false;
  int32_t fitted_ = -1;    // the width FitNameColumn gave the name column
  int32_t userWidth_ = 0;  // the width before it widened
  int32_t dateWidth_ = 0;  // the date column's width for the font, until set otherwise
};

}  // namespace trovix
