// SPDX-License-Identifier: GPL-3.0-or-later
// Shared main of the test programs: a QApplication on the offscreen platform
// so widget tests can create windows without a display.
#include <gtest/gtest.h>
#include <QApplication>
#include <cstdlib>

int main(int argc, char **argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
