#pragma once
// TStatusPanels: the main window's status bar, two owner-drawn panels. Panel 0
// (440 pixels) shows what its owner paints; panel 1 shows the running
// operation's status with a cancel square.
#include <QWidget>
#include <functional>
#include <string>

namespace trovix {

class TStatusPanels : public QWidget {
  Q_OBJECT
 public:
  explicit TStatusPanels(QWidget *parent = nullptr);
  static constexpr int kPanel0Width = 440;

  // Paints panel 0 into the given rectangle.
  std::function<void(QPainter &, const QRect &)> OnDrawPanel0;
  // The status text of panel 1 and whether operations run (the cancel square shows).
  std::string Status;
  bool Running = false;
  // Called when the cancel square is clicked while operations run.
  std::function<void()> OnCancel;

  QRect PanelRect(int panel) const;
  QRect CancelRect() const;
  // True when pos lies on the cancel square.
  bool CancelHit(const QPoint &pos) const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
};

}  // namespace trovix
