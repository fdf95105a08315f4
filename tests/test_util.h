// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers shared by the test programs.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace trovix::test {

// A new empty folder under the system's temporary folder for one test,
// removed with everything in it when the object goes. path() ends with "/".
class TempFolder {
 public:
  explicit TempFolder(const std::string &tag = "trovix") {
    std::string pattern = (std::filesystem::temp_directory_path() / (tag + "-XXXXXX")).string();
    const char *made = mkdtemp(pattern.data());
    path_ = made ? std::string(made) + "/" : std::string();
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder &) = delete;
  TempFolder &operator=(const TempFolder &) = delete;

  const std::string &path() const { return path_; }
  // The full path of name inside the folder.
  std::string operator/(const std::string &name) const { return path_ + name; }

 private:
  std::string path_;
};

// A file's whole contents, and a file made to hold exactly bytes (its folders
// made as needed).
inline std::string ReadAll(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void WriteAll(const std::string &path, const std::string &bytes) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  std::ofstream(path, std::ios::binary) << bytes;
}

// An environment variable set (or, given no value, unset) for the life of the
// object, then restored.
class ScopedEnv {
 public:
  ScopedEnv(const std::string &name, const std::optional<std::string> &value) : name_(name) {
    if (const char *old = std::getenv(name.c_str())) old_ = old;
    value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
  }
  ~ScopedEnv() { old_ ? setenv(name_.c_str(), old_->c_str(), 1) : unsetenv(name_.c_str()); }
  ScopedEnv(const ScopedEnv &) = delete;
  ScopedEnv &operator=(const ScopedEnv &) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace trovix::test
