// SPDX-License-Identifier: GPL-3.0-or-later
// The view window's image and multimedia modes: loading pictures, fitting,
// zooming, panning, rotating, the clipboard, holes, printing, full screen,
// and playing audio and video through Qt Multimedia.
#include <QApplication>
#include <QAudioDevice>
#include <QAudioOutput>
#include <QBuffer>
#include <QClipboard>
#include <QEventLoop>
#include <QFileDialog>
#include <QImageReader>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QVideoWidget>
#include <QWheelEvent>
#include <algorithm>

#include "dialogs/markup.h"
#include "dialogs/message_box.h"
#include "dialogs/options_ui.h"
#include "foundation/file_system.h"
#include "foundation/settings_qt.h"
#include "foundation/strings.h"
#include "foundation/worker_pool_ui.h"
#include "viewer/image_decode.h"
#include "viewer/image_geometry.h"
#include "viewer/image_save_ui.h"
#include "viewer/metafile_ui.h"
#include "viewer/view_text.h"
#include "viewer/view_tools_ui.h"
#include "viewer/view_window.h"

namespace trovix {

TImageMouse &ImageMouse() {
  static TImageMouse mouse;
  return mouse;
}

namespace {

// The largest image file read: far beyond any real picture, and it keeps a
// hostile file from filling memory before the decoder sees its header.
constexpr int64_t kImageFileLimit = int64_t(512) << 20;

const char *const kEmfMime = "image/x-emf";
const char *const kWmfMime = "image/x-wmf";

QString ToQ(const std::string &bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Wraps a decoded bitmap without copying its pixels: the image owns them.
QImage WrapBitmap(TBitmap &&bitmap, bool opaque = false) {
  if (!opaque)
    opaque = std::all_of(bitmap.Pixels.begin(), bitmap.Pixels.end(),
                         [](uint32_t p) { return p >= 0xFF000000u; });
  auto *pixels = new std::vector<uint32_t>(std::move(bitmap.Pixels));
  return QImage(
      reinterpret_cast<uchar *>(pixels->data()), bitmap.Width, bitmap.Height, bitmap.Width * 4,
      opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32,
      [](void *owned) { delete static_cast<std::vector<uint32_t> *>(owned); }, pixels);
}

uint32_t ReadLe(const std::string &b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
  return v;
}

uint32_t ReadBe32(const std::string &b, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(b[at + i]);
  return v;
}

// The size a BMP's information header claims, from offset at; false when the
// header is cut short or the size is refused.
bool BmpHeaderAllowed(const std::string &b, size_t at) {
  if (b.size() < at + 12) return false;
  const uint32_t headerSize = ReadLe(b, at, 4);
  int64_t width, height;
  if (headerSize == 12) {
    width = ReadLe(b, at + 4, 2);
    height = ReadLe(b, at + 6, 2);
  } else {
    if (b.size() < at + 16) return false;
    width = static_cast<int32_t>(ReadLe(b, at + 4, 4));
    height = static_cast<int32_t>(ReadLe(b, at + 8, 4));
  }
  return PictureSizeAllowed(width, height < 0 ? -height : height);
}

// Every picture of an icon file, checked before Qt reads any: the directory
// entries must lie in the file and each PNG or BMP inside must have an
// allowed size.
bool IconHeadersAllowed(const std::string &b) {
  if (b.size() < 6 || ReadLe(b, 0, 2) != 0 || ReadLe(b, 2, 2) != 1) return false;
  const uint32_t count = ReadLe(b, 4, 2);
  if (count == 0 || b.size() < 6 + 16 * size_t(count)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = 6 + 16 * size_t(i);
    const uint64_t size = ReadLe(b, entry + 8, 4), offset = ReadLe(b, entry + 12, 4);
    if (offset + size > b.size() || size < 12) return false;
    if (b.compare(offset, 8, "\x89PNG\r\n\x1A\n") == 0) {
      if (size < 24 || !PictureSizeAllowed(ReadBe32(b, offset + 16), ReadBe32(b, offset + 20)))
        return false;
    } else if (!BmpHeaderAllowed(b, offset)) {
      return false;
    }
  }
  return true;
}

// Reads a BMP or an icon through Qt's readers; an icon's largest picture.
bool ReadQtImage(const std::string &bytes, const char *format, QImage &out, std::string &error) {
  const bool icon = std::string(format) == "ico";
  if (icon ? !IconHeadersAllowed(bytes)
           : bytes.size() < 14 || bytes.compare(0, 2, "BM") != 0 || !BmpHeaderAllowed(bytes, 14)) {
    error = "the header is damaged or claims a picture too large";
    return false;
  }
  QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  reader.setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 >> 20));
  int best = 0;
  if (icon) {
    int bestArea = -1;
    for (int i = 0; i < reader.imageCount(); ++i) {
      if (!reader.jumpToImage(i)) break;
      const QSize size = reader.size();
      if (size.width() * size.height() > bestArea) {
        bestArea = size.width() * size.height();
        best = i;
      }
    }
    reader.jumpToImage(best);
  }
  QImage image = reader.read();
  if (image.isNull() || !PictureSizeAllowed(image.width(), image.height())) {
    error = image.isNull() ? reader.errorString().toStdString() : "the picture is too large";
    return false;
  }
  out =
      image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  return true;
}

}  // namespace

