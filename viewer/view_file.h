// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rules by which a file is opened in a view window, without windows:
// whether anything happens, which window shows it, where a new window goes,
// and in which mode the file is shown.
#include <cstdint>
#include <functional>
#include <string>

namespace trovix {

// Modes of a view window.
enum TViewMode : uint8_t { vmEmpty = 0, vmText = 1, vmHex = 2, vmImage = 3, vmMedia = 4 };

// Position counter of new view windows, 0..15; "Close All Views" resets it.
extern int32_t ViewCascade;
// The left and top of the next new window (16 pixels a step), advancing the
// counter modulo 16.
int32_t ViewCascadeNext();

// What ViewFile does with a request, given the locked view (the newest view
// window) when there is one.
enum class TViewAction {
  Nothing,  // the locked view already shows path in the asked sense
  Reuse,    // load into the locked view
  Create,   // a new window
};
TViewAction ViewFileAction(bool lockedExists, const std::string &lockedFile, uint8_t lockedMode,
                           const std::string &path, bool newWindow, bool hex);

// How the file is shown. Image and multimedia files are recognised only
// when a recogniser is installed (the image view installs them).
enum class TViewKind { Image, Media, Text, Hex, Shell, None };
struct TViewRecognisers {
  std::function<bool(const std::string &path)> image;  // the image loader knows it
  std::function<bool(const std::string &path)> media;  // it can be played
};
TViewRecognisers &ViewRecognisers();
// Image when not hex and the image recogniser knows it; Media when not hex,
// a media player is installed and the extension is one of the options'
// multimedia extensions; Hex when hex; Text when the file looks like text;
// otherwise Shell for a new window (the desktop opens it), None for a reused
// one (it stays empty).
TViewKind ViewFileKind(const std::string &path, bool newWindow, bool hex);
// The two halves of ViewFileKind. ViewFileKindByName decides from the name
// and the options alone (Image, Media or Hex; None when the file's bytes
// decide); ViewFileProbe reads the file (Text, Shell or None), so it may
// block on a slow disk and belongs on a worker.
TViewKind ViewFileKindByName(const std::string &path, bool hex);
TViewKind ViewFileProbe(const std::string &path, bool newWindow);
// True when path's extension is one of the items of extensions (ignoring case).
bool ExtensionListed(const std::string &path, const std::string &extensions);

// The window caption: the file name, "  (HEX)" after it in hex mode.
std::string ViewCaption(const std::string &fileName, uint8_t mode);

// The largest file the text view and the hex view load: beyond these the
// view shows a message instead of exhausting memory or freezing.
inline constexpr int64_t ViewTextLimit = int64_t(512) << 20;
inline constexpr int64_t ViewHexLimit = int64_t(32) << 20;

}  // namespace trovix
