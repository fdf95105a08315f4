// SPDX-License-Identifier: GPL-3.0-or-later
// The view window from ViewFile to its first painted screen: the hex view of
// a 20 MB file, the text view of a 50 MB log of 500,000 lines, and the hex
// view of a 4 GiB sparse file, which must answer at once without reading it.
// A large file's rest goes into the editor from the event loop after the
// first screen; the counters give the time (CPU and wall) until all of it is
// in, the longest turn of the event loop meanwhile and the peak memory.
// bench/run_view.sh times xxd on the same files.
//   view_bench FOLDER   (the folder holding hex20.bin, log50.txt, sparse4g.bin)
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QElapsedTimer>

#include <QApplication>
#include <QPixmap>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

#include "dialogs/markup.h"
#include "dialogs/message_box.h"
#include "viewer/view_window.h"

namespace {

std::string folder;

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void OpenAndPaint(benchmark::State &state, const std::string &name, bool hex) {
  double cpuStart = 0, cpuFirst = 0, cpuAll = 0, wallAll = 0, longestTurn = 0;
  for (auto _ : state) {
    QElapsedTimer wall;
    wall.start();
    cpuStart = CpuSeconds();
    trovix::TViewFileForm *view = trovix::ViewFile(folder + name, true, hex, "", nullptr);
    // A file that takes longer than a moment is read on a worker.
    while (view && view->LoadPending())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (view) {
      QPixmap screen = view->grab();  // the first painted screen
      benchmark::DoNotOptimize(screen);
      // TROVIX_SHOTS=FOLDER keeps a picture of each view for looking at.
      if (const char *shots = getenv("TROVIX_SHOTS"))
        screen.save(QString::fromUtf8(shots) + "/" + QString::fromStdString(name) + ".png");
    }
    state.PauseTiming();
    cpuFirst = CpuSeconds() - cpuStart;
    // The rest loads from the event loop, as it does for a user: the longest
    // turn is how long the window may take to answer meanwhile.
    // (CPU time: on a loaded machine a turn's wall time is mostly waiting).
    while (view && view->Loading()) {
      const double turn = CpuSeconds();
      QCoreApplication::processEvents();
      longestTurn = std::max(longestTurn, (CpuSeconds() - turn) * 1000.0);
    }
    cpuAll = CpuSeconds() - cpuStart;
    wallAll = static_cast<double>(wall.elapsed()) / 1000.0;
    if (view) view->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    trovix::ViewCascade = 0;
    state.ResumeTiming();
  }
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.counters["first_cpu_s"] = cpuFirst;
  state.counters["all_in_cpu_s"] = cpuAll;
  state.counters["all_in_wall_s"] = wallAll;
  state.counters["longest_turn_cpu_ms"] = longestTurn;
}

void BM_HexView20MB(benchmark::State &state) { OpenAndPaint(state, "hex20.bin", true); }
void BM_TextView50MBLog(benchmark::State &state) { OpenAndPaint(state, "log50.txt", false); }
void BM_HexViewSparse4GiB(benchmark::State &state) { OpenAndPaint(state, "sparse4g.bin", true); }

}  // namespace

BENCHMARK(BM_TextView50MBLog)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_HexView20MB)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_HexViewSparse4GiB)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: view_bench FOLDER\n");
    return 2;
  }
  folder = argv[1];
  trovix::NiceLabelFormatChar = '|';  // as the main window sets it
  if (folder.back() != '/') folder += '/';
  // The sparse file's message is answered at once, as a user would.
  trovix::SetMessageBoxAnswerer([](uint8_t, const std::string &message, const std::string &) {
    std::fprintf(stderr, "message: %s\n", message.c_str());
    return 0;
  });
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
