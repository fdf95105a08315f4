// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/search.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif
#include <memory>
#include <mutex>
#include <string_view>
#include <system_error>
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

namespace {

// How common a byte is in text, higher for more common: the scan looks for
// the pattern's two least common bytes first.
int ByteCommonness(unsigned char c) {
  static const char kCommon[] = " etaoinsrhldcumfpgwybvkxjqz";  // most common first
  if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
  for (int i = 0; kCommon[i]; ++i)
    if (kCommon[i] == static_cast<char>(c)) return 300 - i;
  if (c >= '0' && c <= '9') return 250;
  if (c == '\n' || c == '.' || c == ',' || c == '_' || c == '-' || c == '/' || c == 0) return 240;
  return c >= 128 ? 100 : 150;
}

// Whether at holds the pattern, byte k compared as
// (b | orMask[k]) == want[k].
inline bool PatternAt(const unsigned char *at, const unsigned char *orMask,
                      const unsigned char *want, size_t m) {
  for (size_t k = 0; k < m; ++k)
    if ((at[k] | orMask[k]) != want[k]) return false;
  return true;
}

struct TPairScan {
  const unsigned char *buf;
  const unsigned char *orMask, *want;
  size_t m, rare1, rare2;
  // The next start to look at; the kernels leave it where the plain loop
  // takes over.
  size_t start;
  size_t to;
};

#if defined(__SSE2__)
// 16 starts at a time: those where both rare bytes fit are checked whole.
bool PairScanSse2(TPairScan &s) {
  const __m128i or1 = _mm_set1_epi8(static_cast<char>(s.orMask[s.rare1]));
  const __m128i or2 = _mm_set1_epi8(static_cast<char>(s.orMask[s.rare2]));
  const __m128i want1 = _mm_set1_epi8(static_cast<char>(s.want[s.rare1]));
  const __m128i want2 = _mm_set1_epi8(static_cast<char>(s.want[s.rare2]));
  const unsigned char *p1 = s.buf + s.rare1, *p2 = s.buf + s.rare2;
  size_t i = s.start;
  for (; i + 15 + s.m <= s.to; i += 16) {
    const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p1 + i));
    const __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p2 + i));
    unsigned mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(x1, or1), want1),
                                        _mm_cmpeq_epi8(_mm_or_si128(x2, or2), want2))));
    while (mask) {
      if (PatternAt(s.buf + i + static_cast<size_t>(__builtin_ctz(mask)), s.orMask, s.want, s.m))
        return true;
      mask &= mask - 1;
    }
  }
  s.start = i;
  return false;
}
#endif

#if defined(__x86_64__) || defined(__i386__)
#define TROVIX_HAVE_AVX2 1
// The same, 32 starts at a time, for processors that have AVX2.
__attribute__((target("avx2"))) bool PairScanAvx2(TPairScan &s) {
  const __m256i or1 = _mm256_set1_epi8(static_cast<char>(s.orMask[s.rare1]));
  const __m256i or2 = _mm256_set1_epi8(static_cast<char>(s.orMask[s.rare2]));
  const __m256i want1 = _mm256_set1_epi8(static_cast<char>(s.want[s.rare1]));
  const __m256i want2 = _mm256_set1_epi8(static_cast<char>(s.want[s.rare2]));
  const unsigned char *p1 = s.buf + s.rare1, *p2 = s.buf + s.rare2;
  size_t i = s.start;
  for (; i + 31 + s.m <= s.to; i += 32) {
    const __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p1 + i));
    const __m256i x2 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p2 + i));
    uint32_t mask = static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(x1, or1), want1),
                                              _mm256_cmpeq_epi8(_mm256_or_si256(x2, or2), want2))));
    while (mask) {
      if (PatternAt(s.buf + i + static_cast<size_t>(__builtin_ctz(mask)), s.orMask, s.want, s.m))
        return true;
      mask &= mask - 1;
    }
  }
  s.start = i;
  return false;
}
#endif

}  // namespace

TContentScanner::TContentScanner(const std::string &pattern, bool ignoreCase, size_t blockSize)
    : pattern_(pattern), blockSize_(std::max<size_t>(blockSize, 32768)) {
  const bool fold = ignoreCase && HasLetter(pattern_);
  if (fold) pattern_ = UpperCase(pattern_);
  const size_t m = pattern_.size();
  or_.assign(m, '\0');
  want_ = pattern_;
  for (size_t k = 0; k < m; ++k)
    if (fold && IsAlpha(pattern_[k])) {
      or_[k] = 0x20;
      want_[k] = static_cast<char>(pattern_[k] | 0x20);
    }
  // The two least common bytes of the pattern, at two different offsets
  // where it has two bytes.
  auto commoner = [&](size_t a, size_t b) {
    return ByteCommonness(static_cast<unsigned char>(pattern_[a])) >
           ByteCommonness(static_cast<unsigned char>(pattern_[b]));
  };
  for (size_t k = 1; k < m; ++k)
    if (commoner(rare1_, k)) rare1_ = k;
  rare2_ = rare1_ == 0 && m > 1 ? 1 : 0;
  for (size_t k = 0; k < m; ++k)
    if (k != rare1_ && commoner(rare2_, k)) rare2_ = k;
#if defined(TROVIX_HAVE_AVX2)
  avx2_ = __builtin_cpu_supports("avx2");
#endif
}

