// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/event_log.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <thread>

#include "dialogs/event_log_form.h"
#include "foundation/settings.h"

namespace trovix {
namespace {

using Lines = std::vector<std::string>;

QString MemoText(const TLogForm &form) { return form.Memo->toPlainText(); }

TEST(EventLog, EntriesAndDetailLines) {
  LogClear();
  LogDetail("a");  // details without an entry: just tab-indented lines
  LogDetail("b");
  EXPECT_EQ(LogLines(), (Lines{"\ta", "\tb"}));

  LogClear();
  LogAdd("Copy to /backup/");  // first entry: no separator
  LogDetail("/home/u/a.txt copied");
  LogAdd("Rename");
  LogAdd("Test to ");
  EXPECT_EQ(LogLines(),
            (Lines{"Copy to /backup/", "\t/home/u/a.txt copied", "", "Rename", "", "Test to "}));

  // A line break in a name cannot split a line or forge one of its own.
  LogClear();
  LogAdd("Delete Item(s)");
  LogDetail("/tmp/x\n\t/home deleted\r");
  EXPECT_EQ(LogLines(), (Lines{"Delete Item(s)", "\t/tmp/x?\t/home deleted?"}));

  // Pending lines are handed over once, in order; a clear drops them.
  LogClear();
  LogAdd("one");
  EXPECT_EQ(LogTakePending(), (Lines{"one"}));
  LogDetail("two");
  EXPECT_EQ(LogTakePending(), (Lines{"\ttwo"}));
  EXPECT_TRUE(LogTakePending().empty());
  LogDetail("dropped");
  LogClear();
  EXPECT_TRUE(LogTakePending().empty());
  LogAdd("after clear");
  EXPECT_EQ(LogLines(), (Lines{"after clear"}));
  LogClear();
}

TEST(EventLog, ConcurrentDetailLinesStayWholeAndOrdered) {
  LogClear();
  constexpr int Threads = 8;
  constexpr int PerThread = 3000;
  int wakeUps = 0;
  LogSetNotify([&wakeUps] { ++wakeUps; });  // called under the log's lock
  LogAdd("Copy to /dest/");
  std::vector<std::thread> workers;
  for (int t = 0; t < Threads; ++t)
    workers.emplace_back([t] {
      const std::string name(static_cast<size_t>(20 + t), static_cast<char>('a' + t));
      for (int i = 0; i < PerThread; ++i)
        LogDetail(std::to_string(t) + " " + name + " " + std::to_string(i));
    });
  // The window side takes lines while the workers are still adding them.
  Lines taken;
  for (int round = 0; round < 200; ++round) {
    Lines part = LogTakePending();
    taken.insert(taken.end(), part.begin(), part.end());
    std::this_thread::yield();
  }
  for (std::thread &w : workers) w.join();
  Lines rest = LogTakePending();
  taken.insert(taken.end(), rest.begin(), rest.end());
  LogSetNotify({});

  EXPECT_EQ(taken, LogLines());  // every line handed over once, in log order
  ASSERT_EQ(taken.size(), 1u + Threads * PerThread);
  EXPECT_EQ(taken[0], "Copy to /dest/");
  EXPECT_GE(wakeUps, 1);
  EXPECT_LE(wakeUps, 1 + 200 + 1);  // one wake-up per batch, not per line
  std::vector<int> next(Threads, 0);
  for (size_t k = 1; k < taken.size(); ++k) {
    const std::string &line = taken[k];
    ASSERT_GE(line.size(), 3u);
    ASSERT_EQ(line[0], '\t');
    const int t = line[1] - '0';
    ASSERT_TRUE(t >= 0 && t < Threads) << line;
    const std::string expect =
        "\t" + std::to_string(t) + " " +
        std::string(static_cast<size_t>(20 + t), static_cast<char>('a' + t)) + " " +
        std::to_string(next[static_cast<size_t>(t)]);
    ASSERT_EQ(line, expect);
    ++next[static_cast<size_t>(t)];
  }
  for (int t = 0; t < Threads; ++t) EXPECT_EQ(next[static_cast<size_t>(t)], PerThread);
  LogClear();
}

TEST(EventLogForm, ShowsLinesClearsByButtonAndOnClose) {
  LogClear();
  LogAdd("pending before the window");
  auto *form = new TLogForm;
  form->resize(500, 300);
  form->show();
  EXPECT_EQ(MemoText(*form), "pending before the window");

  // Lines from the interface thread and from a worker arrive in order once
  // the event loop has run.
  LogAdd("Copy to /backup/");
  std::thread worker([] { LogDetail("/src/f copied"); });
  worker.join();
  QCoreApplication::processEvents();
  EXPECT_EQ(MemoText(*form), "pending before the window\n\nCopy to /backup/\n\t/src/f copied");

  // The clear button clears on release; pressing alone clears nothing.
  auto mouse = [&](QEvent::Type type, Qt::MouseButtons buttons) {
    const QPointF at(8, 8);
    QMouseEvent event(type, at, form->pClear->mapToGlobal(at), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(form->pClear, &event);
  };
  mouse(QEvent::MouseButtonPress, Qt::LeftButton);
  EXPECT_FALSE(MemoText(*form).isEmpty());
  mouse(QEvent::MouseButtonRelease, Qt::NoButton);
  EXPECT_TRUE(MemoText(*form).isEmpty());
  EXPECT_TRUE(LogLines().empty());

  // Closing clears; reopened, the next entry has no separator before it.
  LogAdd("Rename");
  LogDetail("/a renamed to b");
  QCoreApplication::processEvents();
  EXPECT_EQ(MemoText(*form), "Rename\n\t/a renamed to b");
  form->close();
  EXPECT_FALSE(form->isVisible());
  form->show();
  EXPECT_TRUE(MemoText(*form).isEmpty());
  LogAdd("Duplicate");
  QCoreApplication::processEvents();
  EXPECT_EQ(MemoText(*form), "Duplicate");

  // Lines added after the window is gone wait for the next one.
  delete form;
  LogAdd("no window");
  EXPECT_EQ(LogLines(), (Lines{"Duplicate", "", "no window"}));
  LogClear();
}

}  // namespace
}  // namespace trovix
