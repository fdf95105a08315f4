// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/search.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "dialogs/event_log.h"
#include "fileops/file_operations.h"
#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/string_arrays.h"
#include "foundation/strings.h"

namespace trovix {

namespace {

inline unsigned char Fold(unsigned char c) {
  return static_cast<unsigned char>(c - 'a') < 26u ? static_cast<unsigned char>(c - 32) : c;
}

bool HasLetter(const std::string &s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return IsAlpha(c); });
}

// Case-folded search of an upper-cased part in a name.
bool ContainsFolded(const std::string &name, const std::string &upperPart) {
  const size_t m = upperPart.size();
  if (m == 0) return true;
  if (m > name.size()) return false;
  const unsigned char first = static_cast<unsigned char>(upperPart[0]);
  const size_t last = name.size() - m;
  for (size_t i = 0; i <= last; ++i) {
    if (Fold(static_cast<unsigned char>(name[i])) != first) continue;
    size_t k = 1;
    while (k < m && Fold(static_cast<unsigned char>(name[i + k])) ==
                        static_cast<unsigned char>(upperPart[k]))
      ++k;
    if (k == m) return true;
  }
  return false;
}

bool IsFolder(const SearchEntry &e) { return (e.attributes & faDirectory) != 0; }

int Sign(int64_t v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

// Name order: folders first, then name and path ignoring case.
int CompareByName(const SearchEntry &a, const SearchEntry &b) {
  if (IsFolder(a) != IsFolder(b)) return IsFolder(a) ? -1 : 1;
  int r = Sign(StrCompare(a.name, b.name));
  if (r == 0) r = Sign(StrCompare(a.path, b.path));
  return r;
}

int CompareBytes(const std::string &a, const std::string &b) { return Sign(a.compare(b)); }

}  // namespace

// ---- Matching --------------------------------------------------------------------

std::vector<std::string> SearchNameParts(const std::string &nameText) {
  std::vector<std::string> parts;
  int32_t pos = 1;
  for (;;) {
    std::string item = StrGetItem(nameText, pos);
    if (item.empty()) break;
    parts.push_back(std::move(item));
  }
  return parts;
}

bool SearchNameMatches(const std::string &name, const std::vector<std::string> &upperParts) {
  for (const std::string &part : upperParts)
    if (!ContainsFolded(name, part)) return false;
  return true;
}

bool SearchHexContents(const std::string &text, std::string &bytes) {
  const int32_t count = StrToBytes(text, nullptr, 0);
  if (count < 0) return false;
  std::string result(static_cast<size_t>(count), '\0');
  if (count > 0 && StrToBytes(text, result.data(), count) < 0) return false;
  bytes = std::move(result);
  return true;
}

TContentScanner::TContentScanner(const std::string &pattern, bool ignoreCase, size_t blockSize)
    : pattern_(pattern), blockSize_(std::max<size_t>(blockSize, 32768)) {
  fold_ = ignoreCase && HasLetter(pattern_);
  if (fold_) pattern_ = UpperCase(pattern_);
}

bool TContentScanner::FindIn(size_t from, size_t to) {
  if (to - from < pattern_.size()) return false;
  return memmem(buffer_.data() + from, to - from, pattern_.data(), pattern_.size()) != nullptr;
}

bool TContentScanner::Scan(const std::function<int64_t(void *, int64_t)> &read, bool textOnly) {
  if (pattern_.empty()) return false;
  const size_t keep = pattern_.size() - 1;
  const size_t capacity = blockSize_ + keep;
  if (buffer_.size() < capacity) buffer_.resize(capacity);
  unsigned char *buf = buffer_.data();
  size_t filled = 0;
  bool first = true, found = false;
  for (;;) {
    const size_t start = filled;
    bool end = false;
    while (filled < capacity) {
      const int64_t n = read(buf + filled, static_cast<int64_t>(capacity - filled));
      if (n < 0) return false;  // a file that cannot be read to its end
      if (n == 0) {
        end = true;
        break;
      }
      filled += static_cast<size_t>(n);
    }
    if (first) {
      if (textOnly && !FileIsTextBytes(buf, static_cast<int64_t>(filled))) return false;
      first = false;
    }
    if (!found) {
      if (fold_)
        for (size_t i = start; i < filled; ++i) buf[i] = Fold(buf[i]);
      found = FindIn(0, filled);
    }
    if (end) return found;
    if (found) {
      filled = 0;  // the rest is only read, to know the file reads to its end
    } else {
      // The last keep bytes cannot hold the whole pattern: carry them over so
      // that a match straddling the boundary is found in the next block.
      memmove(buf, buf + filled - keep, keep);
      filled = keep;
    }
  }
}

