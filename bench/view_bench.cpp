// SPDX-License-Identifier: GPL-3.0-or-later
// The view window from ViewFile to its first painted screen: the hex view of
// a 20 MB file, the text view of a 50 MB log of 500,000 lines (with the peak
// memory it took), and the hex view of a 4 GiB sparse file, which must answer
// at once without reading it. bench/run_view.sh times xxd on the same files.
//   view_bench FOLDER   (the folder holding hex20.bin, log50.txt, sparse4g.bin)
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QPixmap>
#include <cstdio>
#include <string>

#include "dialogs/markup.h"
#include "dialogs/message_box.h"
#include "viewer/view_window.h"

namespace {

std::string folder;

void OpenAndPaint(benchmark::State &state, const std::string &name, bool hex) {
  for (auto _ : state) {
    trovix::TViewFileForm *view = trovix::ViewFile(folder + name, true, hex, "", nullptr);
    if (view) {
      QPixmap screen = view->grab();  // the first painted screen
      benchmark::DoNotOptimize(screen);
      // TROVIX_SHOTS=FOLDER keeps a picture of each view for looking at.
      if (const char *shots = getenv("TROVIX_SHOTS"))
        screen.save(QString::fromUtf8(shots) + "/" + QString::fromStdString(name) + ".png");
    }
    state.PauseTiming();
    if (view) view->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    trovix::ViewCascade = 0;
    state.ResumeTiming();
  }
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
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
