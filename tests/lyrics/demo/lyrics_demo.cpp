// Shows the desktop lyrics window as start-up leaves it, for a screenshot on a real display.
// Usage: lyrics_demo [seconds] [font face] [font size] [highlight percent]
#include <QApplication>
#include <QTimer>

#include "lyrics/DesktopLyricsWindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  const int seconds = args.size() > 1 ? args[1].toInt() : 10;
  const QString face = args.size() > 2 ? args[2] : QStringLiteral("微软雅黑");
  const int size = args.size() > 3 ? args[3].toInt() : 50;
  const int percent = args.size() > 4 ? args[4].toInt() : 0;

  lumora::DesktopLyricsWindow lyrics;
  if (!lumora::setUpDesktopLyricsAtStartup(lyrics, face, size, true, false, false)) return 1;
  lyrics.SetText(QStringLiteral("欢迎进入Lumora"), percent);
  lyrics.Show();
  QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
  const int rc = app.exec();
  lyrics.Destroy();
  return rc;
}