bool TContentScanner::ScanFile(int handle, bool textOnly) {
  return Scan([handle](void *buffer, int64_t count) { return FsRead(handle, buffer, count); },
              textOnly);
}

// ---- Comparison ------------------------------------------------------------------

int SearchCompare(const SearchEntry &a, const SearchEntry &b, uint8_t key) {
  if (a.flag != b.flag) return a.flag < b.flag ? -1 : 1;
  int r = 0;
  switch (key) {
    case skExtension:
      if (IsFolder(a) != IsFolder(b)) return IsFolder(a) ? -1 : 1;
      r = Sign(
          StrCompareFrom(a.name, b.name, StrPosChLast('.', a.name), StrPosChLast('.', b.name)));
      if (r == 0) r = CompareByName(a, b);
      break;
    case skPath:
      r = Sign(StrCompare(a.path, b.path));
      if (r == 0) r = Sign(StrCompare(a.name, b.name));
      if (r == 0) r = CompareBytes(a.path, b.path);
      if (r == 0) r = CompareBytes(a.name, b.name);
      return r;
    case skSize:
      r = a.size < b.size ? -1 : a.size > b.size ? 1 : 0;
      if (r == 0) r = CompareByName(a, b);
      break;
    case skDate:
      r = a.time > b.time ? -1 : a.time < b.time ? 1 : 0;
      if (r == 0) r = CompareByName(a, b);
      break;
    default: r = CompareByName(a, b); break;
  }
  if (r == 0) r = CompareBytes(a.name, b.name);
  if (r == 0) r = CompareBytes(a.path, b.path);
  return r;
}

// ---- The walk --------------------------------------------------------------------

namespace {

class TWalker {
 public:
  explicit TWalker(TSearchJob &job) : job_(job), params_(job.Params) {
    for (std::string &part : SearchNameParts(params_.NameText)) parts_.push_back(UpperCase(part));
    if (!params_.ContentBytes.empty())
      scanner_ = std::make_unique<TContentScanner>(params_.ContentBytes, params_.IgnoreCase);
  }

  bool Run() {
    FsFolderReader root;
    path_ = params_.SearchFolder;
    if (path_.empty()) return !job_.Aborting();
    if (path_.back() != PathDelim) path_ += PathDelim;
    if (root.Open(path_)) WalkFolder(root);
    return !job_.Aborting();
  }

 private:
  void WalkFolder(FsFolderReader &folder) {
    uint64_t device = 0, inode = 0;
    if (!folder.Identity(device, inode)) return;
    // A folder met again below itself (a bind mount) is not walked twice.
    for (const auto &a : ancestors_)
      if (a.first == device && a.second == inode) return;
    ancestors_.emplace_back(device, inode);
    std::string name;
    FsKind kind;
    FsEntry info;
    while (!job_.Aborting() && folder.NextKind(name, kind)) {
      const bool nameMatches = SearchNameMatches(name, parts_);
      bool haveInfo = false;
      if (kind == FsKind::Unknown) {
        if (!folder.Info(name, info)) continue;
        haveInfo = true;
        kind = (info.attr & faReparsePoint) ? FsKind::Link
               : (info.attr & faDirectory)  ? FsKind::Folder
                                            : FsKind::File;
      }
      if (nameMatches) {
        if (!haveInfo && !folder.Info(name, info)) continue;  // gone since the listing
        if (Matches(folder, name, kind, info)) Store(info);
      }
      if (kind == FsKind::Folder && params_.SubFolders && !job_.Aborting()) {
        FsFolderReader sub;
        const size_t length = path_.size();
        path_ += name;
        path_ += PathDelim;
        if (sub.OpenAt(folder, name, path_)) WalkFolder(sub);
        path_.resize(length);
      }
    }
    ancestors_.pop_back();
  }

