// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The options window: shows and edits the options of dialogs/options.h.
// Created once at start (it loads the options then), shown modeless from the
// main window's tool bar, and destroyed at program end (it stores them then).
// Every change goes into the option values at once and is announced through
// OptionsNotifier(), so the windows that show an option repaint themselves.
#include <QWidget>
#include <functional>

#include "dialogs/options.h"

class QCheckBox;
class QColor;
class QLabel;
class QLineEdit;

namespace trovix {

class TBtnPaint;
class TComboBoxAutoFill;
class TEditUpDown;
class TNiceGroupBox;

// The sample of a font selector: "Sample 1234" in the chosen font, centred
// vertically on the height of "Ag".
class TFontSample : public QWidget {
  Q_OBJECT
 public:
  explicit TFontSample(QWidget *parent = nullptr);

 protected:
  void paintEvent(QPaintEvent *event) override;
};

// One font selector: a caption, the installed fonts' names (only names of
// the list can be typed), the size (4 to 127), "Bold" and a sample. It edits
// the option font of its use. The combo shows the font in use, which differs
// from the stored name when that font is not installed; the stored name is
// kept until the user picks another.
class TFrameSelectFont : public QWidget {
  Q_OBJECT
 public:
  TFrameSelectFont(const QString &caption, int use, QWidget *parent = nullptr);

  int Use() const { return use_; }
  // Shows the option's current font.
  void Load();

  QLabel *lCaption = nullptr;
  TComboBoxAutoFill *cbFontName = nullptr;
  TEditUpDown *eFontSize = nullptr;
  QCheckBox *cbFontBold = nullptr;
  TFontSample *pbSample = nullptr;

  // Raised after the user changed name, size or bold.
  std::function<void()> OnChange;

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void Change();
  void NameEdited(const QString &text);
  QString ShownFamily() const;

  int use_;
  bool loading_ = false;
};

class TOptionsForm : public QWidget {
  Q_OBJECT
 public:
  explicit TOptionsForm(QWidget *parent = nullptr);
  ~TOptionsForm() override;

  TNiceGroupBox *gbCopyMove = nullptr, *gbColours = nullptr, *gbTextView = nullptr,
                *gbMultimedia = nullptr, *gbFonts = nullptr;
  QCheckBox *cbCheckSizeOnly = nullptr;
  QCheckBox *cbWarnOverwriteOlder = nullptr;
  QCheckBox *cbDelMovesToTrash = nullptr;
  TEditUpDown *eMinutesTollerence = nullptr;
  QLineEdit *eCopyXExclusions = nullptr;
  // The swatches; each button's Tag is its colour slot.
  TBtnPaint *bColourTree = nullptr, *bColourOdd = nullptr, *bColourEven = nullptr,
            *bColourSearchOdd = nullptr, *bColourSearchEven = nullptr;
  TBtnPaint *Swatch(int slot) const;
  QCheckBox *cbGradient = nullptr;
  TEditUpDown *eCompareThreshold = nullptr;
  TEditUpDown *eTabSize = nullptr;
  QLineEdit *eMultimediaExtensions = nullptr;
  TFrameSelectFont *fSelectFontFolders = nullptr;
  TFrameSelectFont *fSelectFontItems = nullptr;
  TFrameSelectFont *fSelectFontFileView = nullptr;

  // Asks the user for a colour starting at colour; false when cancelled.
  // Unset: the colour dialog. Tests answer it.
  std::function<bool(QColor &colour)> PickColour;

  // Clicking a swatch: a new colour for its slot.
  void bColourClick(int slot);
  // Leaving the multimedia or the Copy X edit: the grids show the new list.
  void eMultimediaExtensionsExit();

 protected:
  void showEvent(QShowEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void BuildCopyMove();
  void BuildColours();
  void BuildTextView();
  void BuildMultimedia();
  void BuildFonts();
  void LoadControls();
  void Wire();
};

extern TOptionsForm *OptionsForm;

}  // namespace trovix