// ---- The paint box -------------------------------------------------------------

TImagePaintBox::TImagePaintBox(TViewFileForm *form, QWidget *parent) : QWidget(parent), Form(form) {
  setObjectName("pbImage");
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setContextMenuPolicy(Qt::NoContextMenu);
}

void TImagePaintBox::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  if (Form->LoadPending()) {
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignCenter, "Loading ...");
    return;
  }
  Form->PaintImage(painter);
}

void TImagePaintBox::mouseMoveEvent(QMouseEvent *event) { Form->ImageMouseMove(event); }

void TImagePaintBox::mousePressEvent(QMouseEvent *event) {
  if (event->button() == Qt::RightButton)
    Form->PopupMenuImage->popup(event->globalPosition().toPoint());
}

void TImagePaintBox::mouseDoubleClickEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton) Form->bFullScreenClick();
}

// ---- Building the panel --------------------------------------------------------

void TViewFileForm::CreateImagePanel() {
  pImage = new QWidget(this);
  pImage->setObjectName("pImage");
  auto *imageLayout = new QVBoxLayout(pImage);
  imageLayout->setContentsMargins(0, 0, 0, 0);
  imageLayout->setSpacing(0);
  ToolBarImage = new TToolPanel(pImage);
  ToolBarImage->setObjectName("ToolBarImage");
  auto *barLayout = new QVBoxLayout(ToolBarImage);
  barLayout->setContentsMargins(0, 0, 0, 0);
  ToolBarImageBar = new QToolBar(ToolBarImage);
  ToolBarImageBar->setIconSize(QSize(20, 20));
  ToolBarImageBar->setStyleSheet("QToolBar { background: transparent; border: 0px; }");
  barLayout->addWidget(ToolBarImageBar);
  pImagePaintBox = new QWidget(pImage);
  pImagePaintBox->setObjectName("pImagePaintBox");
  auto *boxLayout = new QVBoxLayout(pImagePaintBox);
  boxLayout->setContentsMargins(0, 0, 0, 0);
  pbImage = new TImagePaintBox(this, pImagePaintBox);
  boxLayout->addWidget(pbImage);
  imageLayout->addWidget(ToolBarImage);
  imageLayout->addWidget(pImagePaintBox, 1);
  pbImage->installEventFilter(this);

  auto tool = [this](const char *name, const QString &hint, QIcon icon, bool checkable = false) {
    QAction *a =
        ToolBarImageBar->addAction(icon, hint.isEmpty() ? QString::fromLatin1(name) : hint);
    a->setObjectName(name);
    a->setToolTip(hint);
    a->setCheckable(checkable);
    return a;
  };
  bSaveImage = tool("bSaveImage", "Save Image As ...", ToolIcon("document-save-as", "S"));
  bCopyImage = tool("bCopyImage", "Copy (Ctrl C)", ToolIcon("edit-copy", "C"));
  bPasteImage = tool("bPasteImage", "Paste (Ctrl V)", ToolIcon("edit-paste", "V"));
  bRotateCW =
      tool("bRotateCW", "Rotate 90\xc2\xba CW", ToolIcon("object-rotate-right", "\xe2\x86\xbb"));
  bPrint = tool("bPrint", "", ToolIcon("document-print", "P"));
  bHoles = tool("bHoles", "Punch dithered holes in image", ToolIcon("", "::"));
  bFullScreen = tool("bFullScreen", "Full Screen Mode", ToolIcon("view-fullscreen", "[ ]"));
  ToolBarImageBar->addSeparator();
  bFit = tool("bFit", "", ToolIcon("zoom-fit-best", "Fit"), true);
  b1to1 = tool("b1to1", "", ToolIcon("zoom-original", "1:1"));
  bZoomIn = tool("bZoomIn", "Zoom In", ToolIcon("zoom-in", "+"));
  bZoomOut = tool("bZoomOut", "Zoom Out", ToolIcon("zoom-out", "-"));
  bPause = tool("bPause", "Pause Multimedia", ToolIcon("media-playback-pause", "||"), true);
  bPause->setVisible(false);

  PopupMenuImage = new QMenu(this);
  auto item = [this](QMenu *menu, const char *name, const QString &caption) {
    QAction *a = menu->addAction(caption);
    a->setObjectName(name);
    return a;
  };
  mSaveAsImage = item(PopupMenuImage, "mSaveAsImage", "Save As ...");
  mCopyImage = item(PopupMenuImage, "mCopyImage", "Copy Image");
  mPasteImage = item(PopupMenuImage, "mPasteImage", "Paste Image");
  PopupMenuImage->addSeparator();
  mRotate = item(PopupMenuImage, "mRotate", "Rotate");
  mFullScreen = item(PopupMenuImage, "mFullScreen", "Full Screen");
  PopupMenuImage->addSeparator();
  mClose1 = item(PopupMenuImage, "mClose1", "Close");
  mCloseAllViews1 = item(PopupMenuImage, "mCloseAllViews1", "Close All Views");
  PopupMenuHoles = new QMenu(this);
  const char *const holes[3] = {"Lose 25%", "Lose 50%", "Lose 75%"};
  for (int tag = 0; tag < 3; ++tag) {
    QAction *a = PopupMenuHoles->addAction(holes[tag]);
    a->setObjectName(QString("mHoles%1").arg(tag));
    connect(a, &QAction::triggered, this, [this, tag] { mHolesClick(tag); });
  }

  connect(bSaveImage, &QAction::triggered, this, &TViewFileForm::mSaveAsImageClick);
  connect(mSaveAsImage, &QAction::triggered, this, &TViewFileForm::mSaveAsImageClick);
  connect(PopupMenuImage, &QMenu::aboutToShow, this,
          [this] { mSaveAsImage->setEnabled(bSaveImage->isEnabled()); });
  connect(bCopyImage, &QAction::triggered, this, &TViewFileForm::mCopyImageClick);
  connect(mCopyImage, &QAction::triggered, this, &TViewFileForm::mCopyImageClick);
  connect(bPasteImage, &QAction::triggered, this, &TViewFileForm::mPasteImageClick);
  connect(mPasteImage, &QAction::triggered, this, &TViewFileForm::mPasteImageClick);
  connect(bRotateCW, &QAction::triggered, this, &TViewFileForm::bRotateCWClick);
  connect(mRotate, &QAction::triggered, this, &TViewFileForm::bRotateCWClick);
  connect(bPrint, &QAction::triggered, this, &TViewFileForm::bPrintClick);
  connect(bHoles, &QAction::triggered, this, [this] { PopupMenuHoles->popup(QCursor::pos()); });
  connect(bFullScreen, &QAction::triggered, this, &TViewFileForm::bFullScreenClick);
  connect(mFullScreen, &QAction::triggered, this, &TViewFileForm::bFullScreenClick);
  connect(bFit, &QAction::triggered, this, &TViewFileForm::bFitClick);
  connect(b1to1, &QAction::triggered, this, &TViewFileForm::b1to1Click);
  connect(bZoomIn, &QAction::triggered, this, &TViewFileForm::ZoomInClick);
  connect(bZoomOut, &QAction::triggered, this, &TViewFileForm::ZoomOutClick);
  connect(bPause, &QAction::triggered, this, &TViewFileForm::bPauseClick);
  connect(mClose1, &QAction::triggered, this, &QWidget::close);
  connect(mCloseAllViews1, &QAction::triggered, this, [] { CloseAllViews(); });
  connect(&OptionsNotifier(), &TOptionsNotifier::gradientsChanged, ToolBarImage,
          qOverload<>(&QWidget::update));
}

