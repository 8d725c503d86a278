#pragma once
// A test suite sharing one lumora-server: started before the suite's first test, stopped after
// its last, with the fault controls cleared before each test.
#include <gtest/gtest.h>

#include <memory>

#include "support/ServerProcess.h"

namespace lumora::test {

class ServerSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<ServerProcess>();
    ASSERT_TRUE(server_->start()) << server_->output() << server_->errors();
  }
  static void TearDownTestSuite() { server_.reset(); }

  void SetUp() override {
    ASSERT_TRUE(server_ && server_->running());
    server_->clearFaults();
  }

  static inline std::unique_ptr<ServerProcess> server_;
};

}  // namespace lumora::test
