// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare/compare_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QShortcut>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <limits>

#include "dialogs/markup_ui.h"
#include "dialogs/message_box_form.h"
#include "dialogs/options.h"
#include "dialogs/options_ui.h"
#include "foundation/platform_ui.h"

namespace trovix {

TCompareForm *CompareForm = nullptr;

namespace {

constexpr int32_t kToolBarHeight = 26;
constexpr int32_t kSummaryGap = 4;
constexpr int32_t kFirstFillLines = 2000;   // more than a screen shows
constexpr int32_t kFillPieceLines = 10000;  // per event-loop turn, some 20 ms
const QColor kKindColours[3] = {QColor(0x80, 0x80, 0x80), QColor(0, 0, 0xFF), QColor(0, 0x80, 0)};
const QColor kStripColours[3] = {Qt::white, QColor(0, 0, 0xFF), QColor(0, 0xFF, 0)};

QFont MemoFont() {
  QFont font = FontInstalled("Lucida Console")
                   ? QFont("Lucida Console")
                   : QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(8);
  return font;
}

}  // namespace

// ---- Strip and tool bar --------------------------------------------------------------

TCompareStrip::TCompareStrip(TCompareForm *form, QWidget *parent) : QWidget(parent), form_(form) {
  setFixedWidth(CompareStripWidth);
  setCursor(Qt::PointingHandCursor);
  setToolTip("Click or drag to go to that part of the text");
}

void TCompareStrip::paintEvent(QPaintEvent *) {
  QPainter canvas(this);
  form_->pbSummaryPaint(canvas);
}

void TCompareStrip::mousePressEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton) form_->pbSummaryMouse(event->position().toPoint().y());
}

void TCompareStrip::mouseMoveEvent(QMouseEvent *event) {
  if (event->buttons() & Qt::LeftButton) form_->pbSummaryMouse(event->position().toPoint().y());
}

TCompareToolBar::TCompareToolBar(TCompareForm *form, QWidget *parent)
    : QWidget(parent), form_(form) {
  setFixedHeight(kToolBarHeight);
}

void TCompareToolBar::paintEvent(QPaintEvent *) {
  QPainter canvas(this);
  form_->ToolBarPaint(canvas);
}

// ---- TCompareForm --------------------------------------------------------------------

TCompareForm::TCompareForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName("CompareForm");
  setWindowTitle("Compare Text");
  resize(720, 520);

  auto *layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  pbSummary = new TCompareStrip(this, this);
  pbSummary->setObjectName("pbSummary");
  layout->addWidget(pbSummary);

  auto *right = new QVBoxLayout;
  right->setContentsMargins(0, 0, 0, 0);
  right->setSpacing(0);
  layout->addLayout(right, 1);

  pToolBar = new TCompareToolBar(this, this);
  pToolBar->setObjectName("pToolBar");
  auto *bar = new QHBoxLayout(pToolBar);
  bar->setContentsMargins(2, 1, 0, 1);
  bar->setSpacing(0);
  auto makeButton = [this, bar](const char *name, QStyle::StandardPixmap icon, const char *hint,
                                int tag) {
    auto *button = new QToolButton(pToolBar);
    button->setObjectName(name);
    button->setIcon(style()->standardIcon(icon));
    button->setAutoRaise(true);
    button->setToolTip(hint);
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, [this, tag] { SearchClick(tag); });
    bar->addWidget(button);
    return button;
  };
  bPrev = makeButton("bPrev", QStyle::SP_ArrowUp, "Previous differing section", 0);
  bNext = makeButton("bNext", QStyle::SP_ArrowDown, "Next differing section", 1);
  bGap = new QWidget(pToolBar);
  bGap->setObjectName("bGap");
  bGap->setFixedWidth(8);
  bar->addWidget(bGap);
  bar->addStretch(1);
  right->addWidget(pToolBar);

  Memo = new QPlainTextEdit(this);
  Memo->setObjectName("Memo");
  Memo->setFont(MemoFont());
  Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  Memo->setContextMenuPolicy(Qt::CustomContextMenu);
  right->addWidget(Memo, 1);

  mMemo = new QMenu(this);
  mMemo->setObjectName("mMemo");
  mSelectAll = mMemo->addAction("Select All");
  mCut = mMemo->addAction("Cut");
  mCopy = mMemo->addAction("Copy");
  mPaste = mMemo->addAction("Paste");
  connect(mSelectAll, &QAction::triggered, Memo, &QPlainTextEdit::selectAll);
  connect(mCut, &QAction::triggered, Memo, &QPlainTextEdit::cut);
  connect(mCopy, &QAction::triggered, Memo, &QPlainTextEdit::copy);
  connect(mPaste, &QAction::triggered, Memo, &QPlainTextEdit::paste);
  connect(Memo, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &pos) { mMemo->popup(Memo->viewport()->mapToGlobal(pos)); });

  // The marker follows the caret however it moves (keys, mouse, stepping).
  connect(Memo, &QPlainTextEdit::cursorPositionChanged, pbSummary, qOverload<>(&QWidget::update));
  connect(Memo, &QPlainTextEdit::textChanged, pbSummary, qOverload<>(&QWidget::update));
  connect(&OptionsNotifier(), &TOptionsNotifier::gradientsChanged, pToolBar,
          qOverload<>(&QWidget::update));

  fillTimer_ = new QTimer(this);
  fillTimer_->setInterval(0);
  connect(fillTimer_, &QTimer::timeout, this, [this] { FillSome(kFillPieceLines); });

  auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape->setContext(Qt::WindowShortcut);
  connect(escape, &QShortcut::activated, this, &QWidget::close);

  summary_ = CompareSummaryText(0, "", "");
}

