// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/settings.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "foundation/file_system.h"
#include "foundation/strings.h"

namespace trovix {

std::string INIFolder;
std::string INIFilename;
TINIStore INIStore;

namespace {

// Set when INIInit found a file it could not read: writing the store over it
// at exit would throw away every setting it holds.
bool LoadFailed = false;

// Tab, CR and LF in a key, CR and LF in a value: bytes that would change how
// the line reads back from the file.
std::string Clean(const std::string &s, bool key) {
  std::string r = s;
  for (char &c : r)
    if (c == '\r' || c == '\n' || (key && c == '\t')) c = ' ';
  return r;
}

std::string FolderOf(const std::string &path) {
  size_t p = path.rfind(PathDelim);
  return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

std::string NameOf(const std::string &path) {
  size_t p = path.rfind(PathDelim);
  return p == std::string::npos ? path : path.substr(p + 1);
}

// A name beside target that no other file is likely to have.
std::string TempName(const std::string &target, unsigned attempt) {
  static unsigned counter = 0;
  auto ticks =
      static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  unsigned long long mix = ticks * 0x9E3779B97F4A7C15ull + (++counter) * 7919u + attempt;
  char buf[24];
  std::snprintf(buf, sizeof buf, "%08llx", (mix >> 20) & 0xFFFFFFFFull);
  return target + "." + buf + ".tmp";
}

// Creates a new temporary file beside target; its name goes to temp.
int CreateTemp(const std::string &target, std::string &temp) {
  for (unsigned attempt = 0; attempt < 16; ++attempt) {
    temp = TempName(target, attempt);
    int h = FsCreate(temp, true);
    if (h != FsInvalidHandle) return h;
    if (FsLastError() != EEXIST) break;
  }
  temp.clear();
  return FsInvalidHandle;
}

bool WriteAll(int h, const std::string &data) {
  const char *p = data.data();
  int64_t left = static_cast<int64_t>(data.size());
  while (left > 0) {
    int64_t n = FsWrite(h, p, left);
    if (n <= 0) return false;  // failure, or a full disk
    p += n;
    left -= n;
  }
  return true;
}

// The file a save writes: fileName itself, or the end of the chain of links
// at it (a relative target counts from its link's folder), which need not
// exist yet. False for a loop or an unreadable link.
bool SaveTarget(const std::string &fileName, std::string &target) {
  target = fileName;
  for (int hops = 0; hops < 40; ++hops) {
    if (!FsIsLink(target)) return FsLastError() == 0 || FsLastError() == ENOENT;
    std::string next;
    if (!FsReadLink(target, next) || next.empty()) return false;
    target = next[0] == PathDelim ? next : FolderOf(target) + next;
  }
  return false;
}

// Writes data to fileName through a temporary file beside the file it names
// (through links), which replaces it only when everything is written and on
// disk. The old file's mode is kept (0600 for a new one, settings are the
// user's own); a link stays a link.
bool SaveFile(const std::string &fileName, const std::string &data) {
  std::string target;
  if (!SaveTarget(fileName, target)) return false;
  uint32_t mode = 0600;
  if (FsGetMode(target, mode)) mode &= 0777;
  std::string folder = FolderOf(target);
  if (!folder.empty() && !FsFolderExists(folder)) FsCreateFolders(folder);
  std::string temp;
  int h = CreateTemp(target, temp);
  if (h == FsInvalidHandle) return false;
  // Before any byte is written. A file system without modes (vfat) refuses;
  // the settings are saved all the same.
  FsSetMode(h, mode);
  bool ok = WriteAll(h, data) && FsSync(h);
  ok = FsClose(h) && ok;
  ok = ok && FsReplace(temp, target);
  if (!ok) FsDeleteFile(temp);
  if (ok) FsSyncFolder(folder);  // the rename itself on disk
  return ok;
}

enum class LoadResult { Missing, Loaded, Failed };

LoadResult LoadFile(const std::string &fileName, std::string &data) {
  data.clear();
  if (!FsExists(fileName)) return LoadResult::Missing;
  int h = FsOpenRead(fileName);
  // A link to a file not made yet: the save creates it.
  if (h == FsInvalidHandle)
    return FsLastError() == ENOENT ? LoadResult::Missing : LoadResult::Failed;
  bool ok = true;
  try {
    std::string chunk(1 << 20, '\0');
    for (;;) {
      int64_t n = FsRead(h, chunk.data(), static_cast<int64_t>(chunk.size()));
      if (n < 0) {
        ok = false;
        break;
      }
      if (n == 0) break;
      data.append(chunk.data(), static_cast<size_t>(n));
    }
  } catch (const std::bad_alloc &) {
    ok = false;
  } catch (const std::length_error &) {
    ok = false;
  }
  FsClose(h);
  if (!ok) data.clear();
  return ok ? LoadResult::Loaded : LoadResult::Failed;
}

// True when a file can be created in folder.
bool FolderWritable(const std::string &folder) {
  std::string temp;
  int h = CreateTemp(folder + ".trovix-probe", temp);
  if (h == FsInvalidHandle) return false;
  FsClose(h);
  FsDeleteFile(temp);
  return true;
}

std::string Env(const char *name) {
  const char *v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

}  // namespace

// ---- TINIStore ----

std::string TINIStore::KeyOf(const std::string &line) {
  size_t t = line.find('\t');
  return t == std::string::npos ? line : line.substr(0, t);
}

long TINIStore::IndexOf(const std::string &key) const {
  auto it = index_.find(key);
  return it == index_.end() ? -1 : static_cast<long>(it->second);
}

size_t TINIStore::Find(const std::string &key) {
  auto it = index_.find(key);
  if (it != index_.end()) return it->second;
  Append(key);
  return lines_.size() - 1;
}

std::string TINIStore::Value(size_t index) const {
  if (index >= lines_.size()) return std::string();
  const std::string &line = lines_[index];
  size_t t = line.find('\t');
  return t == std::string::npos ? std::string() : line.substr(t + 1);
}

void TINIStore::SetLine(size_t index, const std::string &line) {
  if (index >= lines_.size()) return;
  std::string oldKey = KeyOf(lines_[index]);
  std::string newKey = KeyOf(line);
  lines_[index] = line;
  if (oldKey == newKey) return;
  // Rare (callers keep the key): the simplest correct answer is a new index.
  Reindex();
}

void TINIStore::Delete(size_t index) {
  if (index >= lines_.size()) return;
  std::string key = KeyOf(lines_[index]);
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(index));
  for (auto &entry : index_)
    if (entry.second > index) --entry.second;
  auto it = index_.find(key);
  if (it != index_.end() && it->second == index) {
    // The removed line was the key's first: a later duplicate takes over.
    index_.erase(it);
    for (size_t i = index; i < lines_.size(); ++i)
      if (KeyOf(lines_[i]) == key) {
        index_.emplace(key, i);
        break;
      }
  }
}

void TINIStore::Append(const std::string &line) {
  lines_.push_back(line);
  index_.emplace(KeyOf(line), lines_.size() - 1);  // keeps an earlier first line
}

void TINIStore::Clear() {
  lines_.clear();
  index_.clear();
}

void TINIStore::Reindex() {
  index_.clear();
  for (size_t i = 0; i < lines_.size(); ++i) index_.emplace(KeyOf(lines_[i]), i);
}

void TINIStore::SetText(const std::string &text) {
  lines_.clear();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) {
      lines_.push_back(text.substr(pos));
      break;
    }
    lines_.push_back(text.substr(pos, end - pos));
    pos = end + 1;
    if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
  }
  Reindex();
}

