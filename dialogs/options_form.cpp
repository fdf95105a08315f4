// SPDX-License-Identifier: GPL-3.0-or-later
// The options window over the option values of options.cpp.
#include "dialogs/options_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QShortcut>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/controls_ui.h"
#include "dialogs/options_ui.h"
#include "foundation/platform_ui.h"

namespace trovix {

TOptionsForm *OptionsForm = nullptr;

namespace {

std::string FromQ(const QString &text) { return text.toUtf8().toStdString(); }

// The group boxes paint fixed light colours: their text stays dark whatever
// the desktop's scheme.
TNiceGroupBox *Group(const QString &caption, const QColor &colour, const QColor &title,
                     QWidget *parent) {
  auto *box = new TNiceGroupBox(caption, parent);
  box->SetColor(colour);
  if (title.isValid()) box->SetColorTitle(title);
  QPalette pal = box->palette();
  pal.setColor(QPalette::WindowText, Qt::black);
  box->setPalette(pal);
  return box;
}

// Group layouts sit inside the box's own margins, below its title bar.
template <class Layout>
Layout *Inside(QWidget *box) {
  auto *layout = new Layout(box);
  layout->setContentsMargins(2, 0, 2, 0);
  layout->setSpacing(4);
  return layout;
}

TEditUpDown *NumberEdit(int min, int max, int value, QWidget *parent) {
  auto *edit = new TEditUpDown(parent);
  edit->SetMin(min);
  edit->SetMax(max);
  edit->SetValue(value);
  const QFontMetrics fm = edit->fontMetrics();
  edit->setFixedWidth(std::max(56, fm.horizontalAdvance("00000") + 28));
  return edit;
}

}  // namespace

// ---- TFontSample ----

TFontSample::TFontSample(QWidget *parent) : QWidget(parent) {}

void TFontSample::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.setFont(font());
  p.setPen(palette().color(QPalette::WindowText));
  const QFontMetrics fm(font());
  const int height = fm.boundingRect("Ag").height();
  const int top = (this->height() - height) / 2;
  p.drawText(4, top + fm.ascent(), "Sample 1234");
}

// ---- TFrameSelectFont ----

TFrameSelectFont::TFrameSelectFont(const QString &caption, int use, QWidget *parent)
    : QWidget(parent), use_(use) {
  auto *row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(6);

  lCaption = new QLabel(caption, this);
  lCaption->setMinimumWidth(lCaption->fontMetrics().horizontalAdvance("Folders") + 6);
  row->addWidget(lCaption);

  cbFontName = new TComboBoxAutoFill(this);
  cbFontName->setObjectName("cbFontName");
  QStringList families;
  for (const QString &family : QFontDatabase::families())
    if (!QFontDatabase::isPrivateFamily(family)) families << family;
  cbFontName->addItems(families);
  cbFontName->setMinimumWidth(150);
  cbFontName->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  cbFontName->setMinimumContentsLength(16);
  cbFontName->lineEdit()->installEventFilter(this);
  row->addWidget(cbFontName, 1);

  eFontSize = NumberEdit(kFontSizeMin, kFontSizeMax, 8, this);
  eFontSize->setObjectName("eFontSize");
  row->addWidget(eFontSize);

  cbFontBold = new QCheckBox("Bold", this);
  cbFontBold->setObjectName("cbFontBold");
  row->addWidget(cbFontBold);

  pbSample = new TFontSample(this);
  pbSample->setObjectName("pbSample");
  pbSample->setFixedSize(97, std::max(29, cbFontName->sizeHint().height()));
  row->addWidget(pbSample);

  Load();
  connect(cbFontName, &QComboBox::editTextChanged, this,
          [this](const QString &text) { NameEdited(text); });
  // Picking the shown fallback family from the list is a choice too.
  connect(cbFontName, &QComboBox::textActivated, this, [this](const QString &text) {
    if (loading_ || cbFontName->findText(text, Qt::MatchFixedString) < 0) return;
    TFontChoice font = OptionFont(use_);
    font.Name = FromQ(cbFontName->itemText(cbFontName->findText(text, Qt::MatchFixedString)));
    SetOptionFont(use_, font);
    Change();
  });
  connect(eFontSize, &TEditUpDown::valueChanged, this, [this] { Change(); });
  connect(cbFontBold, &QCheckBox::toggled, this, [this] { Change(); });
}