void TCompareForm::Compare(const std::string &textA, const std::string &textB, bool modal,
                           const std::string &nameA, const std::string &nameB) {
  CompareResult merged;
  CompareMerge(textA, textB, merged);
  FillMemo(merged);
  sections_ = std::move(merged.Sections);
  lastLineKind_ = merged.LastLineKind;
  summary_ = CompareSummaryText(static_cast<int32_t>(sections_.size()), nameA, nameB);
  pToolBar->update();
  pbSummary->update();

  const Qt::WindowModality modality = modal ? Qt::ApplicationModal : Qt::NonModal;
  if (windowModality() != modality) {
    hide();  // modality takes effect when a window is shown
    setWindowModality(modality);
  }
  if (!isVisible()) WindowToMouse(this);
  show();
  raise();
  activateWindow();
  if (modal) {
    QPointer<TCompareForm> self(this);
    QEventLoop loop;
    connect(this, &TCompareForm::closed, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    if (isVisible()) loop.exec();
    if (self) setWindowModality(Qt::NonModal);
  }
}

void TCompareForm::FillMemo(const CompareResult &merged) {
  StopFill();
  Memo->clear();
  Memo->document()->setUndoRedoEnabled(false);
  totalLines_ = static_cast<int32_t>(merged.Lines.size());
  std::string run;
  const size_t count = merged.Lines.size();
  for (size_t k = 0; k < count;) {
    const uint8_t kind = merged.Kinds[k];
    run.clear();
    if (k > 0) run += '\n';
    for (; k < count && merged.Kinds[k] == kind; ++k) {
      run.append(merged.Lines[k]);
      run += '\n';
    }
    run.pop_back();
    QString text = QString::fromUtf8(run.data(), static_cast<qsizetype>(run.size()));
    // Paragraph and line separators would split a line in two.
    text.replace(QChar::ParagraphSeparator, QChar::ReplacementCharacter);
    text.replace(QChar::LineSeparator, QChar::ReplacementCharacter);
    pending_.push_back({std::move(text), kind});
  }
  // A document takes a few microseconds per line: the first screenful goes in
  // now, the rest between events, so that the window shows at once.
  Memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  FillSome(kFirstFillLines);
  Memo->moveCursor(QTextCursor::Start);
  if (Filling()) fillTimer_->start();
}

void TCompareForm::FillSome(int32_t lines) {
  QTextDocument *document = Memo->document();
  QTextCursor cursor(document);
  cursor.movePosition(QTextCursor::End);
  cursor.beginEditBlock();
  QTextCharFormat format;
  while (lines > 0 && Filling()) {
    const TRun &run = pending_[pendingRun_];
    // Up to the line feed that starts the line after the next `lines` ones.
    qsizetype end = pendingOffset_;
    while (lines > 0 && end >= 0) {
      end = run.text.indexOf(QChar('\n'), end + 1);
      --lines;
    }
    if (end < 0) end = run.text.size();
    format.setForeground(kKindColours[run.kind]);
    cursor.insertText(run.text.mid(pendingOffset_, end - pendingOffset_), format);
    pendingOffset_ = end;
    if (pendingOffset_ >= run.text.size()) {
      ++pendingRun_;
      pendingOffset_ = 0;
    }
  }
  cursor.endEditBlock();
  if (!Filling()) StopFill();
}

void TCompareForm::StopFill() {
  fillTimer_->stop();
  pending_.clear();
  pending_.shrink_to_fit();
  pendingRun_ = 0;
  pendingOffset_ = 0;
  Memo->document()->setUndoRedoEnabled(true);
  Memo->setTextInteractionFlags(Qt::TextEditorInteraction);
  pbSummary->update();
}

void TCompareForm::FinishFill() {
  if (Filling()) FillSome(std::numeric_limits<int32_t>::max());
}

int32_t TCompareForm::MemoLineCount() const {
  if (Filling()) return totalLines_;
  const QTextDocument *document = Memo->document();
  return document->isEmpty() ? 0 : document->blockCount();
}

int32_t TCompareForm::CaretLine() const { return Memo->textCursor().blockNumber(); }

void TCompareForm::MoveCaretToLine(int32_t line) {
  if (Filling() && line >= Memo->document()->blockCount() - 1) FinishFill();
  QTextBlock block = Memo->document()->findBlockByNumber(line);
  if (!block.isValid()) block = Memo->document()->lastBlock();  // the text was edited
  Memo->setTextCursor(QTextCursor(block));
  Memo->ensureCursorVisible();
}

void TCompareForm::SearchClick(int tag) {
  const int32_t caret = CaretLine();
  const int32_t index =
      tag == 0 ? ComparePrevSection(sections_, caret) : CompareNextSection(sections_, caret);
  if (index < 0) {
    QApplication::beep();
  } else {
    MoveCaretToLine(sections_[index].FirstLine);
  }
  Memo->ensureCursorVisible();
  pbSummary->update();
}

void TCompareForm::pbSummaryPaint(QPainter &canvas) {
  const int32_t width = pbSummary->width();
  const int32_t height = pbSummary->height();
  const int32_t lines = MemoLineCount();
  canvas.fillRect(0, 0, width, height, Qt::white);
  for (const CompareSection &section : sections_) {
    const CompareStripRect r = CompareSectionRect(section, width, height, lines);
    if (r.Bottom > r.Top && r.Right > r.Left) {
      canvas.fillRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top,
                      kStripColours[section.Kind == ckSecond ? 2 : 1]);
    }
  }
  const int32_t y = CompareCaretY(CaretLine(), height, lines);
  const QPoint marker[3] = {QPoint(0, y - 3), QPoint(CompareStripMarkerWidth, y), QPoint(0, y + 3)};
  canvas.setPen(QColor(0x80, 0, 0));
  canvas.setBrush(QColor(0xFF, 0, 0));
  canvas.drawPolygon(marker, 3);
}

void TCompareForm::pbSummaryMouse(int32_t y) {
  MoveCaretToLine(CompareLineAtY(y, pbSummary->height(), MemoLineCount()));
  pbSummary->update();
}

void TCompareForm::ToolBarPaint(QPainter &canvas) {
  if (OptionUseGradients()) {
    CanvasGradientFill(canvas, pToolBar->rect(), DialogFaceColour(), DialogStripColour());
  }
  canvas.setPen(palette().color(QPalette::WindowText));
  canvas.setFont(font());
  canvas.setBrush(Qt::NoBrush);
  NiceLabelPaint(canvas, bGap->geometry().right() + 1, pToolBar->rect().top(), summary_,
                 kSummaryGap);
}

void TCompareForm::closeEvent(QCloseEvent *event) {
  StopFill();
  sections_.clear();
  sections_.shrink_to_fit();
  pbSummary->update();
  QWidget::closeEvent(event);
  emit closed();
}

void CompareTexts(const std::string &textA, const std::string &textB, bool modal,
                  const std::string &nameA, const std::string &nameB) {
  if (!CompareForm) CompareForm = new TCompareForm;
  CompareForm->Compare(textA, textB, modal, nameA, nameB);
}

}  // namespace trovix
