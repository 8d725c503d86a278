// Program entry: one application, one main window; the program ends when the window is gone.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle("Lumora");
  window.resize(154, 260);
  window.show();
  return app.exec();
}
