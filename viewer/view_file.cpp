// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/view_file.h"

#include "dialogs/options.h"
#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/string_arrays.h"
#include "foundation/strings.h"

namespace trovix {

int32_t ViewCascade = 0;

int32_t ViewCascadeNext() {
  int32_t position = 16 * ViewCascade;
  ViewCascade = (ViewCascade + 1) % 16;
  return position;
}

TViewAction ViewFileAction(bool lockedExists, const std::string &lockedFile, uint8_t lockedMode,
                           const std::string &path, bool newWindow, bool hex) {
  if (lockedExists && lockedFile == path && (lockedMode == vmHex) == hex)
    return TViewAction::Nothing;
  if (!newWindow && lockedExists) return TViewAction::Reuse;
  return TViewAction::Create;
}

TViewRecognisers &ViewRecognisers() {
  static TViewRecognisers recognisers;
  return recognisers;
}

bool ExtensionListed(const std::string &path, const std::string &extensions) {
  size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = name.substr(dot + 1);
  if (ext.empty()) return false;
  int32_t pos = 1;
  for (;;) {
    std::string item = StrGetItem(extensions, pos);
    if (item.empty()) return false;
    if (StrSame(item, ext)) return true;
  }
}

TViewKind ViewFileKindByName(const std::string &path, bool hex) {
  const TViewRecognisers &r = ViewRecognisers();
  if (!hex && r.image && r.image(path)) return TViewKind::Image;
  if (!hex && r.media && ExtensionListed(path, OptionMultimediaExtensions()) && r.media(path))
    return TViewKind::Media;
  return hex ? TViewKind::Hex : TViewKind::None;
}

TViewKind ViewFileProbe(const std::string &path, bool newWindow) {
  if (FileIsText(path)) return TViewKind::Text;
  // A file that cannot be read goes to the text view, which reports it.
  int fd = FsOpenRead(path);
  if (fd == FsInvalidHandle) return TViewKind::Text;
  FsClose(fd);
  return newWindow ? TViewKind::Shell : TViewKind::None;
}

TViewKind ViewFileKind(const std::string &path, bool newWindow, bool hex) {
  const TViewKind kind = ViewFileKindByName(path, hex);
  return kind != TViewKind::None ? kind : ViewFileProbe(path, newWindow);
}

std::string ViewCaption(const std::string &fileName, uint8_t mode) {
  return mode == vmHex ? fileName + "  (HEX)" : fileName;
}

}  // namespace trovix
