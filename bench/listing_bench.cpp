// SPDX-License-Identifier: GPL-3.0-or-later
// Lists a folder of 100,000 empty files through FsFolderReader and, in the
// same run, with find printing size, time and name of every entry, then
// prints how the two compare. The folder is made once and kept:
// TROVIX_BENCH_DIR names it, /tmp/trovix-bench-100k by default.
#include <benchmark/benchmark.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "foundation/file_system.h"

using namespace trovix;

namespace {

constexpr int kFiles = 100'000;

std::string BenchFolder() {
  const char *env = std::getenv("TROVIX_BENCH_DIR");
  std::string folder = env && *env ? env : "/tmp/trovix-bench-100k";
  if (folder.back() != PathDelim) folder += PathDelim;
  return folder;
}

// Creates the files that are missing; false when the folder cannot be made.
bool PrepareFolder(const std::string &folder) {
  if (!FsCreateFolders(folder)) return false;
  std::vector<FsEntry> entries;
  if (FsListFolder(folder, entries) && entries.size() >= kFiles) return true;
  std::fprintf(stderr, "Creating %d files in %s\n", kFiles, folder.c_str());
  char name[32];
  for (int i = 0; i < kFiles; ++i) {
    std::snprintf(name, sizeof name, "file%06d.dat", i);
    int h = FsCreate(folder + name, true);
    if (h != FsInvalidHandle)
      FsClose(h);
    else if (FsLastError() != EEXIST)
      return false;
  }
  return true;
}

void BM_FsFolderReader(benchmark::State &state, std::string folder) {
  int64_t entries = 0;
  for (auto _ : state) {
    FsFolderReader reader;
    if (!reader.Open(folder)) {
      state.SkipWithError("cannot open the folder");
      return;
    }
    FsEntry entry;
    int64_t count = 0, bytes = 0;
    while (reader.Next(entry)) {
      ++count;
      bytes += entry.size + entry.time + entry.attr;
    }
    benchmark::DoNotOptimize(bytes);
    entries = count;
  }
  state.counters["entries"] = double(entries);
  state.SetItemsProcessed(state.iterations() * entries);
}

void BM_FsListFolder(benchmark::State &state, std::string folder) {
  std::vector<FsEntry> entries;
  for (auto _ : state) {
    if (!FsListFolder(folder, entries)) {
      state.SkipWithError("cannot list the folder");
      return;
    }
    benchmark::DoNotOptimize(entries.data());
  }
  state.counters["entries"] = double(entries.size());
  state.SetItemsProcessed(state.iterations() * int64_t(entries.size()));
}

// The same listing by find, started through the shell and timed by wall clock.
void BM_FindPrintf(benchmark::State &state, std::string folder) {
  std::string command = "find '" + folder + "' -maxdepth 1 -printf '%s %T@ %f\\n' > /dev/null";
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    int status = std::system(command.c_str());
    auto end = std::chrono::steady_clock::now();
    if (status != 0) {
      state.SkipWithError("find failed");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
  }
}

// The console report, followed by how the listings compare with find.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    // One time per benchmark: the median of repetitions, else the last run.
    for (const Run &run : runs) {
      if (run.error_occurred) continue;
      std::string name = run.run_name.str();
      if (run.run_type == Run::RT_Aggregate ? run.aggregate_name == "median"
                                            : !medians_.count(name))
        times_[name] = run.GetAdjustedRealTime();
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
        medians_.insert(name);
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto find = times_.find("find -printf/manual_time");
    if (find == times_.end() || find->second <= 0) return;
    for (const auto &[name, time] : times_)
      if (name != find->first)
        std::printf("%-28s %8.2f ms   find %8.2f ms   ratio %.2f\n", name.c_str(), time,
                    find->second, time / find->second);
  }

 private:
  std::map<std::string, double> times_;
  std::set<std::string> medians_;
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  std::string folder = BenchFolder();
  if (!PrepareFolder(folder)) {
    std::fprintf(stderr, "Cannot prepare %s: %s\n", folder.c_str(),
                 FsErrorText(FsLastError()).c_str());
    return 1;
  }
  benchmark::RegisterBenchmark("FsFolderReader", BM_FsFolderReader, folder)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("FsListFolder", BM_FsListFolder, folder)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("find -printf", BM_FindPrintf, folder)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
