// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/summary.h"

#include <algorithm>
#include <unordered_map>

#include "foundation/file_system.h"
#include "foundation/strings.h"

namespace trovix {

std::string SummaryExtension(const std::string &name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

void SummaryBuild(const std::vector<SearchEntry> &results, int32_t count,
                  std::vector<SummaryItem> &types, std::vector<SummaryItem> &folders) {
  types.clear();
  folders.clear();
  std::unordered_map<std::string, size_t> typeIndex, folderIndex;
  const int32_t n = std::clamp<int32_t>(count, 0, static_cast<int32_t>(results.size()));
  for (int32_t i = 0; i < n; ++i) {
    const SearchEntry &e = results[i];
    if ((e.attributes & faDirectory) || e.flag != 0) continue;
    std::string ext = SummaryExtension(e.name);
    auto t = typeIndex.try_emplace(UpperCase(ext), types.size());
    if (t.second) types.push_back(SummaryItem{ext, 0, 0});
    SummaryItem &type = types[t.first->second];
    ++type.count;
    type.size += e.size;
    auto f = folderIndex.try_emplace(e.path, folders.size());
    if (f.second) folders.push_back(SummaryItem{e.path, 0, 0});
    SummaryItem &folder = folders[f.first->second];
    ++folder.count;
    folder.size += e.size;
  }
}

void SummarySort(std::vector<SummaryItem> &items, int32_t column) {
  std::sort(items.begin(), items.end(), [column](const SummaryItem &a, const SummaryItem &b) {
    if (column == 1 && a.count != b.count) return a.count < b.count;
    if (column == 2 && a.size != b.size) return a.size < b.size;
    if (column == 0) {
      const int32_t r = StrCompare(a.name, b.name);
      if (r != 0) return r < 0;
    }
    return a.name < b.name;
  });
}

int32_t SummaryFindType(const std::vector<SearchEntry> &results, int32_t count,
                        const std::string &type) {
  const int32_t n = std::clamp<int32_t>(count, 0, static_cast<int32_t>(results.size()));
  for (int32_t i = 0; i < n; ++i)
    if (!(results[i].attributes & faDirectory) && StrSame(SummaryExtension(results[i].name), type))
      return i;
  return -1;
}

int32_t SummaryFindFolder(const std::vector<SearchEntry> &results, int32_t count,
                          const std::string &folder) {
  const int32_t n = std::clamp<int32_t>(count, 0, static_cast<int32_t>(results.size()));
  for (int32_t i = 0; i < n; ++i)
    if (results[i].path == folder) return i;
  for (int32_t i = 0; i < n; ++i)
    if (StrSame(results[i].path, folder)) return i;
  return -1;
}

}  // namespace trovix
