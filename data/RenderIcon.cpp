// Build tool: draws the program's icon as a PNG of one size, for the hicolor theme.
// Usage: lumora-render-icon SIDE OUTPUT.png
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>

#include "desktop/AppIcon.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SIDE OUTPUT.png\n", argv[0]);
    return 2;
  }
  const int side = std::atoi(argv[1]);
  if (side <= 0) {
    std::fprintf(stderr, "bad side: %s\n", argv[1]);
    return 2;
  }
  // Drawing needs no screen.
  char platform[] = "-platform", offscreen[] = "offscreen";
  char* qtArgs[] = {argv[0], platform, offscreen, nullptr};
  int qtArgc = 3;
  QGuiApplication app(qtArgc, qtArgs);
  const QImage icon = lumora::AppIcon().pixmap(QSize(side, side)).toImage();
  if (!icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
