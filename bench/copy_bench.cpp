// SPDX-License-Identifier: GPL-3.0-or-later
// Copy speed of the operation engine against the system's own tools, on the
// same data and the same warm page cache: one 2 GiB file and a tree of
// 20,000 small files (FileCopy / FolderCopy against "cp -r"), the same tree
// again when everything is up to date (against "rsync -a", which then copies
// nothing either), and a 5 GiB sparse file holding 16 KiB of data (against
// "cp", which keeps its holes). bench/run_copy.sh builds and runs it.
//
// The data lives in $TROVIX_BENCH_DIR (default /tmp/trovix-copy-bench) and is
// made on the first run; the destinations are removed and the dirty pages
// written out before each timed copy, so every copy starts alike.
#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "dialogs/event_log.h"
#include "fileops/file_operations.h"

namespace fs = std::filesystem;
using namespace trovix;

namespace {

constexpr int64_t kBigFileSize = int64_t(2) << 30;
constexpr int kTopFolders = 20, kSubFolders = 10, kFilesPerFolder = 100;  // 20,000 files

std::string Dir() {
  const char *dir = std::getenv("TROVIX_BENCH_DIR");
  return std::string(dir && *dir ? dir : "/tmp/trovix-copy-bench") + "/";
}
std::string Q(const std::string &path) { return "'" + path + "'"; }

void Run(const std::string &command) {
  if (std::system(command.c_str()) != 0) std::abort();
}

constexpr int64_t kSparseSize = int64_t(5) << 30;

// A disk image of 5 GiB with 16 KiB of data in four stretches, the rest holes.
void MakeSparse() {
  const std::string path = Dir() + "sparse.img";
  {
    std::ofstream f(path, std::ios::binary);
    for (int64_t at : {int64_t(0), int64_t(1) << 30, int64_t(3) << 30, kSparseSize - 4096}) {
      f.seekp(at);
      f << std::string(4096, 'S');
    }
  }
  fs::resize_file(path, kSparseSize);
}

// Writes the data once: incompressible bytes, so no layer can shortcut them.
void MakeData() {
  const std::string dir = Dir();
  if (fs::exists(dir + "ready")) {
    if (!fs::exists(dir + "sparse.img")) MakeSparse();  // data made before the sparse row
    return;
  }
  fs::remove_all(dir);
  fs::create_directories(dir + "tree");
  std::mt19937_64 random(42);
  std::vector<uint64_t> block(1 << 20);  // 8 MiB
  {
    std::ofstream big(dir + "big.bin", std::ios::binary);
    for (int64_t done = 0; done < kBigFileSize; done += 8 << 20) {
      for (uint64_t &w : block) w = random();
      big.write(reinterpret_cast<const char *>(block.data()), 8 << 20);
    }
  }
  for (int t = 0; t < kTopFolders; ++t)
    for (int s = 0; s < kSubFolders; ++s) {
      std::string folder = dir + "tree/t" + std::to_string(t) + "/s" + std::to_string(s) + "/";
      fs::create_directories(folder);
      for (int f = 0; f < kFilesPerFolder; ++f) {
        size_t size = 100 + random() % 8000;
        for (size_t i = 0; i < size / 8 + 1; ++i) block[i] = random();
        std::ofstream(folder + "file" + std::to_string(f) + ".dat", std::ios::binary)
            .write(reinterpret_cast<const char *>(block.data()),
                   static_cast<std::streamsize>(size));
      }
    }
  MakeSparse();
  std::ofstream(dir + "ready") << "ok";
  Run("sync");
}

// Removes a destination and writes out dirty pages, outside the timing.
void Prepare(benchmark::State &state, const std::string &destination) {
  state.PauseTiming();
  fs::remove_all(destination);
  LogClear();
  IssueList.Clear();
  Run("sync");
  state.ResumeTiming();
}

void Check(benchmark::State &state) {
  if (IssueList.Count() != 0) state.SkipWithError("the copy recorded issues");
}

void BM_BigFile_Trovix(benchmark::State &state) {
  MakeData();
  for (auto _ : state) {
    Prepare(state, Dir() + "big.copy");
    FileCopy(Dir() + "big.bin", Dir() + "big.copy", false);
  }
  Check(state);
}

void BM_BigFile_cp(benchmark::State &state) {
  MakeData();
  for (auto _ : state) {
    Prepare(state, Dir() + "big.copy");
    Run("cp " + Q(Dir() + "big.bin") + " " + Q(Dir() + "big.copy"));
  }
}

void BM_Tree_Trovix(benchmark::State &state) {
  MakeData();
  for (auto _ : state) {
    Prepare(state, Dir() + "tree.copy");
    FolderCopy(Dir() + "tree/", Dir() + "tree.copy/", false);
  }
  Check(state);
}

void BM_Tree_cp(benchmark::State &state) {
  MakeData();
  for (auto _ : state) {
    Prepare(state, Dir() + "tree.copy");
    Run("cp -r " + Q(Dir() + "tree") + " " + Q(Dir() + "tree.copy"));
  }
}

// Everything up to date: nothing to copy, only to compare.
void BM_TreeUpToDate_Trovix(benchmark::State &state) {
  MakeData();
  fs::remove_all(Dir() + "tree.same");
  FolderCopy(Dir() + "tree/", Dir() + "tree.same/", false);
  LogClear();
  for (auto _ : state) {
    FolderCopy(Dir() + "tree/", Dir() + "tree.same/", false);
  }
  if (!LogLines().empty()) state.SkipWithError("an up-to-date file was copied");
  Check(state);
  fs::remove_all(Dir() + "tree.same");
  LogClear();
}

void BM_TreeUpToDate_rsync(benchmark::State &state) {
  MakeData();
  fs::remove_all(Dir() + "tree.same");
  Run("rsync -a " + Q(Dir() + "tree/") + " " + Q(Dir() + "tree.same/"));
  for (auto _ : state) Run("rsync -a " + Q(Dir() + "tree/") + " " + Q(Dir() + "tree.same/"));
  fs::remove_all(Dir() + "tree.same");
}

void BM_Sparse_Trovix(benchmark::State &state) {
  MakeData();
  for (auto _ : state) {
    Prepare(state, Dir() + "sparse.copy");
    FileCopy(Dir() + "sparse.img", Dir() + "sparse.copy", false);
  }
  Check(state);
  struct stat st {};
  if (stat((Dir() + "sparse.copy").c_str(), &st) == 0)
    state.counters["allocated_KiB"] = static_cast<double>(st.st_blocks) / 2;
}

void BM_Sparse_cp(benchmark::State &state) {
  MakeData();
  for (auto _ : state) {
    Prepare(state, Dir() + "sparse.copy");
    Run("cp " + Q(Dir() + "sparse.img") + " " + Q(Dir() + "sparse.copy"));
  }
  struct stat st {};
  if (stat((Dir() + "sparse.copy").c_str(), &st) == 0)
    state.counters["allocated_KiB"] = static_cast<double>(st.st_blocks) / 2;
  fs::remove_all(Dir() + "sparse.copy");
}

}  // namespace

BENCHMARK(BM_Sparse_Trovix)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sparse_cp)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BigFile_Trovix)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BigFile_cp)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Tree_Trovix)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Tree_cp)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TreeUpToDate_Trovix)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TreeUpToDate_rsync)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
