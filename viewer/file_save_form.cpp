// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/file_save_form.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "browser/folder_tree.h"
#include "browser/folder_tree_ui.h"
#include "foundation/platform_ui.h"

namespace trovix {

TFileSaveForm *FileSaveForm = nullptr;

namespace {

TFileSaveAnswerer &Answerer() {
  static TFileSaveAnswerer answerer;
  return answerer;
}

}  // namespace

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
  connect(bOK, &QPushButton::clicked, this, &TFileSaveForm::bOKClick);
  connect(bDontSave, &QPushButton::clicked, this, &TFileSaveForm::bDontSaveClick);
  connect(bCancel, &QPushButton::clicked, this, &TFileSaveForm::bCancelClick);
}

void TFileSaveForm::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
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

void TFileSaveForm::bOKClick() { done(fsrSave); }
void TFileSaveForm::bDontSaveClick() { done(fsrDontSave); }
void TFileSaveForm::bCancelClick() { done(fsrCancel); }

int TFileSaveForm::Execute(TFileSaveRequest &request) {
  pOptions->hide();
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
  return result;
}

int FileSaveAsk(TFileSaveRequest &request, QWidget *parent) {
  if (Answerer()) return Answerer()(request);
  if (!FileSaveForm) FileSaveForm = new TFileSaveForm(parent ? parent->window() : nullptr);
  return FileSaveForm->Execute(request);
}

}  // namespace trovix
