// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/about_form.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace trovix {

TAboutForm *AboutForm = nullptr;

TAboutForm::TAboutForm(QWidget *parent) : QWidget(parent, Qt::Dialog) {
  setObjectName("AboutForm");
  setWindowTitle("About Trovix");
  auto *layout = new QVBoxLayout(this);
  auto *icon = new QLabel(this);
  icon->setPixmap(QApplication::style()->standardIcon(QStyle::SP_DirHomeIcon).pixmap(48, 48));
  icon->setAlignment(Qt::AlignCenter);
  auto *title = new QLabel("<b style='font-size:18pt'>Trovix</b>", this);
  title->setAlignment(Qt::AlignCenter);
  auto *text = new QLabel("A fast, safe file manager.", this);
  text->setAlignment(Qt::AlignCenter);
  auto *ok = new QPushButton("OK", this);
  connect(ok, &QPushButton::clicked, this, &QWidget::hide);
  layout->addWidget(icon);
  layout->addWidget(title);
  layout->addWidget(text);
  layout->addWidget(ok, 0, Qt::AlignCenter);
  setFixedSize(sizeHint().expandedTo(QSize(280, 200)));
}

void TAboutForm::ShowSplash(int milliseconds) {
  show();
  QTimer::singleShot(milliseconds, this, &QWidget::hide);
}

}  // namespace trovix