void InstallImageView() {
  TViewRecognisers &r = ViewRecognisers();
  if (!r.image)
    r.image = [](const std::string &path) { return ImageTypeOf(path) != TImageFileKind::None; };
  if (!r.media) r.media = [](const std::string &) { return true; };
  TViewerHooks &h = ViewerHooks();
  if (!h.showImage)
    h.showImage = [](TViewFileForm *form, const std::string &) { return form->ShowImage(); };
  if (!h.playMedia)
    h.playMedia = [](TViewFileForm *form, const std::string &) { return form->ShowMedia(); };
  if (!h.stopMedia) h.stopMedia = [](TViewFileForm *form) { form->CloseMedia(); };
}

void TViewFileForm::ShowImagePanel(bool media) {
  pMemo->hide();
  pImage->show();
  pbImage->setVisible(!media);
  bPause->setVisible(media);
  for (QAction *a : {bSaveImage, bCopyImage, bPasteImage, bRotateCW, bPrint, bHoles, bFit, b1to1,
                     bZoomIn, bZoomOut})
    a->setVisible(!media);
}

// ---- Loading -------------------------------------------------------------------

// A picture read and decoded on a worker: what it needs to know from the
// window beforehand, and what it hands back.
struct TImageLoad {
  std::string path;
  TImageFileKind type = TImageFileKind::None;
  int screenHeight = 0;  // > 0: a large JPEG first decodes at a reduced scale
  QColor base;           // what an icon is drawn on
  TReadResult read = TReadResult::Ok;
  int error = 0;
  std::string why;  // why it could not be decoded
  bool ok = false;
  TPicture picture;
  QImage preview;
  QSize previewFullSize;
  std::shared_ptr<const std::string> previewBytes;
};

