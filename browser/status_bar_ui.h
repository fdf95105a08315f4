// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TStatusPanels: the main window's status bar, two owner-drawn panels.
// Panel 0 shows the marked and total counts and sizes and the free space of
// the current folder's volume with a gauge (status_bar.h); panel 1 shows the
// running operation's status with the cancel square while operations run.
#include <QWidget>
#include <functional>
#include <string>

#include "browser/status_bar.h"

namespace trovix {

class TStatusPanels : public QWidget {
  Q_OBJECT
 public:
  explicit TStatusPanels(QWidget *parent = nullptr);
  // Panel 0's width at the design font; wider fonts widen it.
  static constexpr int kPanel0Width = 440;

  // What panel 0 reports, asked for at every paint.
  std::function<StatusSummary()> OnSummary;
  // The operation status shown in panel 1 (the text last taken by the timer).
  std::string Status;

  int Panel0Width() const { return panel0Width_; }
  QRect PanelRect(int panel) const;
  // The cancel square: panel 1's left end, as wide as the bar is high.
  QRect CancelRect() const;
  // The gauge at panel 0's right end.
  QRect GaugeRect() const;
  // The operations' progress bar at panel 1's right.
  QRect ProgressBarRect() const;
  // Panel 0's markup as last painted.
  const std::string &Panel0Text() const { return panel0Text_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void changeEvent(QEvent *event) override;

 private:
  void Measure();
  void PaintGauge(QPainter &p, int32_t freePercent);
  void PaintCancel(QPainter &p);

  int panel0Width_ = kPanel0Width;
  std::string panel0Text_;
};

}  // namespace trovix
