// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file search without its window: the results, the walk below a start
// folder with its name and contents tests, the duplicate and unique filter,
// the sort orders, the cut and total, deletions, and the worker thread that
// runs one of them at a time for a search window.
//
// Sharing between the window and its worker: a TSearchJob belongs to its
// window. Before starting a worker the window fills the parameters and sets
// State to the request and Busy to true; while Busy is true only the worker
// touches Results, ResultCount, TotalSize and the flags, and the window may
// only read State, Busy and FoundCount and ask to stop (RequestAbort). The
// worker's last act is clearing Busy, after which everything is the window's
// again.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace trovix {

// One found file or folder.
struct SearchEntry {
  std::string path;  // the folder holding the entry, ending with PathDelim
  std::string name;
  uint64_t size = 0;
  int64_t time = 0;  // last write, file time
  uint32_t attributes = 0;
  uint8_t flag = 0;  // 1: dropped by the duplicate filter, or deleted here
};

enum SearchState : uint8_t {
  ssIdle = 0,
  ssSearching = 1,
  ssSearched = 2,
  ssSorting = 3,
  ssReady = 4,
  ssAborting = 5,
  ssDeleting = 6,
};

enum SearchSortKey : uint8_t { skName = 0, skExtension = 1, skPath = 2, skSize = 3, skDate = 4 };

// What a search looks for; the window's controls, copied when Search is
// pressed so that the worker never reads a widget.
struct TSearchParams {
  std::string SearchFolder;  // ends with PathDelim
  std::string NameText;      // name parts (StrGetItem items)
  std::string ContentBytes;  // empty: no contents test
  bool SubFolders = true;
  bool IgnoreCase = true;
  bool BinaryFiles = false;
  bool UniquesOnly = false;
  bool DuplicatesOnly = false;
  bool SameName = true;
  bool SameSize = true;
  bool SameDate = true;
};

// ---- Matching --------------------------------------------------------------------

// The items of a name text (StrGetItem: spaces, tabs and commas separate,
// double quotes group, "_" is a space).
std::vector<std::string> SearchNameParts(const std::string &nameText);
// True when every part occurs in name, ignoring the case of ASCII letters
// (as StrPos finds it). Parts must be given upper-cased (UpperCase).
bool SearchNameMatches(const std::string &name, const std::vector<std::string> &upperParts);

// The contents text read as mixed hexadecimal and quoted text (StrToBytes);
// false when it does not parse, leaving bytes as it was.
bool SearchHexContents(const std::string &text, std::string &bytes);
inline constexpr char SearchHexError[] =
    "|1|bContents must contain hex and/or quoted text|nExample  |i\"Column1\" 09 \"Column2\"";

// Finds pattern in a stream read block by block: each block keeps the last
// pattern length - 1 bytes of the one before, so a match across a block
// boundary is found. With ignoreCase, ASCII letters of both sides compare
// through UpCase.
class TContentScanner {
 public:
  TContentScanner(const std::string &pattern, bool ignoreCase, size_t blockSize = 1 << 20);
  // Reads through read (bytes read, 0 at the end, -1 on failure) until the
  // end. Returns true when the pattern was met and the stream could be read
  // to its end. With textOnly, a stream whose first 32 KiB do not look like
  // text (FileIsTextBytes) fails at once.
  bool Scan(const std::function<int64_t(void *buffer, int64_t count)> &read, bool textOnly);
  // The same over a file of an open folder. When state turns to aborting,
  // the scan ends at the next read with no match.
  bool ScanFile(int handle, bool textOnly, const std::atomic<uint8_t> *state = nullptr);

 private:
  bool FindIn(size_t to) const;  // the pattern within buffer_[0, to)
  std::string pattern_;          // upper-cased when ignoring case
  // A byte b of the text equals pattern byte k when (b | or_[k]) == want_[k]:
  // or_ is 0x20 at letters when ignoring case (either case then matches the
  // lower one), 0 elsewhere.
  std::string or_, want_;
  // Candidates are the places where the pattern's two rarest bytes (at
  // offsets rare1_ and rare2_) both fit, tested 16 or 32 places at a time.
  size_t rare1_ = 0, rare2_ = 0;
  bool avx2_ = false;
  size_t blockSize_;
  std::vector<unsigned char> buffer_;
};

// ---- Comparison and sort ---------------------------------------------------------

// Negative when a comes before b under key, positive after, 0 only for
// entries equal byte for byte in path and name (and flag and every field the
// key looks at). Ties of the key's own rules are ordered byte for byte by
// name and path, so the order never depends on the listing.
int SearchCompare(const SearchEntry &a, const SearchEntry &b, uint8_t key);

// ---- The job of one search window -----------------------------------------------

class TSearchJob {
 public:
  TSearchParams Params;
  uint8_t SortKey = skName;
  std::vector<SearchEntry> Results;
  int32_t ResultCount = 0;
  std::atomic<int32_t> FoundCount{0};  // matches met by the running walk
  uint64_t TotalSize = 0;
  std::atomic<uint8_t> State{ssIdle};
  std::atomic<bool> Busy{false};
  // Threads testing contents beside the walk; 0 tests each file in the walk
  // itself. The results are the same in content and order either way.
  int ScanThreads = 2;
  // Rows (1-based, as the grid counts them) of the selection to delete.
  int32_t DeleteTop = 0, DeleteBottom = 0;

  // Asks a running walk, sort or deletion to stop; nothing when no worker
  // state is active. Safe from any thread.
  void RequestAbort();
  bool Aborting() const { return State.load(std::memory_order_relaxed) == ssAborting; }

  // The steps of the worker, each usable on its own (tests).
  // Lists the matches below Params.SearchFolder into Results; false when
  // stopped. Links are listed but never entered.
  bool Walk();
  // Flags entries as the duplicate or unique filter says (only when one of
  // the two is chosen).
  void Filter();
  // Sorts Results[0, ResultCount) by SortKey; false when stopped early (the
  // entries are then partly sorted).
  bool Sort();
  // Drops the entries from the first flagged one on, and totals the sizes.
  void CutAndTotal();
  // Deletes the files of rows DeleteTop..DeleteBottom (forced) and flags
  // them; false when stopped.
  bool DeleteRows();

  // One worker run for the request in State (searching, sorting or
  // deleting), ending with State ready and Busy cleared.
  void Run();
};

// The worker of a search window: one thread per request, joinable and owned
// by the window, which joins it once Busy is clear (or at destruction).
class TSearchSortThread {
 public:
  explicit TSearchSortThread(TSearchJob &job) : job_(job) {}
  ~TSearchSortThread();
  TSearchSortThread(const TSearchSortThread &) = delete;
  TSearchSortThread &operator=(const TSearchSortThread &) = delete;
  // Sets Busy and starts a run for job.State; false while one runs.
  bool Start();
  // Waits for the run to end (nothing when none was started).
  void Join();
  bool Joinable() const { return thread_.joinable(); }

 private:
  TSearchJob &job_;
  std::thread thread_;
};

}  // namespace trovix
