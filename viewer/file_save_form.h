// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "File Save / Convert": chooses the folder, name and type under which a
// view's content is saved. Created at start; view windows ask it through
// FileSaveAsk. Its buttons end it with fsrSave ("Save", also Enter),
// fsrDontSave ("Don't Save") and fsrCancel ("Cancel", also Esc).
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace trovix {

class TEditUpDown;
class TFolderTree;
class TSlider;

inline constexpr int fsrSave = 6;
inline constexpr int fsrDontSave = 7;
inline constexpr int fsrCancel = 2;

// What the dialog starts with and what the user chose.
struct TFileSaveRequest {
  std::string folder;              // ends with PathDelim
  std::string name;                // file name with extension
  std::vector<std::string> types;  // the type list
  int type = 0;                    // index into types, -1 for none
  // The image options panel: shown when imageOptions is set. The three
  // numbers come from and go back to the settings "SizeHeight",
  // "JPGCompression" and "GIFTransparency"; originalSize is the dialog's
  // own state.
  bool imageOptions = false;
  bool originalSize = true;
  int sizeHeight = 256;
  int jpgCompression = 70;
  int gifTransparency = 0;
};

// The image options' settings, read with their defaults and kept in range.
void LoadImageSaveOptions(TFileSaveRequest &request);
void StoreImageSaveOptions(const TFileSaveRequest &request);

class TFileSaveForm : public QDialog {
  Q_OBJECT
 public:
  explicit TFileSaveForm(QWidget *parent = nullptr);

  TFolderTree *FolderTree = nullptr;
  QWidget *pFilename = nullptr;
  QLineEdit *eFilename = nullptr;
  QComboBox *cbFileType = nullptr;
  QWidget *pOptions = nullptr;  // the image options (shown by the image save)
  QCheckBox *cbSizeOriginal = nullptr;
  TEditUpDown *eSizeHeight = nullptr;
  TSlider *eJPGCompression = nullptr;
  QComboBox *cbGIFTransparency = nullptr;
  QWidget *pToolbar = nullptr;
  QPushButton *bOK = nullptr;
  QPushButton *bDontSave = nullptr;
  QPushButton *bCancel = nullptr;

  // Shows the dialog modally for request (the image options only when it asks
  // for them) and returns the result; request holds the choice afterwards.
  int Execute(TFileSaveRequest &request);

  void bOKClick();
  void bDontSaveClick();
  void bCancelClick();

 protected:
  void keyPressEvent(QKeyEvent *event) override;
  void showEvent(QShowEvent *event) override;

 private:
  void FormShow();
  bool treeReady_ = false;
};

extern TFileSaveForm *FileSaveForm;

// Tests answer the dialog without showing it: the answerer may change the
// request and returns the result.
using TFileSaveAnswerer = std::function<int(TFileSaveRequest &request)>;
void SetFileSaveAnswerer(TFileSaveAnswerer answerer);

// The answerer's answer when one is set, else the dialog's (FileSaveForm,
// created on first use when the program made none).
int FileSaveAsk(TFileSaveRequest &request, QWidget *parent);

}  // namespace trovix
