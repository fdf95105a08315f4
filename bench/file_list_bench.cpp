// SPDX-License-Identifier: GPL-3.0-or-later
// Target file_list_bench; links trovix_browser (with trovix_foundation) and
// benchmark::benchmark.
//
// Lists and sorts a folder of 100,000 entries into the file list, as a tab
// does, and in the same run has "ls -f -l" list the same folder; reports how
// the two compare and how many bytes the 100,000 FileEntry records take.
// The folder is made once and kept: /tmp/trovix-bench-100k-list, or the
// folder TROVIX_BENCH_LIST_DIR names.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "browser/file_list.h"
#include "foundation/file_system.h"

using namespace trovix;

namespace {

constexpr int kEntries = 100'000;
constexpr int kFolders = 1'000;  // of the entries, this many are folders

std::string BenchFolder() {
  const char *env = std::getenv("TROVIX_BENCH_LIST_DIR");
  std::string folder = env && *env ? env : "/tmp/trovix-bench-100k-list";
  if (folder.back() != PathDelim) folder += PathDelim;
  return folder;
}

// Names of varied length and extension, made in a scrambled order so the
// sort has work to do.
std::string EntryName(int i) {
  static const char *const kExt[] = {".txt", ".cpp", ".h", ".png", ".mp3", ".tar.gz", "", ".md"};
  static const char *const kStem[] = {"report", "IMG_", "notes-", "Track ", "build", "x"};
  const unsigned k = static_cast<unsigned>(i) * 2654435761u;
  char name[64];
  if (i < kFolders) {
    std::snprintf(name, sizeof name, "Folder %05u", k % 100000u);
  } else {
    std::snprintf(name, sizeof name, "%s%07u%s", kStem[k % 6], k % 10000000u, kExt[(k >> 8) % 8]);
  }
  return name + std::string("_") + std::to_string(i);
}

bool PrepareFolder(const std::string &folder) {
  if (!FsCreateFolders(folder)) return false;
  std::vector<FsEntry> entries;
  if (FsListFolder(folder, entries) && entries.size() >= kEntries) return true;
  std::fprintf(stderr, "Creating %d entries in %s\n", kEntries, folder.c_str());
  for (int i = 0; i < kEntries; ++i) {
    const std::string path = folder + EntryName(i);
    if (i < kFolders) {
      if (!FsCreateFolders(path)) return false;
      continue;
    }
    const int h = FsCreate(path, true);
    if (h != FsInvalidHandle) {
      const std::string content(static_cast<size_t>(i % 97), 'x');
      FsWrite(h, content.data(), static_cast<int64_t>(content.size()));
      FsClose(h);
    } else if (FsLastError() != EEXIST) {
      return false;
    }
  }
  return true;
}

// The listing the benchmarks fill.
TFileListState List;

double ListAndSortSeconds(const std::string &folder, int32_t &count) {
  const auto start = std::chrono::steady_clock::now();
  TabState tab;
  tab.Folder = folder;
  List.ListTabFolder(tab);
  count = tab.EntryCount;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs "ls -f -l" on the folder and reads all it prints.
double LsSeconds(const std::string &folder, int64_t &bytes) {
  const std::string command = "ls -f -l '" + folder + "'";
  const auto start = std::chrono::steady_clock::now();
  FILE *pipe = popen(command.c_str(), "r");
  bytes = 0;
  if (pipe == nullptr) return -1;
  char buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) bytes += static_cast<int64_t>(n);
  if (pclose(pipe) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_ListAndSort(benchmark::State &state, std::string folder) {
  List.SortMode = smName;
  int32_t count = 0;
  for (auto _ : state) {
    state.SetIterationTime(ListAndSortSeconds(folder, count));
  }
  state.counters["entries"] = count;
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_LsFL(benchmark::State &state, std::string folder) {
  int64_t bytes = 0;
  for (auto _ : state) {
    const double seconds = LsSeconds(folder, bytes);
    if (seconds < 0) {
      state.SkipWithError("ls failed");
      return;
    }
    state.SetIterationTime(seconds);
  }
  state.counters["output_bytes"] = static_cast<double>(bytes);
}

// Both, alternately, in one benchmark: the ratio of their total times.
void BM_ListVersusLs(benchmark::State &state, std::string folder) {
  double list = 0, ls = 0;
  int32_t count = 0;
  int64_t bytes = 0;
  for (auto _ : state) {
    list += ListAndSortSeconds(folder, count);
    const double seconds = LsSeconds(folder, bytes);
    if (seconds < 0) {
      state.SkipWithError("ls failed");
      return;
    }
    ls += seconds;
  }
  state.counters["list_ms"] = list * 1000 / static_cast<double>(state.iterations());
  state.counters["ls_ms"] = ls * 1000 / static_cast<double>(state.iterations());
  state.counters["list_over_ls"] = list / ls;
}

void BM_SortOrder(benchmark::State &state, std::string folder) {
  TabState tab;
  tab.Folder = folder;
  List.ListTabFolder(tab);
  const std::vector<FileEntry> listed = List.FileList;
  List.SortMode = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    List.FileList = listed;
    state.ResumeTiming();
    List.SortFileList();
  }
  List.SortMode = smName;
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(listed.size()));
}

// Bytes of the records: the array plus the names that do not fit inside
// their string; and what the heap handed out for the whole listing.
void BM_ListMemory(benchmark::State &state, std::string folder) {
  size_t records = 0, heap = 0;
  for (auto _ : state) {
    List.FileList = std::vector<FileEntry>();
    const size_t before = mallinfo2().uordblks;
    TabState tab;
    tab.Folder = folder;
    List.ListTabFolder(tab);
    heap = mallinfo2().uordblks - before;
    records = List.FileList.capacity() * sizeof(FileEntry);
    for (const FileEntry &e : List.FileList) {
      if (e.Name.capacity() > std::string().capacity()) records += e.Name.capacity() + 1;
    }
  }
  state.counters["entries"] = List.FileCount();
  state.counters["sizeof_FileEntry"] = sizeof(FileEntry);
  state.counters["record_bytes"] = static_cast<double>(records);
  state.counters["heap_bytes"] = static_cast<double>(heap);
  state.counters["bytes_per_entry"] = static_cast<double>(records) / List.FileCount();
}

}  // namespace

int main(int argc, char **argv) {
  const std::string folder = BenchFolder();
  if (!PrepareFolder(folder)) {
    std::fprintf(stderr, "cannot prepare %s\n", folder.c_str());
    return 1;
  }
  benchmark::RegisterBenchmark("ListAndSort/100k", BM_ListAndSort, folder)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ls -f -l/100k", BM_LsFL, folder)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ListVersusLs/100k", BM_ListVersusLs, folder)
      ->Iterations(10)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("SortOrder/100k", BM_SortOrder, folder)
      ->DenseRange(smName, smDate)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ListMemory/100k", BM_ListMemory, folder)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
