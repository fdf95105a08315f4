// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A timer ticking every few milliseconds in the event loop that keeps the
// longest gap between two ticks: how long the window did not answer.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>

namespace trovix::test {

// The longest the window may take to answer. Sanitized builds run several
// times slower; there the gap only has to stay bounded.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
inline constexpr qint64 kAnswerMs = 1000;
#else
inline constexpr qint64 kAnswerMs = 100;
#endif

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