std::string TINIStore::Text() const {
  size_t total = 0;
  for (const auto &line : lines_) total += line.size() + 2;
  std::string text;
  text.reserve(total);
  for (const auto &line : lines_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

// ---- Access by key ----

std::string INIRead(const std::string &key) {
  return INIStore.Value(INIStore.Find(Clean(key, true)));
}

std::string INIReadInit(const std::string &key, const std::string &def) {
  std::string v = INIRead(key);
  return v.empty() ? def : v;
}

int INIReadNum(const std::string &key, int def) {
  std::string v = INIRead(key);
  return v.empty() ? def : static_cast<int>(StrToNum(v));
}

void INIWrite(const std::string &key, const std::string &value) {
  std::string k = Clean(key, true);
  INIStore.SetLine(INIStore.Find(k), k + '\t' + Clean(value, false));
}

void INIWriteNum(const std::string &key, int value) { INIWrite(key, NumToStr(value)); }

void INIRemove(const std::string &key) {
  long i = INIStore.IndexOf(Clean(key, true));
  if (i >= 0) INIStore.Delete(static_cast<size_t>(i));
}

std::string INIReadLine(long index) {
  if (index < 0 || static_cast<size_t>(index) >= INIStore.Count()) return std::string();
  const std::string &line = INIStore.Lines()[static_cast<size_t>(index)];
  return line.empty() ? std::string("<blank>") : line;
}

// ---- The file ----

bool INIInitFile(const std::string &fileName) {
  INIFilename = fileName;
  INIStore.Clear();
  LoadFailed = false;
  std::string data;
  switch (LoadFile(fileName, data)) {
    case LoadResult::Missing: return false;
    case LoadResult::Failed: LoadFailed = true; return false;
    case LoadResult::Loaded: break;
  }
  try {
    INIStore.SetText(data);
  } catch (const std::bad_alloc &) {
    INIStore.Clear();
    LoadFailed = true;
    return false;
  }
  return true;
}

bool INIInit(const std::string &name) {
  std::string fileName = name;
  if (fileName.find(PathDelim) == std::string::npos) fileName = INIFolder + fileName;
  if (NameOf(fileName).find('.') == std::string::npos) fileName += ".ini";
  return INIInitFile(fileName);
}

void INIBackup() {
  if (INIFilename.empty() || LoadFailed) return;
  try {
    SaveFile(INIFilename, INIStore.Text());
  } catch (const std::bad_alloc &) {
    // Not enough memory to build the text: the old file stays.
  }
}

void INIUninit() {
  INIBackup();
  INIFilename.clear();
  LoadFailed = false;
}

bool INIStartup(const std::string &executablePath, const std::string &title) {
  INIFolder = FolderOf(executablePath);
  std::string override = Env("TROVIX_INI");
  if (!override.empty()) return INIInitFile(override);

  std::string name = title;
  if (name.empty()) {
    name = NameOf(executablePath);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
  }
  if (name.empty()) name = "Trovix";

  // An installed program (PREFIX/bin beside PREFIX/share/applications with
  // its desktop entry) never writes into the system's program folder, even
  // when root runs it.
  const bool installed =
      FsExists(INIFolder + "../share/applications/io.github.trovix.Trovix.desktop");
  if (installed || !FolderWritable(INIFolder.empty() ? std::string("./") : INIFolder)) {
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != PathDelim) {
      std::string home = Env("HOME");
      config = home.empty() ? std::string() : home + PathDelim + ".config";
    }
    if (!config.empty()) {
      if (config.back() != PathDelim) config += PathDelim;
      return INIInitFile(config + "trovix" + PathDelim + "Trovix.ini");
    }
  }

  bool result = INIInit(name);
  // A title that names the executable itself (its name has a ".") must never
  // make the settings file overwrite the program.
  if (INIFilename == executablePath || (INIFolder + NameOf(executablePath)) == INIFilename)
    result = INIInitFile(INIFilename + ".ini");
  return result;
}

void INIShutdown() {
  INIUninit();
  INIStore.Clear();
}

}  // namespace trovix
