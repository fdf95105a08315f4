// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Heartbeat: ticks every few milliseconds in the event loop and keeps the
// longest gap between two ticks, which is how long the window did not answer.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>

namespace trovix::test {

class Heartbeat {
 public:
  Heartbeat() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout,
                     [this] { longest_ = std::max(longest_, clock_.restart()); });
    clock_.start();
    timer_.start();
  }
  qint64 Longest() const { return longest_; }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 longest_ = 0;
};

}  // namespace trovix::test
