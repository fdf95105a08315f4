// SPDX-License-Identifier: GPL-3.0-or-later
// Search speed against the system's tools on the same trees in the same run:
// a name search over 500,000 entries against "find DIR -iname '*PART*'", an
// ignore-case contents search of about 1 GB of text and binary files against
// "grep -rilIF TEXT DIR" and "rg -ilF -uu TEXT DIR"; the duplicate filter and
// the summary of 100,000 results, and the heap those results take.
// bench/run_search.sh builds and runs it.
//
// The data lives in $TROVIX_BENCH_DIR (default /tmp/trovix-search-bench) and
// is made on the first run. Every tool reads warm caches: each benchmark runs
// once untimed first.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "foundation/file_system.h"
#include "search/search.h"
#include "search/summary.h"

namespace fs = std::filesystem;
using namespace trovix;

namespace {

constexpr int kNameFolders = 1000, kNamesPerFolder = 499;  // 500,000 entries
constexpr int kTextFolders = 100, kTextFilesPerFolder = 40;
constexpr size_t kTextFileSize = 256 * 1024;  // 4,000 files of 256 KiB: about 1 GB

std::string Dir() {
  const char *dir = std::getenv("TROVIX_BENCH_DIR");
  return std::string(dir && *dir ? dir : "/tmp/trovix-search-bench") + "/";
}

void Run(const std::string &command) {
  if (std::system(command.c_str()) != 0) {
    // grep exits 1 when nothing matched; every command here finds something.
    fprintf(stderr, "failed: %s\n", command.c_str());
    std::abort();
  }
}

void MakeNameTree() {
  const std::string dir = Dir() + "names/";
  if (fs::exists(Dir() + "names.ready")) return;
  fs::remove_all(dir);
  std::mt19937 random(1);
  for (int d = 0; d < kNameFolders; ++d) {
    const std::string folder = dir + "folder" + std::to_string(d) + "/";
    fs::create_directories(folder);
    for (int f = 0; f < kNamesPerFolder; ++f) {
      std::string name = "file_" + std::to_string(random() % 1000000) + "_" + std::to_string(f);
      if (random() % 1000 == 0) name += "_Report";
      std::ofstream(folder + name + ".txt");
    }
  }
  std::ofstream(Dir() + "names.ready") << "ok";
}

// Text files of words with a rare needle in a few, and binary files of
// random bytes.
void MakeTextTree() {
  const std::string dir = Dir() + "texts/";
  if (fs::exists(Dir() + "texts.ready")) return;
  fs::remove_all(dir);
  std::mt19937_64 random(2);
  static const char *const kWords[] = {"alpha", "beta", "gamma", "delta", "search",
                                       "file",  "tree", "walk",  "block", "window"};
  std::string text;
  for (int d = 0; d < kTextFolders; ++d) {
    const std::string folder = dir + "d" + std::to_string(d) + "/";
    fs::create_directories(folder);
    for (int f = 0; f < kTextFilesPerFolder; ++f) {
      text.clear();
      const bool binary = f % 4 == 3;
      while (text.size() < kTextFileSize) {
        if (binary) {
          const uint64_t v = random();
          text.append(reinterpret_cast<const char *>(&v), 8);
        } else {
          text += kWords[random() % 10];
          text += random() % 12 == 0 ? '\n' : ' ';
        }
      }
      if (random() % 50 == 0) text.insert(text.size() / 2, " NeedleWord ");
      std::ofstream(folder + "f" + std::to_string(f) + (binary ? ".bin" : ".txt"), std::ios::binary)
          << text;
    }
  }
  std::ofstream(Dir() + "texts.ready") << "ok";
}

// Processor time (user + system) of this process, all its threads, or of its
// finished child processes, in seconds.
double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  auto seconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(u.ru_utime) + seconds(u.ru_stime);
}

// Reports the processor time per iteration of the timed loop: the wall time
// alone mostly shows the share of the processor a tool got on a busy machine.
class TCpuCounter {
 public:
  TCpuCounter(benchmark::State &state, int who)
      : state_(state), who_(who), start_(CpuSeconds(who)) {}
  ~TCpuCounter() {
    state_.counters["cpu_s"] = (CpuSeconds(who_) - start_) /
                               static_cast<double>(std::max<int64_t>(state_.iterations(), 1));
  }

 private:
  benchmark::State &state_;
  int who_;
  double start_;
};

int32_t SearchOnce(const std::string &folder, const std::string &names, const std::string &contents,
                   int scanThreads = 2) {
  TSearchJob job;
  job.ScanThreads = scanThreads;
  job.Params.SearchFolder = folder;
  job.Params.NameText = names;
  job.Params.ContentBytes = contents;
  job.State = ssSearching;
  job.Busy = true;
  job.Run();
  return job.ResultCount;
}

