// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tool-bar and menu images (ilToolbar): freedesktop theme icons, with
// Qt's built-in icons or small drawn ones when the desktop's theme lacks one,
// so every command shows an image on any desktop.
#include <QIcon>
#include <cstdint>

namespace trovix {

QIcon ToolbarIcon(int32_t image);

}  // namespace trovix