namespace {

// Reads and decodes load.path; any thread (Qt's image classes are reentrant).
void DecodeImageFile(TImageLoad &load, const TWorkerJob *job) {
  std::string bytes;
  int64_t size = 0;
  load.read = ReadWholeFile(load.path, kImageFileLimit, bytes, size, load.error);
  if (load.read != TReadResult::Ok || (job && job->Cancelled())) return;
  std::string &why = load.why;
  TPicture &picture = load.picture;
  bool ok = false;
  TBitmap bitmap;
  switch (load.type) {
    case TImageFileKind::Bmp: ok = ReadQtImage(bytes, "bmp", picture.Bitmap, why); break;
    case TImageFileKind::Icon: {
      QImage icon;
      ok = ReadQtImage(bytes, "ico", icon, why);
      if (ok) {
        // Drawn on the window's colour, as an icon shows on a desktop.
        picture.Bitmap = QImage(icon.size(), QImage::Format_RGB32);
        picture.Bitmap.fill(load.base);
        picture.TransparentColour = load.base.rgb() & 0xFFFFFFu;
        QPainter painter(&picture.Bitmap);
        painter.drawImage(0, 0, icon);
      }
      break;
    }
    case TImageFileKind::Metafile:
      ok = ParseMetafile(bytes, picture.Metafile, why);
      if (ok && !PictureSizeAllowed(picture.Metafile.Width, picture.Metafile.Height)) {
        ok = false;
        why = "the picture is too large";
      }
      picture.IsMetafile = ok;
      if (!ok) picture.Metafile = TMetafile{};
      break;
    case TImageFileKind::Jpeg: {
      // A picture shown at half its size or less is first decoded at a
      // reduced scale, which is several times quicker; the full picture
      // follows as soon as the first screen is painted.
      TJpegInfo info;
      if (!JpegReadInfo(bytes, info, why)) break;
      int denominator = 1;
      if (load.screenHeight > 0) {
        const int zoom = FitZoom(info.Height, load.screenHeight);
        denominator = JpegScaleDenominator(info.Width, info.Height,
                                           static_cast<int>(Zoomed(info.Width, zoom)),
                                           static_cast<int>(Zoomed(info.Height, zoom)));
      }
      ok = DecodeJpeg(bytes, bitmap, why, denominator);
      if (ok && denominator > 1) {
        load.preview = WrapBitmap(std::move(bitmap), true);
        load.previewFullSize = QSize(info.Width, info.Height);
        load.previewBytes = std::make_shared<const std::string>(std::move(bytes));
      } else if (ok) {
        picture.Bitmap = WrapBitmap(std::move(bitmap), true);
      }
      break;
    }
    case TImageFileKind::Gif:
    case TImageFileKind::Png:
      ok = load.type == TImageFileKind::Gif ? DecodeGif(bytes, bitmap, why)
                                            : DecodePng(bytes, bitmap, why);
      if (ok) picture.Bitmap = WrapBitmap(std::move(bitmap));
      break;
    case TImageFileKind::None: break;
  }
  load.ok = ok;
}

}  // namespace

bool TViewFileForm::ShowImage() {
  DropPreview();
  Picture = TPicture{};
  Scaled = QImage();
  auto load = std::make_shared<TImageLoad>();
  load->path = FileName;
  load->type = ImageTypeOf(FileName);
  if (load->type == TImageFileKind::None) return false;
  if (!FullScreen() && screen()) load->screenHeight = screen()->geometry().height();
  load->base = palette().color(QPalette::Base);
  const bool landed = RunLoadJob([load](const TWorkerJob &job) { DecodeImageFile(*load, &job); },
                                 [this, load] {
                                   LoadingImage = false;
                                   QPointer<TViewFileForm> self(this);
                                   const bool shown = LandImage(*load);
                                   if (!self) return;
                                   if (LoadLate)
                                     LateLanded(shown);
                                   else
                                     LoadShown = shown;
                                 });
  if (landed) return LoadShown;
  // The picture lands later: the window waits with its name and "Loading ...".
  LoadingImage = true;
  if (!pImage->isVisible()) ShowImagePanel(false);
  ShowLoadingState();
  show();
  return true;
}

bool TViewFileForm::AcceptImage(TImageLoad &load) {
  if (load.read != TReadResult::Ok) {
    DisplayError("|b|1ERROR: Can not View file|n|0" +
                 MarkupEscape(load.read == TReadResult::TooLarge ? "The file is too large"
                                                                 : FsErrorText(load.error)));
    return false;
  }
  if (!load.ok) {
    DisplayError("|b|1ERROR: Can not View file|n|0" + MarkupEscape(load.why));
    return false;
  }
  Picture = std::move(load.picture);
  Preview = std::move(load.preview);
  PreviewFullSize = load.previewFullSize;
  PreviewBytes = std::move(load.previewBytes);
  return true;
}

