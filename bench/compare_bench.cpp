// SPDX-License-Identifier: GPL-3.0-or-later
// The compare window against GNU diff on the same two texts, in the same run:
// two 100,000-line texts with 1 % of the lines changed, and two with nothing
// in common. Trovix is timed from CompareTexts to the window painted (Qt's
// offscreen platform); diff from its start to its end, output to /dev/null.
//
//   compare_bench [benchmark options]
//   compare_bench --shot OUT.png FILE_A FILE_B   (a screenshot of one compare)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "compare/compare_form.h"
#include "compare/text_compare.h"
#include "dialogs/markup.h"

extern char **environ;

using namespace trovix;

namespace {

constexpr int kLines = 100000;

std::string Line(std::mt19937 &rng, int k, const char *tag) {
  static const char *words[] = {"alpha", "beta",  "gamma", "delta", "return", "if",
                                "value", "count", "{",     "}",     "name",   "size"};
  std::string line = std::string(tag) + std::to_string(k) + ":";
  const int n = 2 + static_cast<int>(rng() % 8);
  for (int w = 0; w < n; ++w) line += std::string(" ") + words[rng() % 12];
  return line;
}

struct Pair {
  std::string a, b, fileA, fileB;
};

void Save(const std::string &path, const std::string &text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A text of 100,000 lines, and a copy with one line in a hundred replaced,
// inserted or dropped; or a second text sharing no line with the first.
Pair MakePair(bool related, const std::string &name) {
  std::mt19937 rng(42);
  Pair p;
  for (int k = 0; k < kLines; ++k) {
    const std::string line = Line(rng, k, "l");
    p.a += line + "\n";
    if (!related) {
      p.b += Line(rng, k, "m") + "\n";
    } else if (rng() % 100 != 0) {
      p.b += line + "\n";
    } else {
      switch (rng() % 3) {
        case 0:
          p.b += Line(rng, k, "c") + "\n";  // changed
          break;
        case 1:
          p.b += Line(rng, k, "i") + "\n" + line + "\n";  // inserted before
          break;
        default: break;  // dropped
      }
    }
  }
  p.fileA = "/tmp/trovix-compare-bench-" + name + "-a.txt";
  p.fileB = "/tmp/trovix-compare-bench-" + name + "-b.txt";
  Save(p.fileA, p.a);
  Save(p.fileB, p.b);
  return p;
}

void BM_CompareWindow(benchmark::State &state, const Pair *pair) {
  TCompareForm form;
  form.resize(900, 700);
  for (auto _ : state) {
    form.Compare(pair->a, pair->b, false, "a", "b");
    form.repaint();  // paints the window now, the visible lines only
    QApplication::processEvents();
  }
  state.counters["sections"] = static_cast<double>(form.Sections().size());
  state.counters["lines"] = form.MemoLineCount();
}

// The same until the whole text is in the memo (the window shows after the
// first screenful; the rest goes in between events).
void BM_CompareWindowComplete(benchmark::State &state, const Pair *pair) {
  TCompareForm form;
  form.resize(900, 700);
  for (auto _ : state) {
    form.Compare(pair->a, pair->b, false, "a", "b");
    form.repaint();
    QApplication::processEvents();
    while (form.Filling()) QApplication::processEvents();
  }
}

void BM_Merge(benchmark::State &state, const Pair *pair) {
  for (auto _ : state) {
    CompareResult merged;
    CompareMerge(pair->a, pair->b, merged);
    benchmark::DoNotOptimize(merged.Lines.data());
  }
}

// Also reports diff's own CPU time (user + system) per run, comparable with
// the CPU time of the other benchmarks when the machine is busy.
double ChildrenCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

void BM_GnuDiff(benchmark::State &state, const Pair *pair) {
  const double cpuBefore = ChildrenCpuMs();
  for (auto _ : state) {
    pid_t pid;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const char *argv[] = {"diff", pair->fileA.c_str(), pair->fileB.c_str(), nullptr};
    if (posix_spawnp(&pid, "diff", &actions, nullptr, const_cast<char **>(argv), environ) != 0) {
      state.SkipWithError("diff cannot be started");
      break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
  }
  state.counters["diff_cpu_ms"] =
      (ChildrenCpuMs() - cpuBefore) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}

std::string ReadFile(const char *path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

int main(int argc, char **argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  if (argc == 5 && std::string(argv[1]) == "--shot") {
    NiceLabelFormatChar = '|';  // as the main window sets it
    TCompareForm form;
    form.resize(900, 560);
    form.Compare(ReadFile(argv[3]), ReadFile(argv[4]), false, argv[3], argv[4]);
    form.SearchClick(1);
    QApplication::processEvents();
    return form.grab().save(argv[2]) ? 0 : 1;
  }
  const Pair changed = MakePair(true, "1pct");
  const Pair disjoint = MakePair(false, "disjoint");
  benchmark::Initialize(&argc, argv);
  for (auto [name, pair] : {std::pair{"1pct", &changed}, std::pair{"disjoint", &disjoint}}) {
    benchmark::RegisterBenchmark((std::string("GnuDiff/") + name).c_str(), BM_GnuDiff, pair)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark((std::string("Merge/") + name).c_str(), BM_Merge, pair)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("CompareWindow/") + name).c_str(), BM_CompareWindow,
                                 pair)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark((std::string("CompareWindowComplete/") + name).c_str(),
                                 BM_CompareWindowComplete, pair)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
