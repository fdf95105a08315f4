// SPDX-License-Identifier: GPL-3.0-or-later
// Time from choosing a folder of 100,000 entries to the first screen of the
// file grid painted: listing, sorting and painting the visible rows, on Qt's
// offscreen platform. FirstScreen lists on the calling thread; Async lists
// on a worker as the window does, its first screen ahead of the rest, and
// also reports the longest the event loop went without answering. Uses the folder file_list_bench
// makes
// (/tmp/trovix-bench-100k-list, or TROVIX_BENCH_LIST_DIR): run that first.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "browser/file_grid_ui.h"
#include "browser/file_list.h"
#include "browser/folder_lister_ui.h"
#include "foundation/file_system.h"

using namespace trovix;

namespace {

std::string BenchFolder() {
  const char *env = std::getenv("TROVIX_BENCH_LIST_DIR");
  std::string folder = env && *env ? env : "/tmp/trovix-bench-100k-list";
  if (folder.back() != PathDelim) folder += PathDelim;
  return folder;
}

void BM_FirstScreen(benchmark::State &state, std::string folder) {
  TFileListState list;
  TFileGrid grid(list);
  grid.resize(1000, 700);
  grid.show();
  for (auto _ : state) {
    TabState tab;
    tab.Folder = folder;
    grid.ListFolder(tab);
    QImage image = grid.grab().toImage();  // paints the visible rows
    benchmark::DoNotOptimize(image.constBits());
    state.counters["entries"] = list.FileCount();
    state.counters["cells painted"] = grid.PaintedCellCount();
  }
}

void BM_FirstScreenAsync(benchmark::State &state, std::string folder) {
  TFileListState list;
  TFileGrid grid(list);
  grid.resize(1000, 700);
  grid.show();
  TFolderLister lister;
  qint64 longestGap = 0, wholeMs = 0;
  for (auto _ : state) {
    list.FileList.clear();
    grid.ShowListing();
    TabState tab;
    tab.Folder = folder;
    bool painted = false;
    QElapsedTimer clock, beat;
    auto show = [&](TFolderListing &listing) {
      list.InstallListing(tab, listing);
      grid.ShowListing();
      QImage image = grid.grab().toImage();
      benchmark::DoNotOptimize(image.constBits());
      if (!painted) state.SetIterationTime(clock.nsecsElapsed() / 1e9);
      painted = true;
    };
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, beat.restart()); });
    clock.start();
    beat.start();
    heartbeat.start();
    lister.Start(folder, smName, show, -1, show);
    while (lister.Pending()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    wholeMs = clock.elapsed();
    state.counters["entries"] = list.FileCount();
  }
  state.counters["longest gap ms"] = static_cast<double>(longestGap);
  state.counters["whole listing ms"] = static_cast<double>(wholeMs);
}

}  // namespace

int main(int argc, char **argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  std::string folder = BenchFolder();
  std::vector<FsEntry> entries;
  if (!FsListFolder(folder, entries) || entries.size() < 100000) {
    std::fprintf(stderr, "%s needs 100,000 entries: run file_list_bench first\n", folder.c_str());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RegisterBenchmark("FirstScreen/100k", BM_FirstScreen, folder)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5);
  benchmark::RegisterBenchmark("FirstScreen/100k/Async", BM_FirstScreenAsync, folder)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(5);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
