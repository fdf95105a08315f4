// SPDX-License-Identifier: GPL-3.0-or-later
// The folder tree's work on workers, on Qt's offscreen platform.
// Probe: expanding a node of 10,000 sub folders, to the node filled and to
// every probe of its children answered, with the folder opens the probes
// made and the longest the event loop went without answering meanwhile.
// InitHungVolumes: the tree's start while the volume list never answers, to
// the tree showing the selected folder.
// Makes its folders under /tmp/trovix-bench-tree (or TROVIX_BENCH_TREE_DIR).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "browser/folder_tree_ui.h"
#include "foundation/file_system.h"

using namespace trovix;

namespace {

constexpr int kSubFolders = 10000;

std::string BenchFolder() {
  const char *env = std::getenv("TROVIX_BENCH_TREE_DIR");
  std::string folder = env && *env ? env : "/tmp/trovix-bench-tree";
  if (folder.back() != PathDelim) folder += PathDelim;
  return folder;
}

// big/ with kSubFolders sub folders, every tenth of them holding one.
bool MakeFolders(const std::string &big) {
  for (int i = 0; i < kSubFolders; ++i) {
    const std::string sub = big + "s" + std::to_string(10000 + i);
    if (!FsCreateFolders(i % 10 == 0 ? sub + "/in" : sub)) return false;
  }
  return true;
}

void RunUntil(const std::function<bool()> &done) {
  while (!done()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

void BM_Probe(benchmark::State &state, std::string big) {
  std::atomic<int> opens{0};
  qint64 longestGap = 0, fillMs = 0;
  for (auto _ : state) {
    TFolderTree tree;
    tree.WaitMs = 10000;
    tree.resize(300, 700);
    tree.show();
    tree.Init(big);
    RunUntil([&] { return !tree.RootsPending() && !tree.ProbesPending(); });
    QTreeWidgetItem *node = tree.currentItem();
    opens = 0;
    FsSetHook([&](FsOp op, const std::string &) {
      if (op == FsOp::List) ++opens;
    });
    QElapsedTimer clock, beat;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, beat.restart()); });
    clock.start();
    beat.start();
    heartbeat.start();
    node->setExpanded(true);
    fillMs = clock.elapsed();
    beat.restart();  // the gaps of the probes only, not of the fill itself
    RunUntil([&] { return !tree.ProbesPending(); });
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
    FsSetHook(nullptr);
    state.counters["children"] = node->childCount();
  }
  state.counters["fill ms"] = static_cast<double>(fillMs);
  state.counters["probe opens"] = opens.load();
  state.counters["longest probe gap ms"] = static_cast<double>(longestGap);
}

void BM_InitHungVolumes(benchmark::State &state, std::string folder) {
  int reached = 0;
  for (auto _ : state) {
    FsInjectDelay(FsDelayOp::Volumes, "", -1);
    TFolderTree tree;  // the window's waits
    tree.show();
    tree.Init(folder);
    QApplication::processEvents();
    state.PauseTiming();
    reached += tree.SelectedFolderRead() == folder;
    // Released, so that the next start does not find the workers busy.
    FsReleaseDelays();
    RunUntil([&] { return !tree.RootsPending(); });
    state.ResumeTiming();
  }
  state.counters["folder selected"] = reached;
}

}  // namespace

int main(int argc, char **argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const std::string big = BenchFolder() + "big/";
  if (!MakeFolders(big)) {
    std::fprintf(stderr, "cannot make the folders under %s\n", big.c_str());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RegisterBenchmark("FolderTree/Probe/10k", BM_Probe, big)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(3);
  benchmark::RegisterBenchmark("FolderTree/InitHungVolumes", BM_InitHungVolumes, BenchFolder())
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