bool TViewFileForm::LandImage(TImageLoad &load) {
  if (!AcceptImage(load)) {
    Mode = vmEmpty;
    DropPreview();  // and the tools waiting for the picture
    return false;
  }
  Mode = vmImage;
  ShowImagePanel(false);
  FitWindowToImage();
  show();
  pbImage->setFocus();
  // Tools used while the picture was read run now, or after its full decode.
  if (!AfterFull.empty()) {
    if (Preview.isNull())
      RunAfterFull();
    else
      StartFullDecode();  // they run when it lands
  }
  return true;
}

void TViewFileForm::DropPreview() {
  if (FullJob) FullJob->Cancel();
  FullJob.reset();
  AfterFull.clear();  // they were meant for the picture that goes
  pbImage->unsetCursor();
  Preview = QImage();
  PreviewBytes.reset();
}

void TViewFileForm::StartFullDecode() {
  if (Preview.isNull() || FullJob || !PreviewBytes) return;
  // The worker also shrinks the picture to the size shown, which would
  // otherwise hold the next paint as long as a decode.
  const QSize shown = ImageRect().size();
  struct TFull {
    bool ok = false;
    QImage picture, scaled;
  };
  auto full = std::make_shared<TFull>();
  FullJob = AsyncRunner().Run(
      [bytes = PreviewBytes, full, shown](const TWorkerJob &job) {
        TBitmap bitmap;
        std::string why;
        full->ok = DecodeJpeg(*bytes, bitmap, why);
        if (!full->ok || job.Cancelled()) return;
        full->picture = WrapBitmap(std::move(bitmap), true);
        if (!shown.isEmpty() && shown.width() < full->picture.width())
          full->scaled =
              full->picture.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      },
      [this, full] {
        FullJob.reset();
        if (Preview.isNull()) return;
        Picture.Bitmap =
            full->ok ? std::move(full->picture) : Preview.scaled(PreviewFullSize);  // what there is
        Preview = QImage();
        PreviewBytes.reset();
        Scaled = std::move(full->scaled);
        ScaledKey = Picture.Bitmap.cacheKey();
        pbImage->update();
        RunAfterFull();
      });
}

bool TViewFileForm::DeferUntilFull(std::function<void()> command) {
  if (!(LoadPending() && LoadingImage)) {
    if (Preview.isNull()) return false;
    if (!FullJob) StartFullDecode();
    const TJobHandle job = FullJob;
    // Not started (nothing to decode from), or done and landing now: run it.
    if (!job || (job->Finished() && TWorkerPool::Deliver(job))) return false;
  }
  AfterFull.push_back(std::move(command));
  pbImage->setCursor(Qt::BusyCursor);  // the tool has been taken and will run
  return true;
}

void TViewFileForm::RunAfterFull() {
  pbImage->unsetCursor();
  // A command may queue again or drop the picture: run a copy of the list.
  std::vector<std::function<void()>> commands;
  commands.swap(AfterFull);
  for (const auto &command : commands) command();
}

void TViewFileForm::EnsureFullPicture() {
  if (Preview.isNull()) return;
  // A decode that has finished lands now; one still running is dropped and
  // the tool decodes in full here, as it cannot go on without the pixels.
  const TJobHandle job = FullJob;  // landing resets FullJob
  if (job && job->Finished() && TWorkerPool::Deliver(job)) return;
  if (FullJob) FullJob->Cancel();
  FullJob.reset();
  TBitmap bitmap;
  std::string why;
  if (PreviewBytes && DecodeJpeg(*PreviewBytes, bitmap, why))
    Picture.Bitmap = WrapBitmap(std::move(bitmap), true);
  else  // it decoded at the smaller scale: that picture is what there is
    Picture.Bitmap = Preview.scaled(PreviewFullSize);
  Preview = QImage();
  PreviewBytes.reset();
  Scaled = QImage();
  pbImage->update();
  RunAfterFull();  // tools started before this one go first
}

int TViewFileForm::PictureWidth() const {
  return Preview.isNull() ? Picture.Width() : PreviewFullSize.width();
}

int TViewFileForm::PictureHeight() const {
  return Preview.isNull() ? Picture.Height() : PreviewFullSize.height();
}

bool TViewFileForm::FullScreen() const {
  return (windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized)) != 0;
}

void TViewFileForm::FitWindowToImage() {
  Zoom = 100;
  OffsetX = 0;
  OffsetY = 0;
  if (!FullScreen()) {
    ImageMouse().X = -1;
    const int bar =
        ToolBarImage->isVisible() || !isVisible() ? ToolBarImage->sizeHint().height() : 0;
    const int chrome = frameGeometry().height() - height() + bar;
    const int screenHeight = screen() ? screen()->geometry().height() : 768;
    Zoom = FitZoom(PictureHeight(), screenHeight - chrome);
    const int64_t w = Zoomed(PictureWidth(), Zoom);
    const int64_t h = Zoomed(PictureHeight(), Zoom) + bar;
    resize(static_cast<int>(std::max<int64_t>(w, minimumWidth())),
           static_cast<int>(std::max<int64_t>(h, bar + 1)));
    if (x() < 0 || y() < 0) move(std::max(x(), 0), std::max(y(), 0));
  }
  Scaled = QImage();
  pbImage->update();
  UpdateCaption();
}