  bool Matches(FsFolderReader &folder, const std::string &name, FsKind kind, const FsEntry &info) {
    if (!scanner_) return true;
    // Folders never match contents; links are not followed and named pipes,
    // sockets and devices are never opened.
    if ((info.attr & (faDirectory | faReparsePoint)) || kind != FsKind::File) return false;
    const int handle = folder.OpenFile(name, path_ + name);
    if (handle == FsInvalidHandle) return false;
    const bool found = scanner_->ScanFile(handle, !params_.BinaryFiles);
    FsClose(handle);
    return found;
  }

  void Store(const FsEntry &info) {
    SearchEntry e;
    e.path = path_;
    e.name = info.name;
    e.size = static_cast<uint64_t>(info.size);
    e.time = info.time;
    e.attributes = info.attr;
    job_.Results.push_back(std::move(e));
    job_.FoundCount.fetch_add(1, std::memory_order_relaxed);
  }

  TSearchJob &job_;
  const TSearchParams &params_;
  std::vector<std::string> parts_;
  std::unique_ptr<TContentScanner> scanner_;
  std::string path_;
  std::vector<std::pair<uint64_t, uint64_t>> ancestors_;
};

// The criteria of the twin test as a hash key.
struct TwinKey {
  std::string_view name;
  uint64_t size;
  int64_t time;
  bool operator==(const TwinKey &o) const {
    return name == o.name && size == o.size && time == o.time;
  }
};

struct TwinKeyHash {
  size_t operator()(const TwinKey &k) const {
    size_t h = std::hash<std::string_view>()(k.name);
    h ^= std::hash<uint64_t>()(k.size) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    h ^= std::hash<int64_t>()(k.time) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h;
  }
};

}  // namespace

// ---- The job ---------------------------------------------------------------------

void TSearchJob::RequestAbort() {
  uint8_t s = State.load();
  while (s == ssSearching || s == ssSearched || s == ssSorting || s == ssDeleting) {
    if (State.compare_exchange_weak(s, ssAborting)) return;
  }
}

bool TSearchJob::Walk() {
  Results.clear();
  Results.shrink_to_fit();
  ResultCount = 0;
  TotalSize = 0;
  FoundCount.store(0, std::memory_order_relaxed);
  TWalker walker(*this);
  const bool completed = walker.Run();
  ResultCount = static_cast<int32_t>(std::min<size_t>(Results.size(), INT32_MAX));
  return completed;
}

void TSearchJob::Filter() {
  const bool duplicates = Params.DuplicatesOnly;
  if (!duplicates && !Params.UniquesOnly) return;
  const uint8_t d = duplicates ? 1 : 0;
  // Twins are entries equal in every chosen criterion: an equivalence, so an
  // entry has a twin exactly when its group holds two or more.
  std::unordered_map<TwinKey, int32_t, TwinKeyHash> groups;
  groups.reserve(static_cast<size_t>(ResultCount));
  auto keyOf = [this](const SearchEntry &e) {
    return TwinKey{Params.SameName ? std::string_view(e.name) : std::string_view(),
                   Params.SameSize ? e.size : 0, Params.SameDate ? e.time : 0};
  };
  for (int32_t i = 0; i < ResultCount; ++i) ++groups[keyOf(Results[i])];
  for (int32_t i = 0; i < ResultCount; ++i)
    Results[i].flag = groups[keyOf(Results[i])] >= 2 ? static_cast<uint8_t>(1 - d) : d;
}

