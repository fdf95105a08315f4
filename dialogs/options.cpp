// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/options.h"

#include "foundation/settings.h"

namespace trovix {

std::atomic<bool> CheckSizeOnly{false};
std::atomic<bool> WarnOverwriteOlder{false};
std::string CopyXExclusions;

namespace {
constexpr char kWarnOlderKey[] = "CopyMoveWarnOlder";
constexpr char kCopyXKey[] = "CopyXExclusions";
}  // namespace

void OptionsLoad() {
  CheckSizeOnly = false;
  WarnOverwriteOlder = INIReadNum(kWarnOlderKey, 0) != 0;
  CopyXExclusions = INIRead(kCopyXKey);
}

void OptionsSave() {
  INIWriteNum(kWarnOlderKey, WarnOverwriteOlder ? 1 : 0);
  INIWrite(kCopyXKey, CopyXExclusions);
}

}  // namespace trovix