// ---- Painting, zoom and pan ----------------------------------------------------

QRect TViewFileForm::ImageRect() {
  const int w = PictureWidth(), h = PictureHeight();
  if (FullScreen() || bFit->isChecked()) {
    QRect r(0, 0, pbImage->width(), pbImage->height());
    if (w > 0 && h > 0) ImageFit(w, h, r);
    if (w != 0) {
      const int zoom = std::max(1, static_cast<int>(int64_t(r.width()) * 100 / w));
      if (zoom != Zoom) {
        Zoom = zoom;
        UpdateCaption();
      }
    }
    return r;
  }
  return QRect(OffsetX, OffsetY, static_cast<int>(Zoomed(w, Zoom)),
               static_cast<int>(Zoomed(h, Zoom)));
}

void TViewFileForm::PaintImage(QPainter &painter) {
  const QRect r = ImageRect();
  if (r.isEmpty()) return;
  if (Picture.IsMetafile) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    PlayMetafile(Picture.Metafile, painter, QRectF(r));
    return;
  }
  const QImage &source = Preview.isNull() ? Picture.Bitmap : Preview;
  if (source.isNull()) return;
  if (r.size() == source.size()) {
    painter.drawImage(r.topLeft(), source);
  } else if (r.width() < source.width()) {
    // Shrunk: scaled smoothly once for this size and kept.
    if (Scaled.size() != r.size() || ScaledKey != source.cacheKey()) {
      Scaled = source.scaled(r.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      ScaledKey = source.cacheKey();
    }
    painter.drawImage(r.topLeft(), Scaled);
  } else {
    // Enlarged: each picture pixel a sharp square; only the visible part is drawn.
    painter.drawImage(QRectF(r), source);
  }
  // The full picture is decoded on a worker once the preview is on screen.
  if (!Preview.isNull() && !FullJob) QTimer::singleShot(0, this, &TViewFileForm::StartFullDecode);
}

void TViewFileForm::SetZoom(int32_t z) {
  if (Mode != vmImage) return;
  z = std::clamp(z, 1, ZoomLimit(std::max(PictureWidth(), PictureHeight())));
  bFit->setChecked(false);
  OffsetX = RescaleOffset(OffsetX, Zoom, z);
  OffsetY = RescaleOffset(OffsetY, Zoom, z);
  Zoom = z;
  UpdateCaption();
  pbImage->update();
}

void TViewFileForm::ZoomInClick() {
  SetZoom(ZoomIn(Zoom, ZoomLimit(std::max(PictureWidth(), PictureHeight()))));
}

void TViewFileForm::ZoomOutClick() {
  const int32_t z = static_cast<int32_t>(int64_t(Zoom) * 4 / 5);
  if (z > 0) SetZoom(z);
}

void TViewFileForm::b1to1Click() { SetZoom(100); }

void TViewFileForm::bFitClick() {
  UpdateCaption();
  pbImage->update();
}

void TViewFileForm::ImageMouseMove(QMouseEvent *event) {
  const int x = static_cast<int>(event->position().x());
  const int y = static_cast<int>(event->position().y());
  TImageMouse &last = ImageMouse();
  if (!bFit->isChecked() && !FullScreen() && (event->buttons() & Qt::LeftButton)) {
    if (last.X >= 0) {
      OffsetX -= last.X - x;
      OffsetY -= last.Y - y;
    }
    OffsetX = ClampOffset(OffsetX, Zoomed(PictureWidth(), Zoom), pbImage->width());
    OffsetY = ClampOffset(OffsetY, Zoomed(PictureHeight(), Zoom), pbImage->height());
    pbImage->update();
    UpdateCaption();
  }
  last.X = x;
  last.Y = y;
}

void TViewFileForm::wheelEvent(QWheelEvent *event) {
  if (Mode != vmImage || event->angleDelta().y() == 0) {
    QWidget::wheelEvent(event);
    return;
  }
  if (event->angleDelta().y() > 0)
    ZoomInClick();
  else
    ZoomOutClick();
  event->accept();
}

// ---- Tools ---------------------------------------------------------------------

void TViewFileForm::PictureChanged() {
  Scaled = QImage();
  bSaveImage->setEnabled(true);
  FitWindowToImage();
}