QString TFrameSelectFont::ShownFamily() const { return QFontInfo(OptionQFont(use_)).family(); }

void TFrameSelectFont::Load() {
  loading_ = true;
  const TFontChoice font = OptionFont(use_);
  const QString shown = ShownFamily();
  const int index = cbFontName->findText(shown, Qt::MatchFixedString);
  if (index >= 0) cbFontName->setCurrentIndex(index);
  cbFontName->setEditText(index >= 0 ? cbFontName->itemText(index) : shown);
  eFontSize->SetValue(font.Size);
  cbFontBold->setChecked(font.Bold);
  pbSample->setFont(OptionQFont(use_));
  pbSample->update();
  loading_ = false;
}

// A completed name (the combo only lets beginnings of its items be typed)
// becomes the option's font; a beginning alone changes nothing yet.
void TFrameSelectFont::NameEdited(const QString &text) {
  if (loading_) return;
  const int index = cbFontName->findText(text, Qt::MatchFixedString);
  if (index < 0 || text.compare(ShownFamily(), Qt::CaseInsensitive) == 0) return;
  TFontChoice font = OptionFont(use_);
  font.Name = FromQ(cbFontName->itemText(index));
  SetOptionFont(use_, font);
  Change();
}

void TFrameSelectFont::Change() {
  if (loading_) return;
  TFontChoice font = OptionFont(use_);
  font.Size = eFontSize->Value();
  font.Bold = cbFontBold->isChecked();
  SetOptionFont(use_, font);
  pbSample->setFont(OptionQFont(use_));
  pbSample->update();
  if (OnChange) OnChange();
}

// Leaving the name with an unfinished beginning shows the font in use again.
bool TFrameSelectFont::eventFilter(QObject *watched, QEvent *event) {
  if (watched == cbFontName->lineEdit() && event->type() == QEvent::FocusOut &&
      cbFontName->findText(cbFontName->currentText(), Qt::MatchFixedString) < 0) {
    loading_ = true;
    cbFontName->setEditText(ShownFamily());
    loading_ = false;
  }
  return QWidget::eventFilter(watched, event);
}

// ---- TOptionsForm ----

TOptionsForm::TOptionsForm(QWidget *parent) : QWidget(parent, Qt::Tool) {
  setObjectName("OptionsForm");
  setWindowTitle("Options Form");
  OptionsLoad();

  auto *grid = new QGridLayout(this);
  grid->setContentsMargins(8, 8, 8, 8);
  grid->setHorizontalSpacing(11);
  grid->setVerticalSpacing(11);
  grid->setSizeConstraint(QLayout::SetFixedSize);
  BuildCopyMove();
  BuildColours();
  BuildTextView();
  BuildMultimedia();
  BuildFonts();
  grid->addWidget(gbCopyMove, 0, 0);
  grid->addWidget(gbColours, 0, 1);
  grid->addWidget(gbTextView, 1, 0);
  grid->addWidget(gbMultimedia, 1, 1, Qt::AlignTop);
  grid->addWidget(gbFonts, 2, 0, 1, 2);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);
  // Both columns as wide as the wider one.
  const int column = std::max(gbCopyMove->sizeHint().width(), gbColours->sizeHint().width());
  grid->setColumnMinimumWidth(0, column);
  grid->setColumnMinimumWidth(1, column);

  LoadControls();
  Wire();
  // Esc closes it as it would a dialog: the window has no button to close it.
  auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &QWidget::close);

  // Windows created before this one showed the defaults.
  TOptionsNotifier &notifier = OptionsNotifier();
  emit notifier.coloursChanged();
  emit notifier.gradientsChanged();
  emit notifier.fontsChanged();
  emit notifier.multimediaChanged();
  emit notifier.textViewChanged();
}

TOptionsForm::~TOptionsForm() {
  OptionsSave();
  if (OptionsForm == this) OptionsForm = nullptr;
}

