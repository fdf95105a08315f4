// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/about_form.h"

#include <gtest/gtest.h>

#include <QLabel>

namespace trovix {
namespace {

TEST(AboutFormTest, ShowsVersionLicenceAndTheProgramsIcon) {
  TAboutForm form;
  EXPECT_EQ(form.lVersion->text(), "Version " TROVIX_VERSION);
  EXPECT_TRUE(form.lLicence->text().contains("GPL-3.0-or-later"));
  QIcon icon = TrovixIcon();
  EXPECT_EQ(icon.availableSizes().size(), 7);
  EXPECT_FALSE(icon.pixmap(256, 256).toImage().isNull());
  if (qEnvironmentVariableIsSet("TROVIX_SCREENSHOTS")) form.grab().save("about_form.png");
}

}  // namespace
}  // namespace trovix
