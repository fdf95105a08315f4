// SPDX-License-Identifier: GPL-3.0-or-later
// The image view from ViewFile to its first painted screen, and on to the
// full-size picture in memory, for a 24-megapixel JPEG and PNG; with the
// memory the view took above the process's size before it opened (the peak,
// read from the kernel). bench/run_image_view.sh times djpeg and pngtopnm on the
// same files and runs each case in a process of its own.
//   image_view_bench FOLDER   (the folder holding photo24.jpg and photo24.png)
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QPixmap>
#include <string>

#include "dialogs/message_box.h"
#include "viewer/view_window.h"

namespace {

std::string folder;

double PeakMB() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void OpenAndPaint(benchmark::State &state, const std::string &name, bool full) {
  const double before = PeakMB();
  double decodedMB = 0;
  for (auto _ : state) {
    trovix::TViewFileForm *view = trovix::ViewFile(folder + name, true, false, "", nullptr);
    if (!view) {
      state.SkipWithError("the picture did not open");
      break;
    }
    // A picture that takes longer than a moment decodes on a worker.
    while (view->LoadPending()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QPixmap screen = view->grab();  // the first painted screen
    benchmark::DoNotOptimize(screen);
    if (full) view->EnsureFullPicture();
    decodedMB = double(view->PictureWidth()) * view->PictureHeight() * 4 / (1024.0 * 1024.0);
    state.PauseTiming();
    view->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    trovix::ViewCascade = 0;
    state.ResumeTiming();
  }
  state.counters["decoded_MB"] = decodedMB;
  state.counters["view_peak_MB"] = PeakMB() - before;
}

void BM_Jpeg24MP_FirstScreen(benchmark::State &state) { OpenAndPaint(state, "photo24.jpg", false); }
void BM_Jpeg24MP_FullPicture(benchmark::State &state) { OpenAndPaint(state, "photo24.jpg", true); }
void BM_Png24MP_FirstScreen(benchmark::State &state) { OpenAndPaint(state, "photo24.png", false); }

}  // namespace

BENCHMARK(BM_Jpeg24MP_FirstScreen)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Jpeg24MP_FullPicture)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Png24MP_FirstScreen)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (argc < 2) {
    fprintf(stderr, "usage: image_view_bench FOLDER\n");
    return 2;
  }
  folder = argv[1];
  if (folder.back() != '/') folder += '/';
  trovix::SetMessageBoxAnswerer([](uint8_t, const std::string &m, const std::string &) {
    fprintf(stderr, "message: %s\n", m.c_str());
    return 0;
  });
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