void TOptionsForm::BuildCopyMove() {
  gbCopyMove = Group("Copy / Move Options", ColourFromSystem(16773087), QColor(), this);
  auto *box = Inside<QVBoxLayout>(gbCopyMove);
  cbCheckSizeOnly = new QCheckBox("Check Size only", gbCopyMove);
  cbCheckSizeOnly->setObjectName("cbCheckSizeOnly");
  cbCheckSizeOnly->setToolTip("Ignore Date when determining if files are up to date");
  box->addWidget(cbCheckSizeOnly);
  cbWarnOverwriteOlder = new QCheckBox("Warn if Overwriting Older Files", gbCopyMove);
  cbWarnOverwriteOlder->setObjectName("cbWarnOverwriteOlder");
  cbWarnOverwriteOlder->setToolTip("Defer operation if overwriting an older file");
  box->addWidget(cbWarnOverwriteOlder);
  cbDelMovesToTrash = new QCheckBox("Del moves to Trash", gbCopyMove);
  cbDelMovesToTrash->setObjectName("cbDelMovesToTrash");
  cbDelMovesToTrash->setToolTip("The Del key moves to the desktop's trash; Shift+Del deletes");
  box->addWidget(cbDelMovesToTrash);

  auto *minutes = new QHBoxLayout;
  minutes->setSpacing(6);
  eMinutesTollerence = NumberEdit(0, 2880, 0, gbCopyMove);
  eMinutesTollerence->setObjectName("eMinutesTollerence");
  minutes->addWidget(eMinutesTollerence);
  minutes->addWidget(new QLabel("Minutes tollerence", gbCopyMove), 1);
  box->addLayout(minutes);

  box->addSpacing(4);
  auto *copyX = new QLabel("Copy X - Exclusions", gbCopyMove);
  copyX->setToolTip("Extensions of files NOT TO BE COPIED");
  box->addWidget(copyX);
  eCopyXExclusions = new QLineEdit(gbCopyMove);
  eCopyXExclusions->setObjectName("eCopyXExclusions");
  eCopyXExclusions->setToolTip("Extensions of files NOT TO BE COPIED");
  box->addWidget(eCopyXExclusions);
  box->addStretch(1);
}

void TOptionsForm::BuildColours() {
  gbColours = Group("Colours", palette().color(QPalette::Base), ColourFromSystem(6697728), this);
  gbColours->setToolTip("Change colour scheme (you must be bored)");
  QPalette pal = gbColours->palette();
  pal.setColor(QPalette::WindowText, palette().color(QPalette::Text));
  gbColours->setPalette(pal);

  auto *grid = Inside<QGridLayout>(gbColours);
  grid->setHorizontalSpacing(3);
  grid->addWidget(new QLabel("Main Window", gbColours), 0, 0, 1, 3);
  grid->addWidget(new QLabel("Search Window", gbColours), 2, 0, 1, 3);

  const QFontMetrics fm = fontMetrics();
  const int height = std::max(25, fm.height() + 10);
  static const char *const kNames[csCount] = {"Tree", "Odd", "Even", "Odd", "Even"};
  static const char *const kObjects[csCount] = {"bColourTree", "bColourOdd", "bColourEven",
                                                "bColourSearchOdd", "bColourSearchEven"};
  TBtnPaint **buttons[csCount] = {&bColourTree, &bColourOdd, &bColourEven, &bColourSearchOdd,
                                  &bColourSearchEven};
  for (int slot = 0; slot < csCount; ++slot) {
    auto *b = new TBtnPaint(gbColours);
    b->setObjectName(kObjects[slot]);
    b->Tag = slot;
    const QString name = kNames[slot];
    const int width = std::max(slot == csTree ? 41 : 57, fm.horizontalAdvance(name) + 16);
    b->setFixedSize(width, height);
    b->OnPaint = [b, name](QPainter &p, const QRect &face) {
      const QColor colour = OptionQColor(b->Tag);
      p.fillRect(face, colour);
      p.setFont(b->font());
      p.setPen(colour.lightness() < 110 ? Qt::white : Qt::black);
      p.drawText(face.left(), face.top() + p.fontMetrics().ascent(), name);
    };
    *buttons[slot] = b;
  }
  grid->addWidget(bColourTree, 1, 0);
  grid->addWidget(bColourOdd, 1, 1);
  grid->addWidget(bColourEven, 1, 2);
  grid->addWidget(bColourSearchOdd, 3, 1);
  grid->addWidget(bColourSearchEven, 3, 2);
  grid->setColumnStretch(3, 1);

  cbGradient = new QCheckBox("Use Gradients", gbColours);
  cbGradient->setObjectName("cbGradient");
  grid->addWidget(cbGradient, 4, 0, 1, 4);
  grid->setRowStretch(5, 1);
}

