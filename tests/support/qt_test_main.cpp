// Test main for widget tests: one QApplication for the whole run, on the offscreen platform
// unless the environment asks for another.
#include <gtest/gtest.h>

#include <QApplication>

#include "support/TempDir.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Windows save their settings and autostart entry at exit; each test process gets a config
  // folder of its own, so nothing one test leaves behind reaches the next.
  lumora::test::TempDir configHome;
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(configHome.path().string()));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
