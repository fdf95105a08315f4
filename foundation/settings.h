// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings store: every setting of the program as lines of key TAB value,
// loaded from one file at start, read and changed in memory during the run and
// written back once, at exit.
//
// Lookup: the first line whose key (the text before its first tab, the whole
// line when it has none) equals the key byte for byte. Reading a key that is
// not there appends a line holding the key alone, so the saved file lists
// every key the program asked for. New keys go to the end.
//
// File: plain 8-bit text, lines end in CR LF when written; CR LF, CR alone or
// LF alone end a line when read. The file is replaced through a temporary file
// in the same folder, so a failed or interrupted save leaves the old one whole;
// it keeps its mode (a new file is 0600), and a link to it stays a link: the
// save goes to its target, which is created when missing.
//
// Main thread only.
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace trovix {

// The ordered list of lines (not sorted, duplicates allowed) with an index
// from key to its first line, kept in step with the lines.
class TINIStore {
 public:
  // Index of the key's first line; when none matches, a line holding only the
  // key is appended and its index returned.
  size_t Find(const std::string &key);
  // Index of the key's first line, or -1; never appends.
  long IndexOf(const std::string &key) const;
  std::string Value(size_t index) const;  // the text after the first tab
  void SetLine(size_t index, const std::string &line);
  void Delete(size_t index);
  void Append(const std::string &line);

  const std::vector<std::string> &Lines() const { return lines_; }
  size_t Count() const { return lines_.size(); }
  void Clear();

  // Replaces the lines with those of text: CR LF, CR or LF end a line, a last
  // line without an end counts, every other byte (NUL included) is kept.
  void SetText(const std::string &text);
  // Every line followed by CR LF.
  std::string Text() const;

  // The key of a line: everything before its first tab.
  static std::string KeyOf(const std::string &line);

 private:
  void Reindex();
  std::vector<std::string> lines_;
  std::unordered_map<std::string, size_t> index_;
};

// The folder of the executable, ending with PathDelim.
extern std::string INIFolder;
// The full name of the settings file; empty after INIUninit.
extern std::string INIFilename;
// The store, from start to exit.
extern TINIStore INIStore;

// The value of key; empty when absent (the key is then appended alone).
std::string INIRead(const std::string &key);
// INIRead (key), or def when that is empty.
std::string INIReadInit(const std::string &key, const std::string &def);
// StrToNum of the value when it is not empty, else def.
int INIReadNum(const std::string &key, int def);
// The key's line becomes key TAB value (appended when the key is new). A line
// break inside key or value would split the line in the file, and a tab in a
// key would move the key/value boundary: those bytes are stored as spaces.
void INIWrite(const std::string &key, const std::string &value);
void INIWriteNum(const std::string &key, int value);
// Deletes the key's first line; nothing happens when the key is absent.
void INIRemove(const std::string &key);
// The raw line at index (from 0): "<blank>" for an empty line, empty past the
// last line.
std::string INIReadLine(long index);

// Sets INIFilename from name (INIFolder put in front when name has no folder,
// ".ini" appended when its file-name part has no "."), empties the store and
// loads the file. True when the file existed and was read completely.
bool INIInit(const std::string &name);
// As INIInit, with fileName used exactly as given.
bool INIInitFile(const std::string &fileName);
// Writes the store to INIFilename when that is set. Failures are silent and
// leave the old file as it was. An existing file that could not be read at
// INIInit is never written over: its settings would be lost.
void INIBackup();
// INIBackup, then INIFilename is cleared.
void INIUninit();

// Start of the program, before any window: INIFolder = the folder of
// executablePath, then the settings file is chosen and loaded:
//  - the file named by the environment variable TROVIX_INI, when set;
//  - else INIFolder + title (+ ".ini"), title defaulting to the executable's
//    name without extension;
//  - else, when INIFolder is not writable or the program is installed (its
//    folder's ../share/applications holds io.github.trovix.Trovix.desktop),
//    $XDG_CONFIG_HOME/trovix/Trovix.ini (~/.config when XDG_CONFIG_HOME is
//    unset).
// The result is INIInit's.
bool INIStartup(const std::string &executablePath, const std::string &title = "");
// End of the program: INIUninit (which saves), then the store is emptied.
void INIShutdown();

}  // namespace trovix
