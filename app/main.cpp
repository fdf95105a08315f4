// Program start: the application object and its first window.
#include <QApplication>
#include <QWidget>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Trovix");
  QWidget window;
  window.setWindowTitle("Trovix");
  window.resize(800, 600);
  window.show();
  return app.exec();
}
