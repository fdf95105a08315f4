# SPDX-License-Identifier: GPL-3.0-or-later
# Precompiled headers: the Qt and standard headers that nearly every Qt source
# of the program includes, compiled once into trovix_qt_pch and reused by every
# Qt library (trovix_subsystem) and every test program (tests/CMakeLists.txt).
# TROVIX_PCH=OFF turns them off (to compare build times).
option(TROVIX_PCH "Precompiled Qt headers for the Qt libraries and the tests" ON)

set(TROVIX_QT_PCH_HEADERS
  <string> <vector> <functional> <memory> <algorithm>
  <QApplication> <QWidget> <QPainter> <QKeyEvent> <QMouseEvent> <QVBoxLayout> <QHBoxLayout>
  <QLabel> <QLineEdit> <QPushButton> <QComboBox> <QDialog> <QTimer> <QAction> <QMenu> <QStyle>)

if(TROVIX_PCH)
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/trovix_qt_pch.cpp
    CONTENT "// The target that owns the precompiled Qt headers.\n")
  add_library(trovix_qt_pch STATIC ${CMAKE_BINARY_DIR}/trovix_qt_pch.cpp)
  target_link_libraries(trovix_qt_pch PUBLIC Qt6::Widgets Qt6::PrintSupport)
  target_precompile_headers(trovix_qt_pch PRIVATE ${TROVIX_QT_PCH_HEADERS})
endif()

# trovix_use_qt_pch(target): target compiles with the shared precompiled headers.
function(trovix_use_qt_pch target)
  if(TROVIX_PCH)
    target_precompile_headers(${target} REUSE_FROM trovix_qt_pch)
  endif()
endfunction()
