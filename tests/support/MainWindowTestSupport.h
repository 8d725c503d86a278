#pragma once
// A main window with a recorded message box presenter and a fake output device.
#include <memory>
#include <utility>
#include <vector>

#include "app/MainWindow.h"

namespace lumora::test {

struct WindowFixture {
  explicit WindowFixture(bool audioWorks = true, Options options = ReadOptions())
      : objects(std::move(options)) {
    objects.audio.init = [this, audioWorks] {
      ++initCalls;
      return audioWorks;
    };
    objects.audio.free = [this] {
      ++freeCalls;
      return true;
    };
    window = std::make_unique<MainWindow>(objects,
                                          [this](QWidget* owner, const MessageBoxRequest& request) {
                                            boxes.push_back(request);
                                            owners.push_back(owner);
                                          });
  }

  ProgramObjects objects;
  std::vector<MessageBoxRequest> boxes;
  std::vector<QWidget*> owners;
  int initCalls = 0;
  int freeCalls = 0;
  std::unique_ptr<MainWindow> window;
};

}  // namespace lumora::test