namespace {

// Bottom-up merge sort of order (indices into entries), checking after every
// pass whether to stop; false when stopped.
bool MergeSortIndices(const std::vector<SearchEntry> &entries, std::vector<uint32_t> &order,
                      uint8_t key, const std::function<bool()> &stop) {
  const size_t n = order.size();
  std::vector<uint32_t> other(n);
  auto before = [&](uint32_t a, uint32_t b) {
    return SearchCompare(entries[b], entries[a], key) < 0;
  };
  for (size_t width = 1; width < n; width *= 2) {
    for (size_t lo = 0; lo < n; lo += 2 * width) {
      const size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
      size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) other[k++] = before(order[i], order[j]) ? order[j++] : order[i++];
      while (i < mid) other[k++] = order[i++];
      while (j < hi) other[k++] = order[j++];
    }
    order.swap(other);
    if (stop()) return false;
  }
  return true;
}

}  // namespace

bool TSearchJob::Sort() {
  const size_t n = static_cast<size_t>(std::clamp<int32_t>(ResultCount, 0, Results.size()));
  std::vector<uint32_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(i);
  const bool completed = MergeSortIndices(Results, order, SortKey, [this] { return Aborting(); });
  std::vector<SearchEntry> sorted;
  sorted.reserve(Results.size());
  for (uint32_t i : order) sorted.push_back(std::move(Results[i]));
  for (size_t i = n; i < Results.size(); ++i) sorted.push_back(std::move(Results[i]));
  Results.swap(sorted);
  return completed;
}

void TSearchJob::CutAndTotal() {
  int32_t kept = 0;
  while (kept < ResultCount && Results[kept].flag == 0) ++kept;
  ResultCount = kept;
  Results.resize(static_cast<size_t>(kept));
  TotalSize = 0;
  for (int32_t i = 0; i < kept; ++i) TotalSize += Results[i].size;
}

bool TSearchJob::DeleteRows() {
  const int32_t top = std::max(DeleteTop, 1), bottom = std::min(DeleteBottom, ResultCount);
  if (top <= bottom) LogAdd("Delete Item(s)");
  for (int32_t row = top; row <= bottom; ++row) {
    if (Aborting()) return false;
    SearchEntry &e = Results[row - 1];
    if (IsFolder(e)) continue;
    FileDelete(e.path + e.name, true);
    e.flag = 1;
  }
  return true;
}

void TSearchJob::Run() {
  const uint8_t request = State.load();
  auto empty = [this] {
    Results.clear();
    Results.shrink_to_fit();
    ResultCount = 0;
    TotalSize = 0;
  };
  if (request == ssSearching) {
    uint8_t expected = ssSearching;
    if (Walk() && State.compare_exchange_strong(expected, ssSearched)) {
      Filter();
      // The kept entries go first (the comparison puts them first too), so
      // the cut is exact even when the sort is stopped.
      std::stable_partition(Results.begin(), Results.begin() + ResultCount,
                            [](const SearchEntry &e) { return e.flag == 0; });
      const int32_t all = ResultCount;
      ResultCount =
          static_cast<int32_t>(std::count_if(Results.begin(), Results.begin() + all,
                                             [](const SearchEntry &e) { return e.flag == 0; }));
      Sort();
      ResultCount = all;
      CutAndTotal();
    } else {
      empty();
    }
  } else if (request == ssSorting) {
    Sort();
  } else if (request == ssDeleting) {
    uint8_t expected = ssDeleting;
    if (!DeleteRows() || !State.compare_exchange_strong(expected, ssReady)) empty();
  }
  State.store(ssReady);
  Busy.store(false, std::memory_order_release);
}

// ---- The worker thread -----------------------------------------------------------

TSearchSortThread::~TSearchSortThread() {
  if (thread_.joinable()) {
    job_.RequestAbort();
    thread_.join();
  }
}

bool TSearchSortThread::Start() {
  if (job_.Busy.load(std::memory_order_acquire)) return false;
  if (thread_.joinable()) thread_.join();
  job_.Busy.store(true);
  thread_ = std::thread([this] { job_.Run(); });
  return true;
}

void TSearchSortThread::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace trovix
