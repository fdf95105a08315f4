// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up with many saved tabs: from the settings holding N tabs to a main
// window shown with its tab row laid out and tab 0 listed, on Qt's offscreen
// platform. The folders need not exist (only tab 0 is listed). Also the
// reading of the two saved lists alone.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <string>

#include "app/main_window.h"
#include "browser/browse_tabs.h"
#include "browser/browse_tabs_ui.h"
#include "browser/file_list.h"
#include "foundation/settings.h"

using namespace trovix;

namespace {

void SavedLists(int64_t n, std::string &folders, std::string &files) {
  folders.clear();
  files.clear();
  for (int64_t i = 0; i < n; ++i) {
    if (i > 0) {
      folders += ',';
      files += ',';
    }
    folders += TabListEncode("/home/user/projects, old/folder " + std::to_string(i) + "/");
    files += "file" + std::to_string(i) + ".txt";
  }
}

void BM_WindowWithSavedTabs(benchmark::State &state) {
  std::string folders, files;
  SavedLists(state.range(0), folders, files);
  for (auto _ : state) {
    state.PauseTiming();
    INIStore.Clear();
    INIWrite("CurrentFolders", folders);
    INIWrite("CurrentFiles", files);
    state.ResumeTiming();
    auto *form = new TMainForm;
    form->show();
    QApplication::processEvents();
    benchmark::DoNotOptimize(form->TCTrovix->TabCount());
    state.PauseTiming();
    delete form;
    state.ResumeTiming();
  }
  state.counters["tabs"] = static_cast<double>(state.range(0));
}

void BM_ReadSavedLists(benchmark::State &state) {
  std::string folders, files;
  SavedLists(state.range(0), folders, files);
  for (auto _ : state) benchmark::DoNotOptimize(TabsFromSettings(folders, files).size());
}

}  // namespace

int main(int argc, char **argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RegisterBenchmark("WindowWithSavedTabs", BM_WindowWithSavedTabs)
      ->Arg(1000)
      ->Arg(2000)
      ->Arg(10000)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3);
  benchmark::RegisterBenchmark("ReadSavedLists", BM_ReadSavedLists)
      ->Arg(2000)
      ->Arg(10000)
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
