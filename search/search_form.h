// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The search window: parameters in a collapsible panel, a tool bar, the grid
// of results and a status bar with the stop mark. Each Find opens one; it
// frees itself when closed. A worker (TSearchSortThread) walks, sorts and
// deletes; the window's 250 ms timer is the only place that brings results
// into the grid.
//
// The window knows nothing of the main window: what it needs from it (going
// to a file there, whether a folder is remote, viewing a file) comes through
// the hooks of SearchHost(), which the program installs at start.
#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "browser/file_grid_ui.h"
#include "search/search.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class QToolBar;

namespace trovix {

class TNiceGroupBox;

// What a search window asks of the rest of the program.
struct TSearchHost {
  // Makes folder the main window's current folder, name its current entry,
  // and brings the main window forward.
  std::function<void(const std::string &folder, const std::string &name)> GoTo;
  // Whether a folder lies on a network volume (for the icons).
  std::function<bool(const std::string &folder)> IsRemote;
  // Views a file: newWindow false reuses the locked view; findText is the
  // text to find in it. Without this hook the desktop opens the file.
  std::function<void(const std::string &path, bool newWindow, const std::string &findText,
                     QWidget *caller)>
      View;
};
TSearchHost &SearchHost();

// The name and contents histories shared by all search windows for the run.
extern std::vector<std::string> NameHistory;
extern std::vector<std::string> ContentsHistory;
// Puts text at the top of history (an equal entry moves up; an empty text is
// not added; no length limit).
void SearchHistoryAdd(std::vector<std::string> &history, const std::string &text);
// The data row (from 1) last pressed in any search grid; 0 after a header.
extern int32_t ClickedRow;

// The collapsible titled panel: a title strip at the top that toggles the
// panel open and closed, with a double chevron at its right end.
class TZoomPanel : public QWidget {
  Q_OBJECT
 public:
  explicit TZoomPanel(QWidget *parent = nullptr);
  QString Title() const { return title_; }
  void SetTitle(const QString &title);
  QColor TitleColor() const { return titleColor_; }
  void SetTitleColor(const QColor &color);
  bool Expanded() const { return expanded_; }
  void SetExpanded(bool expanded);
  // Height of the title strip.
  int StripHeight() const;
  // The panel's height for its state and its visible children.
  int WantedHeight() const;
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;

 private:
  void Relayout();
  QString title_;
  QColor titleColor_;
  bool expanded_ = true;
};

// The result grid: rows of TSearchJob results with a range selection.
class TSearchGrid : public TDrawGridZebra {
  Q_OBJECT
 public:
  explicit TSearchGrid(QWidget *parent = nullptr);
  // Selected data rows, top <= bottom.
  int32_t SelTop() const { return std::min(anchor_, Row()); }
  int32_t SelBottom() const { return std::max(anchor_, Row()); }
  void SelectRange(int32_t top, int32_t bottom);
  // Makes row current and the only one selected.
  void SelectRow(int32_t row);

 protected:
  void PrepareCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                   GridDrawState state) override;
  void CellMouseDown(QMouseEvent *event, int32_t col, int32_t row) override;
  void keyPressEvent(QKeyEvent *event) override;

 private:
  int32_t anchor_ = 1;
};

// The status bar: the stop mark while a worker runs, then the state's text.
class TSearchStatusBar : public QWidget {
  Q_OBJECT
 public:
  explicit TSearchStatusBar(QWidget *parent = nullptr);
  std::function<void(QPainter &)> OnPaint;
  std::function<void(QMouseEvent *)> OnMouseDown;

 protected:
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
};

class TSearchForm : public QWidget {
  Q_OBJECT
 public:
  explicit TSearchForm(const std::string &folder, QWidget *parent = nullptr);
  ~TSearchForm() override;

  // Panel controls.
  TZoomPanel *pParameters;
  QPushButton *bSearch;
  QComboBox *eFilename, *eContaining;
  QCheckBox *cbSubFolders, *cbIgnoreCase, *cbHex, *cbBinaryFiles;
  TNiceGroupBox *gSpecial;
  QCheckBox *cbUniquesOnly, *cbDuplicatesOnly, *cbSameName, *cbSameSize, *cbSameDate;
  // Tool bar and item menu.
  QToolBar *ToolBar;
  QAction *bGo, *bGoAlways, *bView, *bViewAlways, *bOpen, *bDelete, *bSummarize;
  QMenu *mItems;
  QAction *mGo, *mView, *mOpen, *mDelete, *mSelectAll;
  TSearchGrid *GFileInfo;
  TSearchStatusBar *StatusBar;
  QTimer *Timer;

  std::string SearchFolder;
  bool IsRemote = false;
  int32_t SortGridColumn = 0;
  uint8_t ShownState = ssIdle;
  bool RefreshRequested = false;
  bool CloseRequested = false;
  std::string ReselectName;

  // The job: results and state shared with the worker (see search.h).
  TSearchJob &Job() { return job_; }
  const TSearchJob &Job() const { return job_; }
  bool Busy() const { return job_.Busy.load(std::memory_order_acquire); }

  void bSearchClick();
  void cbDuplicatesOnlyClick(QCheckBox *sender);
  void bGoClick();
  void bViewClick(bool newWindow);
  void bOpenClick();
  void bDeleteClick();
  void bSummarizeClick();
  void mSelectAllClick();
  void HeaderClick(int32_t col);
  void TimerTimer();
  // The status bar's text for the current state.
  std::string StatusText() const;
  // Makes the result at index (from 0) the current row and focuses the grid.
  void SelectResult(int32_t index);
  // Waits for a running worker (tests and shutdown).
  void WaitWorker();

 signals:
  void closing(TSearchForm *form);

 protected:
  void closeEvent(QCloseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void changeEvent(QEvent *event) override;
  void showEvent(QShowEvent *event) override;

 private:
  void CreateControls();
  void CreateToolBar();
  void DrawCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                GridDrawState state);
  void PaintStatus(QPainter &painter);
  void StartWorker(uint8_t state);
  void RowChanged(int32_t row);
  void ApplyOptions();
  int32_t SelectedCount() const;
  // The current row's result, or nullptr (none, or a worker runs).
  const SearchEntry *CurrentEntry() const;

  TSearchJob job_;
  TSearchSortThread worker_{job_};
  int32_t shownFound_ = -1;
  bool settingsSaved_ = false;
};

// Opens a new search window on folder (a trailing PathDelim is added) and
// shows it.
TSearchForm *OpenSearchWindow(const std::string &folder);

}  // namespace trovix
