// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/about_form.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "foundation/platform.h"

// The icon's resources live in this static library: referencing their
// initialiser keeps them linked into the program.
static void InitIconResources() { Q_INIT_RESOURCE(trovix_icon); }

namespace trovix {

TAboutForm *AboutForm = nullptr;

QIcon TrovixIcon() {
  InitIconResources();
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addFile(QString(":/trovix/icon-%1.png").arg(size), QSize(size, size));
  return icon;
}

TAboutForm::TAboutForm(QWidget *parent) : QWidget(parent, Qt::Dialog) {
  setObjectName("AboutForm");
  setWindowTitle("About Trovix");
  auto *layout = new QVBoxLayout(this);
  auto *icon = new QLabel(this);
  icon->setPixmap(TrovixIcon().pixmap(64, 64));
  icon->setAlignment(Qt::AlignCenter);
  auto *title = new QLabel("<b style='font-size:18pt'>Trovix</b>", this);
  title->setAlignment(Qt::AlignCenter);
  // The build number stays out: the version reads as the package's does.
  std::string version = GetBuildInfo();
  version.erase(std::min(version.size(), version.rfind('.')));
  lVersion = new QLabel(QString("Version %1").arg(QString::fromStdString(version)), this);
  lVersion->setAlignment(Qt::AlignCenter);
  auto *text = new QLabel("A fast, safe file manager.", this);
  text->setAlignment(Qt::AlignCenter);
  lLicence = new QLabel(QString("Free software under the<br>"
                                "<a href='https://www.gnu.org/licenses/gpl-3.0.html'>%1</a><br>"
                                "(%2), without any warranty.")
                            .arg(kLicenceName, kLicenceId),
                        this);
  lLicence->setAlignment(Qt::AlignCenter);
  lLicence->setTextFormat(Qt::RichText);
  lLicence->setOpenExternalLinks(true);
  auto *ok = new QPushButton("OK", this);
  connect(ok, &QPushButton::clicked, this, &QWidget::hide);
  layout->addWidget(icon);
  layout->addWidget(title);
  layout->addWidget(lVersion);
  layout->addWidget(text);
  layout->addWidget(lLicence);
  layout->addWidget(ok, 0, Qt::AlignCenter);
  setFixedSize(sizeHint().expandedTo(QSize(320, 240)));
}

void TAboutForm::ShowSplash(int milliseconds) {
  show();
  QTimer::singleShot(milliseconds, this, &QWidget::hide);
}

}  // namespace trovix