void TOptionsForm::BuildTextView() {
  gbTextView = Group("Text View", ColourFromSystem(14671871), Qt::red, this);
  const QString hint = "Number of matching lines before a resync is assumed";
  gbTextView->setToolTip(hint);
  auto *grid = Inside<QGridLayout>(gbTextView);
  grid->setHorizontalSpacing(6);
  eCompareThreshold = NumberEdit(kCompareThresholdMin, kCompareThresholdMax, 3, gbTextView);
  eCompareThreshold->setObjectName("eCompareThreshold");
  eTabSize = NumberEdit(kTabSizeMin, kTabSizeMax, 8, gbTextView);
  eTabSize->setObjectName("eTabSize");
  grid->addWidget(new QLabel("Compare Threshold", gbTextView), 0, 0);
  grid->addWidget(eCompareThreshold, 0, 1);
  grid->addWidget(new QLabel("lines", gbTextView), 0, 2);
  grid->addWidget(new QLabel("Tab Size", gbTextView), 1, 0);
  grid->addWidget(eTabSize, 1, 1);
  grid->setColumnStretch(3, 1);
  grid->setRowStretch(2, 1);
}

void TOptionsForm::BuildMultimedia() {
  gbMultimedia = Group("Multimedia File Extensions", QColor(0, 255, 0), QColor(0, 128, 0), this);
  gbMultimedia->setToolTip("Extensions of files to play in Trovix");
  auto *box = Inside<QVBoxLayout>(gbMultimedia);
  eMultimediaExtensions = new QLineEdit(gbMultimedia);
  eMultimediaExtensions->setObjectName("eMultimediaExtensions");
  eMultimediaExtensions->setToolTip("Extensions of files to play in Trovix");
  box->addWidget(eMultimediaExtensions);
}

void TOptionsForm::BuildFonts() {
  gbFonts = Group("Fonts", ColourFromSystem(13303807), ColourFromSystem(24158), this);
  auto *box = Inside<QVBoxLayout>(gbFonts);
  fSelectFontFolders = new TFrameSelectFont("Folders", fuFolders, gbFonts);
  fSelectFontFolders->setObjectName("fSelectFontFolders");
  fSelectFontItems = new TFrameSelectFont("Items", fuItems, gbFonts);
  fSelectFontItems->setObjectName("fSelectFontItems");
  fSelectFontFileView = new TFrameSelectFont("Views", fuFileView, gbFonts);
  fSelectFontFileView->setObjectName("fSelectFontFileView");
  // The three name boxes start in one column.
  const int label = std::max({fSelectFontFolders->lCaption->sizeHint().width(),
                              fSelectFontItems->lCaption->sizeHint().width(),
                              fSelectFontFileView->lCaption->sizeHint().width()});
  for (TFrameSelectFont *frame : {fSelectFontFolders, fSelectFontItems, fSelectFontFileView}) {
    frame->lCaption->setFixedWidth(label);
    box->addWidget(frame);
  }
}

TBtnPaint *TOptionsForm::Swatch(int slot) const {
  switch (slot) {
    case csTree: return bColourTree;
    case csOdd: return bColourOdd;
    case csEven: return bColourEven;
    case csSearchOdd: return bColourSearchOdd;
    case csSearchEven: return bColourSearchEven;
    default: return nullptr;
  }
}

