// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The summary of a search's results by file type and by folder, without its
// window: the two lists, their sort and the search for the first result of a
// row.
#include <cstdint>
#include <string>
#include <vector>

#include "search/search.h"

namespace trovix {

struct SummaryItem {
  std::string name;  // ".txt" (empty: no extension) or a folder path
  int32_t count = 0;
  uint64_t size = 0;
};

// The extension of a name from its last "." on, dot included; empty when
// the name has none.
std::string SummaryExtension(const std::string &name);

// Rebuilds both lists from the first count results, leaving out folders and
// flagged (deleted) entries, each in order of first appearance: types by
// extension ignoring letter case (named as first met), folders by their
// exact path.
void SummaryBuild(const std::vector<SearchEntry> &results, int32_t count,
                  std::vector<SummaryItem> &types, std::vector<SummaryItem> &folders);

// Ascending by column: 0 name (StrCompare), 1 count, 2 total size; equal
// items by their names byte for byte.
void SummarySort(std::vector<SummaryItem> &items, int32_t column);

// The first of the count results that a Files row (a type) or a Folders row
// (a folder) stands for, or -1. A type is found ignoring case; a folder by
// its exact path first, then ignoring case.
int32_t SummaryFindType(const std::vector<SearchEntry> &results, int32_t count,
                        const std::string &type);
int32_t SummaryFindFolder(const std::vector<SearchEntry> &results, int32_t count,
                          const std::string &folder);

}  // namespace trovix
