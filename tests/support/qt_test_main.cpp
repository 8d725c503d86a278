// Test main for widget tests: one QApplication for the whole run, on the offscreen platform
// unless the environment asks for another.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstring>
#include <memory>

#include "support/RunTests.h"
#include "support/TempDir.h"

namespace {

// Windows save their settings, autostart entry and what the player remembers at exit; each test
// gets config and state folders of its own, so nothing one test leaves behind reaches the next
// one run in the same process.
class FreshConfigHome : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    home_ = std::make_unique<lumora::test::TempDir>();
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home_->file("config")));
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(home_->file("state")));
  }
  void OnTestEnd(const ::testing::TestInfo&) override { home_.reset(); }

  std::unique_ptr<lumora::test::TempDir> home_;
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests starts nothing: no display connection, no fonts, nothing to leak.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshConfigHome);
  QApplication app(argc, argv);
  return lumora::test::runTests();
}