void NameSearch_Trovix(benchmark::State &state) {
  MakeNameTree();
  const std::string dir = Dir() + "names/";
  SearchOnce(dir, "report", "");
  for (auto _ : state) benchmark::DoNotOptimize(SearchOnce(dir, "report", ""));
}
BENCHMARK(NameSearch_Trovix)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void NameSearch_Find(benchmark::State &state) {
  MakeNameTree();
  const std::string command = "find '" + Dir() + "names/' -iname '*report*' > /dev/null";
  Run(command);
  for (auto _ : state) Run(command);
}
BENCHMARK(NameSearch_Find)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void ContentSearch_Trovix(benchmark::State &state) {
  MakeTextTree();
  const std::string dir = Dir() + "texts/";
  state.counters["found"] = SearchOnce(dir, "", "needleword");
  TCpuCounter cpu(state, RUSAGE_SELF);
  for (auto _ : state) benchmark::DoNotOptimize(SearchOnce(dir, "", "needleword"));
}
BENCHMARK(ContentSearch_Trovix)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The same with every file tested in the walk itself, on one thread.
void ContentSearch_TrovixOneThread(benchmark::State &state) {
  MakeTextTree();
  const std::string dir = Dir() + "texts/";
  SearchOnce(dir, "", "needleword", 0);
  TCpuCounter cpu(state, RUSAGE_SELF);
  for (auto _ : state) benchmark::DoNotOptimize(SearchOnce(dir, "", "needleword", 0));
}
BENCHMARK(ContentSearch_TrovixOneThread)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void ContentSearch_Grep(benchmark::State &state) {
  MakeTextTree();
  const std::string command = "grep -rilIF needleword '" + Dir() + "texts/' > /dev/null";
  Run(command);
  TCpuCounter cpu(state, RUSAGE_CHILDREN);
  for (auto _ : state) Run(command);
}
BENCHMARK(ContentSearch_Grep)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void ContentSearch_Ripgrep(benchmark::State &state) {
  MakeTextTree();
  const std::string command = "rg -ilF -uu needleword '" + Dir() + "texts/' > /dev/null";
  Run(command);
  TCpuCounter cpu(state, RUSAGE_CHILDREN);
  for (auto _ : state) Run(command);
}
BENCHMARK(ContentSearch_Ripgrep)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// 100,000 results of realistic paths, names, sizes and times.
std::vector<SearchEntry> Results(size_t n) {
  std::mt19937_64 random(3);
  std::vector<SearchEntry> r(n);
  static const char *const kExt[] = {".txt", ".TXT", ".jpg", ".cpp", ".h", "", ".pdf", ".tar.gz"};
  for (auto &e : r) {
    e.path = "/home/user/projects/folder" + std::to_string(random() % 2000) + "/sub/";
    e.name = "document_" + std::to_string(random() % 30000) + kExt[random() % 8];
    e.size = random() % 5000;
    e.time = static_cast<int64_t>(random() % 1000);
  }
  return r;
}

void DuplicateFilter(benchmark::State &state) {
  const std::vector<SearchEntry> results = Results(100000);
  for (auto _ : state) {
    state.PauseTiming();
    TSearchJob job;
    job.Results = results;
    job.ResultCount = static_cast<int32_t>(results.size());
    job.Params.DuplicatesOnly = true;
    state.ResumeTiming();
    job.Filter();
    benchmark::DoNotOptimize(job.Results.data());
  }
}
BENCHMARK(DuplicateFilter)->Unit(benchmark::kMillisecond);

void Summary(benchmark::State &state) {
  const std::vector<SearchEntry> results = Results(100000);
  std::vector<SummaryItem> types, folders;
  for (auto _ : state) {
    SummaryBuild(results, static_cast<int32_t>(results.size()), types, folders);
    SummarySort(types, 0);
    SummarySort(folders, 0);
    benchmark::DoNotOptimize(folders.data());
  }
}
BENCHMARK(Summary)->Unit(benchmark::kMillisecond);

// The heap that 100,000 results found by a walk take.
void ResultMemory(benchmark::State &state) {
  MakeNameTree();
  size_t bytes = 0;
  int32_t count = 0;
  for (auto _ : state) {
    TSearchJob job;
    job.Params.SearchFolder = Dir() + "names/";
    job.Params.NameText = "77";  // "_" would stand for a space; a few percent of the tree
    malloc_trim(0);
    const size_t before = mallinfo2().uordblks;
    job.State = ssSearching;
    job.Busy = true;
    job.Run();
    bytes = mallinfo2().uordblks - before;
    count = job.ResultCount;
  }
  state.counters["results"] = count;
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["MB_per_100k"] = static_cast<double>(bytes) / 1e6 * 100000.0 / count;
}
BENCHMARK(ResultMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
