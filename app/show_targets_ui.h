// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Folders and files given on the command line or over the session bus, shown
// in the main window.
#include <vector>

#include "app/command_line.h"

namespace trovix {

class TMainForm;

// Each target in turn: a tab that already shows its folder becomes current,
// otherwise the folder opens in a new tab; the target's entry (when it names
// one) becomes the current row. The window then comes forward.
void ShowTargets(TMainForm &form, const std::vector<OpenTarget> &targets);

}  // namespace trovix
