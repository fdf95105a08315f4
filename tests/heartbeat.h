// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A timer ticking every few milliseconds in the event loop that keeps the
// longest gap between two ticks: how long the window did not answer.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <cstdio>

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
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      // The time the thread was ready but waited for a processor (other
      // programs on a busy machine) is not the window's doing: it is left
      // out, while time spent working or blocked still counts.
      const qint64 waited = RunQueueMs();
      longest_ = std::max(longest_, clock_.restart() - (waited - waited_));
      waited_ = waited;
    });
    waited_ = RunQueueMs();
    clock_.start();
    timer_.start();
  }
  // Counts the gap still open too, so a hold just before the check shows.
  qint64 Longest() const { return std::max(longest_, clock_.elapsed() - (RunQueueMs() - waited_)); }

 private:
  // This thread's time in the run queue (Linux's schedstat), 0 without it.
  static qint64 RunQueueMs() {
    unsigned long long running = 0, waiting = 0;
    FILE *file = std::fopen("/proc/thread-self/schedstat", "r");
    if (!file) return 0;
    const bool read = std::fscanf(file, "%llu %llu", &running, &waiting) == 2;
    std::fclose(file);
    return read ? static_cast<qint64>(waiting / 1000000) : 0;
  }
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 longest_ = 0;
  qint64 waited_ = 0;
};

}  // namespace trovix::test