QImage TViewFileForm::RenderedPicture() const {
  if (!Picture.IsMetafile) return Picture.Bitmap;
  QImage image(Picture.Width(), Picture.Height(), QImage::Format_RGB32);
  if (image.isNull()) return image;
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  PlayMetafile(Picture.Metafile, painter, QRectF(image.rect()));
  return image;
}

void TViewFileForm::bRotateCWClick() {
  if (DeferUntilFull([this] { bRotateCWClick(); }) || Mode != vmImage) return;
  EnsureFullPicture();
  if (Picture.Empty()) return;
  // A metafile turns into its picture; a transparent picture keeps its alpha.
  QImage bitmap = RenderedPicture();
  if (bitmap.hasAlphaChannel()) {
    bitmap = bitmap.transformed(QTransform().rotate(90)).convertToFormat(QImage::Format_ARGB32);
  } else {
    BitmapRotate(bitmap);  // opaque 32-bit pixels
  }
  if (bitmap.isNull()) return;
  const std::optional<QRgb> transparent = Picture.TransparentColour;
  Picture = TPicture{};
  Picture.Bitmap = bitmap;
  Picture.TransparentColour = transparent;
  PictureChanged();
}

void TViewFileForm::mCopyImageClick() {
  if (DeferUntilFull([this] { mCopyImageClick(); }) || Mode != vmImage) return;
  EnsureFullPicture();
  if (Picture.Empty()) return;
  auto *data = new QMimeData;
  if (Picture.IsMetafile)
    data->setData(Picture.Metafile.Kind == TMetafileKind::Emf ? kEmfMime : kWmfMime,
                  QByteArray(Picture.Metafile.Bytes.data(),
                             static_cast<qsizetype>(Picture.Metafile.Bytes.size())));
  data->setImageData(RenderedPicture());
  QApplication::clipboard()->setMimeData(data);
}

void TViewFileForm::mPasteImageClick() {
  if (Mode != vmImage) return;
  const QMimeData *data = QApplication::clipboard()->mimeData();
  TPicture pasted;
  bool ok = false;
  // A metafile first: the bitmap beside it is only its rendering.
  for (const char *mime : {kEmfMime, kWmfMime}) {
    if (ok || !data || !data->hasFormat(mime)) continue;
    const QByteArray bytes = data->data(mime);
    std::string why;
    ok = ParseMetafile(std::string(bytes.constData(), static_cast<size_t>(bytes.size())),
                       pasted.Metafile, why) &&
         PictureSizeAllowed(pasted.Metafile.Width, pasted.Metafile.Height);
    pasted.IsMetafile = ok;
  }
  if (!ok && data && data->hasImage()) {
    const QImage image = qvariant_cast<QImage>(data->imageData());
    if (!image.isNull() && PictureSizeAllowed(image.width(), image.height())) {
      pasted = TPicture{};
      pasted.Bitmap = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                    : QImage::Format_RGB32);
      ok = true;
    }
  }
  if (!ok) {
    DisplayError("|b|1ERROR: Clipboard does not contain an image");
    return;
  }
  DropPreview();
  Picture = std::move(pasted);
  PictureChanged();
}

void TViewFileForm::mHolesClick(int tag) {
  if (DeferUntilFull([this, tag] { mHolesClick(tag); }) || Mode != vmImage) return;
  EnsureFullPicture();
  if (Picture.IsMetafile || Picture.Bitmap.isNull()) return;
  QImage &b = Picture.Bitmap;
  if (b.format() != QImage::Format_ARGB32 && b.format() != QImage::Format_RGB32)
    b = b.convertToFormat(QImage::Format_ARGB32);
  PunchHoles(reinterpret_cast<uint32_t *>(b.bits()), b.width(), b.height(),
             static_cast<int>(b.bytesPerLine() / 4), tag);
  Scaled = QImage();
  pbImage->update();
}

void TViewFileForm::mSaveAsImageClick() {
  if (!DeferUntilFull([this] { mSaveAsImageClick(); }) && Mode == vmImage) SaveImageAs(this);
}

bool SaveImageAs(TViewFileForm *form) {
  if (!form) return false;
  form->EnsureFullPicture();
  if (form->Picture.Empty()) return false;
  return SaveImageFile(form, form->Picture, form->FileName);
}

// ---- Printing ------------------------------------------------------------------

bool TViewFileForm::PrintImage(QPrinter &printer) {
  EnsureFullPicture();
  if (Picture.Empty()) return false;
  printer.setDocName(QGuiApplication::applicationDisplayName());
  printer.setFullPage(true);
  const bool pageLandscape = printer.width() > printer.height();
  if ((PictureWidth() > PictureHeight()) != pageLandscape) bRotateCWClick();
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  QRect r(0, 0, printer.width(), printer.height());
  ImageFit(PictureWidth(), PictureHeight(), r);
  if (Picture.IsMetafile)
    PlayMetafile(Picture.Metafile, painter, QRectF(r));
  else
    PrintBitmap(painter, r, Picture.Bitmap);
  return painter.end();
}

