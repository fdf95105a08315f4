// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The windows that live for the whole run, created in their fixed order with
// the main window as their parent, and the wiring between them: the one place
// where a new window joins the program.
namespace trovix {

class TMainForm;

// Creates MainForm and every window it owns, and connects them. Deleting
// MainForm deletes them all.
TMainForm *CreateWindows();

}  // namespace trovix