bool TContentScanner::FindIn(size_t to) const {
  const size_t m = pattern_.size();
  if (to < m) return false;
  TPairScan s{buffer_.data(),
              reinterpret_cast<const unsigned char *>(or_.data()),
              reinterpret_cast<const unsigned char *>(want_.data()),
              m,
              rare1_,
              rare2_,
              0,
              to};
#if defined(TROVIX_HAVE_AVX2)
  if (avx2_ && PairScanAvx2(s)) return true;
#endif
#if defined(__SSE2__)
  if (PairScanSse2(s)) return true;
#endif
  // The last few starts, one at a time.
  for (size_t i = s.start; i + m <= to; ++i)
    if ((s.buf[i + rare1_] | s.orMask[rare1_]) == s.want[rare1_] &&
        PatternAt(s.buf + i, s.orMask, s.want, m))
      return true;
  return false;
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
    bool end = false;
    // A file that may turn out binary is judged on its first 32 KiB before
    // the rest is read.
    const size_t want = first && textOnly ? std::min<size_t>(capacity, 32768) : capacity;
    while (filled < want) {
      const int64_t n = read(buf + filled, static_cast<int64_t>(want - filled));
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
      while (!end && filled < capacity) {
        const int64_t n = read(buf + filled, static_cast<int64_t>(capacity - filled));
        if (n < 0) return false;
        if (n == 0) end = true;
        filled += static_cast<size_t>(std::max<int64_t>(n, 0));
      }
    }
    if (!found) found = FindIn(filled);
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

bool TContentScanner::ScanFile(int handle, bool textOnly, const std::atomic<uint8_t> *state) {
  return Scan(
      [handle, state](void *buffer, int64_t count) -> int64_t {
        if (state && state->load(std::memory_order_relaxed) == ssAborting) return -1;
        return FsRead(handle, buffer, count);
      },
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

// Contents tests on threads beside the walk. The walk hands over each open
// file with its entry, in walk order; a match is given back only once every
// file handed over before it is decided, so the matches come in exactly the
// order a walk testing each file itself would store them.
class TScanPool {
 public:
  TScanPool(const TSearchParams &params, const std::atomic<uint8_t> &state, int threads)
      : params_(params), state_(state) {
    // Fewer threads (even none) when the system refuses more.
    for (int i = 0; i < threads; ++i) {
      try {
        threads_.emplace_back([this] { Work(); });
      } catch (const std::system_error &) {
        break;
      }
    }
  }
  bool Running() const { return !threads_.empty(); }
  // Finishes the files handed over (quickly when aborting) and joins.
  ~TScanPool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    work_.notify_all();
    for (std::thread &t : threads_) t.join();
  }
  TScanPool(const TScanPool &) = delete;
  TScanPool &operator=(const TScanPool &) = delete;

  // Takes over handle (the pool closes it).
  void Add(SearchEntry &&entry, int handle) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      queue_.push_back(TItem{std::move(entry), handle, false, false});
      toScan_.push_back(&queue_.back());
    }
    work_.notify_one();
  }

  // Passes the decided head of the queue, in order, to store (matches only),
  // waiting until at most keep files are left undecided.
  template <class Store>
  void Drain(size_t keep, Store store) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      while (!queue_.empty() && queue_.front().done) {
        if (queue_.front().matched) store(std::move(queue_.front().entry));
        queue_.pop_front();
      }
      if (queue_.size() <= keep) return;
      decided_.wait(lock);
    }
  }

 private:
  struct TItem {
    SearchEntry entry;
    int handle;
    bool done, matched;
  };

  void Work() {
    TContentScanner scanner(params_.ContentBytes, params_.IgnoreCase);
    for (;;) {
      TItem *item;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        work_.wait(lock, [this] { return stop_ || !toScan_.empty(); });
        if (toScan_.empty()) return;
        item = toScan_.front();
        toScan_.pop_front();
      }
      // Only this thread touches the item's handle until it is done; the
      // deque keeps the item in place while it is queued.
      const bool matched = scanner.ScanFile(item->handle, !params_.BinaryFiles, &state_);
      FsClose(item->handle);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        item->matched = matched;
        item->done = true;
      }
      decided_.notify_one();
    }
  }

  const TSearchParams &params_;
  const std::atomic<uint8_t> &state_;
  std::mutex mutex_;
  std::condition_variable work_, decided_;
  std::deque<TItem> queue_;     // handed over, in walk order
  std::deque<TItem *> toScan_;  // not yet taken by a thread
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