void TViewFileForm::bPrintClick() {
  if (DeferUntilFull([this] { bPrintClick(); })) return;
  if (Mode != vmImage || (Picture.Empty() && Preview.isNull())) return;
  QPrinter printer(QPrinter::HighResolution);
  const QPrinterInfo printerInfo = QPrinterInfo::defaultPrinter();
  if (!printerInfo.isNull()) {
    printer.setPrinterName(printerInfo.printerName());
  } else {
    // No printer: the page goes to a PDF file the user names.
    const std::string name = FileName.substr(FileName.rfind(PathDelim) + 1);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString file = QFileDialog::getSaveFileName(
        this, "Print to PDF File", folder + "/" + ToQ(name) + ".pdf", "PDF (*.pdf)");
    if (file.isEmpty()) return;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
  }
  if (!PrintImage(printer)) DisplayError("|b|1ERROR: Can not Print");
}

// ---- Full screen ---------------------------------------------------------------

void TViewFileForm::bFullScreenClick() {
  if (Mode != vmImage && Mode != vmMedia) return;
  const bool media = Mode == vmMedia;
  if (media) CloseMedia();
  if (!FullScreen()) {
    INIWinSave(this);
    if (ViewerHooks().lockedViewing) ViewerHooks().lockedViewing(true);
    ToolBarImage->hide();
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    showFullScreen();
    if (!media && Caller) {
      Caller->activateWindow();
      Caller->raise();
    }
  } else {
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    showNormal();
    ToolBarImage->show();
    INIWinLoad(this);
    if (ViewerHooks().lockedViewing) ViewerHooks().lockedViewing(false);
  }
  if (media && !PlayMedia()) DisplayError("|b|1ERROR: Can not View file");
  Scaled = QImage();
  pbImage->update();
  UpdateCaption();
}

// ---- Multimedia ----------------------------------------------------------------

bool TViewFileForm::ShowMedia() {
  Mode = vmMedia;
  ShowImagePanel(true);
  show();
  if (PlayMedia()) return true;
  Mode = vmEmpty;
  DisplayError("|b|1ERROR: Can not View file" +
               (MediaError.empty() ? std::string() : "|n|0" + MarkupEscape(MediaError)));
  // The window stays, its panel empty.
  return false;
}

bool TViewFileForm::PlayMedia() {
  CloseMedia();
  MediaError.clear();
  MediaPlayer = new QMediaPlayer(this);
  VideoWidget = new QVideoWidget(pImagePaintBox);
  VideoWidget->setObjectName("MediaVideo");
  VideoWidget->installEventFilter(this);
  pImagePaintBox->layout()->addWidget(VideoWidget);
  // Without any sound device the player plays the picture alone.
  if (!QMediaDevices::audioOutputs().isEmpty()) {
    AudioOutput = new QAudioOutput(MediaPlayer);
    MediaPlayer->setAudioOutput(AudioOutput);
  }
  MediaPlayer->setVideoOutput(VideoWidget);
  QPointer<QMediaPlayer> player(MediaPlayer);
  // The back end opens the file in the background: wait for its verdict so
  // that a file it cannot play is reported now.
  QEventLoop loop;
  auto decided = [&player] {
    if (!player) return true;
    if (player->error() != QMediaPlayer::NoError) return true;
    const QMediaPlayer::MediaStatus status = player->mediaStatus();
    return status != QMediaPlayer::NoMedia && status != QMediaPlayer::LoadingMedia;
  };
  connect(MediaPlayer, &QMediaPlayer::mediaStatusChanged, &loop, [&] {
    if (decided()) loop.quit();
  });
  connect(MediaPlayer, &QMediaPlayer::errorOccurred, &loop, &QEventLoop::quit);
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  MediaPlayer->setSource(QUrl::fromLocalFile(ToQ(FileName)));
  if (!decided()) loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (!player || player->error() != QMediaPlayer::NoError ||
      player->mediaStatus() == QMediaPlayer::InvalidMedia ||
      player->mediaStatus() == QMediaPlayer::NoMedia) {
    if (player) MediaError = player->errorString().toStdString();
    CloseMedia();
    return false;
  }
  VideoWidget->show();
  MediaPlayer->play();
  return true;
}

void TViewFileForm::CloseMedia() {
  if (MediaPlayer) {
    MediaPlayer->stop();
    MediaPlayer->setVideoOutput(nullptr);
    delete MediaPlayer;  // its sound output with it
    MediaPlayer = nullptr;
    AudioOutput = nullptr;
  }
  if (VideoWidget) {
    delete VideoWidget;
    VideoWidget = nullptr;
  }
}

void TViewFileForm::bPauseClick() {
  if (Mode != vmMedia || !MediaPlayer) return;
  if (bPause->isChecked())
    MediaPlayer->pause();
  else
    MediaPlayer->play();
}

}  // namespace trovix
