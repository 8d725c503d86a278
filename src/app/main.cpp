// Program entry: the program-wide objects, then the main window; destroying the window ends the
// program.
#include <QApplication>
#include <QPointer>
#include <QTimer>

#include "app/Fonts.h"
#include "app/MainWindow.h"
#include "app/Options.h"
#include "app/ProgramExit.h"
#include "app/ProgramObjects.h"
#include "app/Translations.h"
#include "common/WarmUpThread.h"
#include "desktop/AppIcon.h"
#include "desktop/SingleInstance.h"
#include "desktop/WindowPlatform.h"
#include "playback/AudioPlayer.h"

int main(int argc, char** argv) {
  // The font configuration is read while the window system connects.
  lumora::WarmUpThread fontConfiguration(lumora::ReadFontConfiguration);
  lumora::PreferX11WhereThereIsAnX11Server();
  QApplication app(argc, argv);
  // Without a session bus address, looking for the bus forks a helper that allocates memory
  // before it runs its program. Under an allocator that does not prepare for fork (the address
  // sanitizer's), a fork while another thread holds its lock leaves the helper waiting for ever,
  // and the player with it. So no other thread runs by then; the configuration has mostly been
  // read while the application connected.
  fontConfiguration.finish();
  if (lumora::HandOverToRunningPlayer(QDBusConnection::sessionBus())) {
    qInfo("lumora: already running; its face was brought forward");
    return 0;
  }
  // The media framework loads while the window is built; nothing plays before it is up. Started
  // only now, it does not slow the connection to the window system.
  const lumora::WarmUpThread audioFramework(lumora::LoadAudioFramework);
  // The launcher, the window manager's class and the media-player service all say "lumora".
  QApplication::setApplicationName(QStringLiteral("lumora"));
  QGuiApplication::setDesktopFileName(QStringLiteral("lumora"));
  QApplication::setWindowIcon(lumora::AppIcon());
  // Message boxes shown while the window hides in the tray must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);
  lumora::installFontFallbacks();
  lumora::installChineseTranslations();

  lumora::ProgramObjects objects(lumora::ReadOptions());
  QPointer<lumora::MainWindow> window = new lumora::MainWindow(objects);
  lumora::endProgramWithWindow(window);
  window->show();
  if (const QString limits = lumora::WindowPlacementLimits(QGuiApplication::platformName());
      !limits.isEmpty()) {
    qWarning("lumora: %s", qUtf8Printable(limits));
    // From the event loop, so the face is up behind the box.
    QTimer::singleShot(0, window, [window, limits] { window->showMessage(limits); });
  }
  const int status = app.exec();
  delete window;  // runs the destroy handler if the loop ended some other way
  return status;
}
