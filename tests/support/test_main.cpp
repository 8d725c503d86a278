// Test main for tests without widgets.
#include "support/RunTests.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return lumora::test::runTests();
}
