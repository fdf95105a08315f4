// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/file_save_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "browser/folder_tree.h"
#include "browser/folder_tree_ui.h"
#include "dialogs/controls_ui.h"
#include "dialogs/options_ui.h"
#include "foundation/platform_ui.h"
#include "foundation/settings.h"

namespace trovix {

TFileSaveForm *FileSaveForm = nullptr;

namespace {

TFileSaveAnswerer &Answerer() {
  static TFileSaveAnswerer answerer;
  return answerer;
}

}  // namespace

void LoadImageSaveOptions(TFileSaveRequest &request) {
  request.sizeHeight = std::clamp(INIReadNum("SizeHeight", 256), 8, 999999);
  request.jpgCompression = std::clamp(INIReadNum("JPGCompression", 70), 1, 100);
  request.gifTransparency = std::clamp(INIReadNum("GIFTransparency", 0), 0, 4);
}

void StoreImageSaveOptions(const TFileSaveRequest &request) {
  INIWriteNum("SizeHeight", request.sizeHeight);
  INIWriteNum("JPGCompression", request.jpgCompression);
  INIWriteNum("GIFTransparency", request.gifTransparency);
}

void SetFileSaveAnswerer(TFileSaveAnswerer answerer) { Answerer() = std::move(answerer); }

TFileSaveForm::TFileSaveForm(QWidget *parent) : QDialog(parent, Qt::Tool) {
  setObjectName("FileSaveForm");
  setWindowTitle("File Save / Convert");
  setWindowFlag(Qt::WindowStaysOnTopHint);
  setMinimumWidth(200);
  resize(420, 380);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto *body = new QHBoxLayout;
  auto *left = new QVBoxLayout;
  FolderTree = new TFolderTree(this);
  left->addWidget(FolderTree, 1);
  pFilename = new QWidget(this);
  auto *nameRow = new QHBoxLayout(pFilename);
  nameRow->setContentsMargins(4, 4, 4, 4);
  eFilename = new QLineEdit(pFilename);
  eFilename->setObjectName("eFilename");
  cbFileType = new QComboBox(pFilename);
  cbFileType->setObjectName("cbFileType");
  nameRow->addWidget(eFilename, 2);
  nameRow->addWidget(cbFileType, 1);
  left->addWidget(pFilename);
  body->addLayout(left, 1);
  pOptions = new QWidget(this);
  pOptions->setObjectName("pOptions");
  auto *options = new QVBoxLayout(pOptions);
  options->setContentsMargins(4, 4, 4, 4);

  auto *sizeBox = new QGroupBox("Target Size", pOptions);
  auto *sizeLayout = new QVBoxLayout(sizeBox);
  cbSizeOriginal = new QCheckBox("Original Size", sizeBox);
  cbSizeOriginal->setObjectName("cbSizeOriginal");
  cbSizeOriginal->setChecked(true);
  sizeLayout->addWidget(cbSizeOriginal);
  auto *heightRow = new QHBoxLayout;
  heightRow->addWidget(new QLabel("Height", sizeBox));
  eSizeHeight = new TEditUpDown(sizeBox);
  eSizeHeight->setObjectName("eSizeHeight");
  eSizeHeight->SetMin(8);
  eSizeHeight->SetMax(999999);
  eSizeHeight->SetValue(256);
  heightRow->addWidget(eSizeHeight, 1);
  sizeLayout->addLayout(heightRow);
  options->addWidget(sizeBox);
  // The height matters only when the original size is not kept.
  auto followOriginal = [this] { eSizeHeight->setEnabled(!cbSizeOriginal->isChecked()); };
  connect(cbSizeOriginal, &QCheckBox::toggled, this, followOriginal);
  followOriginal();

  auto *jpgBox = new QGroupBox("JPG Options", pOptions);
  auto *jpgLayout = new QVBoxLayout(jpgBox);
  jpgLayout->addWidget(new QLabel("Compression", jpgBox));
  eJPGCompression = new TSlider(jpgBox);
  eJPGCompression->setObjectName("eJPGCompression");
  eJPGCompression->SetRange(1, 100);
  eJPGCompression->SetKnobThickness(24);
  eJPGCompression->SetKnobText(true);
  eJPGCompression->setMinimumSize(120, 22);
  jpgLayout->addWidget(eJPGCompression);
  options->addWidget(jpgBox);

  auto *gifBox = new QGroupBox("GIF Options", pOptions);
  auto *gifLayout = new QVBoxLayout(gifBox);
  gifLayout->addWidget(new QLabel("Transparency", gifBox));
  cbGIFTransparency = new QComboBox(gifBox);
  cbGIFTransparency->setObjectName("cbGIFTransparency");
  cbGIFTransparency->addItems({"None", "Top Left", "Top Right", "Bottom Left", "Bottom Right"});
  gifLayout->addWidget(cbGIFTransparency);
  options->addWidget(gifBox);
  options->addStretch(1);
  pOptions->hide();
  body->addWidget(pOptions);
  layout->addLayout(body, 1);

  pToolbar = new QWidget(this);
  auto *buttons = new QHBoxLayout(pToolbar);
  buttons->setContentsMargins(4, 4, 4, 4);
  bOK = new QPushButton("Save", pToolbar);
  bDontSave = new QPushButton("Don't Save", pToolbar);
  bCancel = new QPushButton("Cancel", pToolbar);
  for (QPushButton *b : {bOK, bDontSave, bCancel}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  layout->addWidget(pToolbar);
  FollowOptionGradient(pToolbar);
  connect(bOK, &QPushButton::clicked, this, &TFileSaveForm::bOKClick);
  connect(bDontSave, &QPushButton::clicked, this, &TFileSaveForm::bDontSaveClick);
  connect(bCancel, &QPushButton::clicked, this, &TFileSaveForm::bCancelClick);
}

void TFileSaveForm::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  FormShow();
}

void TFileSaveForm::FormShow() {
  TFileSaveRequest stored;
  LoadImageSaveOptions(stored);
  eSizeHeight->SetValue(stored.sizeHeight);
  eJPGCompression->SetValue(stored.jpgCompression);
  cbGIFTransparency->setCurrentIndex(stored.gifTransparency);
  WindowToMouse(this);
}

void TFileSaveForm::keyPressEvent(QKeyEvent *event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    bOKClick();
    return;
  }
  if (event->key() == Qt::Key_Escape) {
    bCancelClick();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TFileSaveForm::bOKClick() {
  // A height still being typed counts.
  eSizeHeight->Commit();
  TFileSaveRequest chosen;
  chosen.sizeHeight = eSizeHeight->Value();
  chosen.jpgCompression = eJPGCompression->Value();
  chosen.gifTransparency = std::max(0, cbGIFTransparency->currentIndex());
  StoreImageSaveOptions(chosen);
  done(fsrSave);
}
void TFileSaveForm::bDontSaveClick() { done(fsrDontSave); }
void TFileSaveForm::bCancelClick() { done(fsrCancel); }

int TFileSaveForm::Execute(TFileSaveRequest &request) {
  pOptions->setVisible(request.imageOptions);
  cbFileType->clear();
  for (const std::string &type : request.types) cbFileType->addItem(DisplayText(type));
  cbFileType->setCurrentIndex(request.type);
  eFilename->setText(EditableText(request.name));
  if (!treeReady_) {
    FolderTree->Init(request.folder);
    treeReady_ = true;
  } else {
    FolderTree->SelectedFolderWrite(request.folder);
  }
  eFilename->setFocus();
  int result = exec();
  // Bytes that are not UTF-8 come back exactly as they were shown.
  request.name = EditedBytes(eFilename->text());
  request.folder = WithTrailingDelim(FolderTree->SelectedFolderRead());
  request.type = cbFileType->currentIndex();
  if (request.imageOptions) {
    request.originalSize = cbSizeOriginal->isChecked();
    request.sizeHeight = eSizeHeight->Value();
    request.jpgCompression = eJPGCompression->Value();
    request.gifTransparency = std::max(0, cbGIFTransparency->currentIndex());
  }
  return result;
}

int FileSaveAsk(TFileSaveRequest &request, QWidget *parent) {
  if (Answerer()) {
    if (request.imageOptions) LoadImageSaveOptions(request);
    const int result = Answerer()(request);
    if (result == fsrSave && request.imageOptions) StoreImageSaveOptions(request);
    return result;
  }
  if (!FileSaveForm) FileSaveForm = new TFileSaveForm(parent ? parent->window() : nullptr);
  return FileSaveForm->Execute(request);
}

}  // namespace trovix
