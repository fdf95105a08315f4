// SPDX-License-Identifier: GPL-3.0-or-later
// Time from choosing a folder of 100,000 entries to the first screen of the
// file grid painted: listing, sorting and painting the visible rows, on Qt's
// offscreen platform. Uses the folder file_list_bench makes
// (/tmp/trovix-bench-100k-list, or TROVIX_BENCH_LIST_DIR): run that first.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "browser/file_grid_ui.h"
#include "browser/file_list.h"
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
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