void TOptionsForm::LoadControls() {
  cbCheckSizeOnly->setChecked(CheckSizeOnly);
  cbWarnOverwriteOlder->setChecked(WarnOverwriteOlder);
  cbDelMovesToTrash->setChecked(OptionDelMovesToTrash());
  eCopyXExclusions->setText(DisplayText(CopyXExclusions));
  cbGradient->setChecked(OptionUseGradients());
  eCompareThreshold->SetValue(OptionCompareThreshold());
  eTabSize->SetValue(OptionTabSize());
  eMultimediaExtensions->setText(DisplayText(OptionMultimediaExtensions()));
  for (TFrameSelectFont *frame : {fSelectFontFolders, fSelectFontItems, fSelectFontFileView})
    frame->Load();
}

// Each control writes its option as it changes, so readers see it at their
// next use; those that paint an option hear of it through the notifier.
void TOptionsForm::Wire() {
  TOptionsNotifier *notifier = &OptionsNotifier();
  connect(cbCheckSizeOnly, &QCheckBox::toggled, this, [](bool on) { CheckSizeOnly = on; });
  connect(cbWarnOverwriteOlder, &QCheckBox::toggled, this,
          [](bool on) { WarnOverwriteOlder = on; });
  connect(cbDelMovesToTrash, &QCheckBox::toggled, this,
          [](bool on) { SetOptionDelMovesToTrash(on); });
  connect(eCopyXExclusions, &QLineEdit::textChanged, this,
          [](const QString &text) { CopyXExclusions = FromQ(text); });
  connect(cbGradient, &QCheckBox::toggled, this, [notifier](bool on) {
    SetOptionUseGradients(on);
    emit notifier->gradientsChanged();
  });
  connect(eCompareThreshold, &TEditUpDown::valueChanged, this, [notifier](int32_t value) {
    SetOptionCompareThreshold(value);
    emit notifier->textViewChanged();
  });
  connect(eTabSize, &TEditUpDown::valueChanged, this, [notifier](int32_t value) {
    SetOptionTabSize(value);
    emit notifier->textViewChanged();
  });
  // The list is read live (a view opened now plays the new types); the grids
  // repaint their icons when the edit is left.
  connect(eMultimediaExtensions, &QLineEdit::textChanged, this,
          [](const QString &text) { SetOptionMultimediaExtensions(FromQ(text)); });
  eMultimediaExtensions->installEventFilter(this);
  eCopyXExclusions->installEventFilter(this);
  for (int slot = 0; slot < csCount; ++slot)
    connect(Swatch(slot), &QAbstractButton::clicked, this, [this, slot] { bColourClick(slot); });
  for (TFrameSelectFont *frame : {fSelectFontFolders, fSelectFontItems, fSelectFontFileView})
    frame->OnChange = [notifier] { emit notifier->fontsChanged(); };
}

void TOptionsForm::bColourClick(int slot) {
  TBtnPaint *swatch = Swatch(slot);
  if (!swatch) return;
  QColor colour = OptionQColor(slot);
  bool chosen = false;
  if (PickColour) {
    chosen = PickColour(colour);
  } else {
    QColorDialog dialog(colour, this);
    dialog.setWindowTitle("Colour");
    chosen = dialog.exec() == QDialog::Accepted;
    colour = dialog.currentColor();
  }
  if (!chosen || !colour.isValid()) return;
  SetOptionColour(slot, ColourToSystem(colour));
  swatch->update();
  emit OptionsNotifier().coloursChanged();
}

void TOptionsForm::eMultimediaExtensionsExit() { emit OptionsNotifier().multimediaChanged(); }

void TOptionsForm::showEvent(QShowEvent *event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) WindowToMouse(this);
}

void TOptionsForm::closeEvent(QCloseEvent *event) {
  eMultimediaExtensionsExit();
  QWidget::closeEvent(event);
}

bool TOptionsForm::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::FocusOut &&
      (watched == eMultimediaExtensions || watched == eCopyXExclusions))
    eMultimediaExtensionsExit();
  return QWidget::eventFilter(watched, event);
}

}  // namespace trovix
