// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Save Image As ...": the save dialog in its image form, then the picture
// rendered at the chosen size and written in one of the eight image types.
#include <QImage>
#include <string>

#include "viewer/picture_ui.h"

class QWidget;

namespace trovix {

class TViewFileForm;
struct TFileSaveRequest;

// The image view's "Save Image As ..." for form's picture.
bool SaveImageAs(TViewFileForm *form);

// Asks where and how to save picture, shown from the file viewFileName, and
// saves it. False after Cancel and when an overwrite is declined or fails;
// true otherwise (also after the metafile-from-bitmap error). Afterwards the
// current tab of the main window lists again with the new file current.
bool SaveImageFile(QWidget *parent, const TPicture &picture, const std::string &viewFileName);

// The picture stretched onto a width x height bitmap. Normally Format_RGB32
// filled white first, which a metafile's background and a bitmap's
// transparent parts show. With transparent (an icon), Format_ARGB32 that
// keeps the bitmap's transparent parts and the pixels of the picture's
// transparent colour transparent; a metafile still shows on white.
QImage RenderForSave(const TPicture &picture, int width, int height, bool transparent = false);

// The bytes of a file of type (TImageType, not a metafile type) holding
// bitmap, with request's JPEG quality and GIF corner. False with a reason.
bool EncodeImageFile(const QImage &bitmap, int type, const TFileSaveRequest &request,
                     std::string &out, std::string &error);

}  // namespace trovix