// Files handed to the pool and not yet decided, at most: bounds the open
// handles and the memory while the walk runs ahead.
constexpr size_t kScanAhead = 64;

class TWalker {
 public:
  explicit TWalker(TSearchJob &job) : job_(job), params_(job.Params) {
    for (std::string &part : SearchNameParts(params_.NameText)) parts_.push_back(UpperCase(part));
    if (!params_.ContentBytes.empty()) {
      if (job.ScanThreads > 0) {
        pool_ = std::make_unique<TScanPool>(params_, job.State, job.ScanThreads);
        if (!pool_->Running()) pool_.reset();
      }
      if (!pool_)
        scanner_ = std::make_unique<TContentScanner>(params_.ContentBytes, params_.IgnoreCase);
    }
  }

  bool Run() {
    FsFolderReader root;
    path_ = params_.SearchFolder;
    if (path_.empty()) return !job_.Aborting();
    if (path_.back() != PathDelim) path_ += PathDelim;
    if (root.Open(path_)) WalkFolder(root);
    if (pool_) pool_->Drain(0, [this](SearchEntry &&e) { Store(std::move(e)); });
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
        Test(folder, name, kind, info);
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

  // Stores the entry when it matches, or hands it to the pool to decide.
  void Test(FsFolderReader &folder, const std::string &name, FsKind kind, const FsEntry &info) {
    if (!scanner_ && !pool_) return Store(Entry(info));
    // Folders never match contents; links are not followed and named pipes,
    // sockets and devices are never opened.
    if ((info.attr & (faDirectory | faReparsePoint)) || kind != FsKind::File) return;
    const int handle = folder.OpenFile(name, path_ + name);
    if (handle == FsInvalidHandle) return;
    if (pool_) {
      pool_->Add(Entry(info), handle);
      pool_->Drain(kScanAhead, [this](SearchEntry &&e) { Store(std::move(e)); });
      return;
    }
    const bool found = scanner_->ScanFile(handle, !params_.BinaryFiles);
    FsClose(handle);
    if (found) Store(Entry(info));
  }

  SearchEntry Entry(const FsEntry &info) const {
    SearchEntry e;
    e.path = path_;
    e.name = info.name;
    e.size = static_cast<uint64_t>(info.size);
    e.time = info.time;
    e.attributes = info.attr;
    return e;
  }

  void Store(SearchEntry &&e) {
    job_.Results.push_back(std::move(e));
    job_.FoundCount.fetch_add(1, std::memory_order_relaxed);
  }

  TSearchJob &job_;
  const TSearchParams &params_;
  std::vector<std::string> parts_;
  std::unique_ptr<TContentScanner> scanner_;
  std::unique_ptr<TScanPool> pool_;
  std::string path_;
  std::vector<std::pair<uint64_t, uint64_t>> ancestors_;
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
  // entry has a twin exactly when its group holds two or more. The groups
  // come from an open-addressing table of entry indices.
  const size_t n = static_cast<size_t>(ResultCount);
  const bool byName = Params.SameName, bySize = Params.SameSize, byDate = Params.SameDate;
  std::vector<size_t> hashes(n);
  for (size_t i = 0; i < n; ++i) {
    const SearchEntry &e = Results[i];
    size_t h = byName ? std::hash<std::string_view>()(e.name) : 0;
    if (bySize) h = (h ^ (e.size + 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull;
    if (byDate)
      h = (h ^ (static_cast<uint64_t>(e.time) + 0x94D049BB133111EBull)) * 0x9E3779B97F4A7C15ull;
    hashes[i] = h ^ (h >> 29);
  }
  auto twins = [&](size_t a, size_t b) {
    const SearchEntry &x = Results[a], &y = Results[b];
    return (!byName || x.name == y.name) && (!bySize || x.size == y.size) &&
           (!byDate || x.time == y.time);
  };
  size_t slots = 1;
  while (slots < 2 * n) slots *= 2;
  const size_t mask = slots - 1;
  std::vector<int32_t> table(slots, -1);
  std::vector<int32_t> group(n), count(n, 0);
  for (size_t i = 0; i < n; ++i) {
    size_t h = hashes[i] & mask;
    for (;;) {
      const int32_t at = table[h];
      if (at < 0) {
        table[h] = static_cast<int32_t>(i);
        group[i] = static_cast<int32_t>(i);
        break;
      }
      if (hashes[at] == hashes[i] && twins(static_cast<size_t>(at), i)) {
        group[i] = at;
        break;
      }
      h = (h + 1) & mask;
    }
    ++count[group[i]];
  }
  for (size_t i = 0; i < n; ++i)
    Results[i].flag = count[group[i]] >= 2 ? static_cast<uint8_t>(1 - d) : d;
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
