#pragma once
#include <thread>

namespace lumora {

// Reads the desktop's font configuration on a thread of its own while the program connects to
// the window system, so the form's first caption finds it read. Joined when it goes.
class FontConfigWarmUp {
 public:
  FontConfigWarmUp();
  ~FontConfigWarmUp();
  FontConfigWarmUp(const FontConfigWarmUp&) = delete;
  FontConfigWarmUp& operator=(const FontConfigWarmUp&) = delete;

 private:
  std::thread thread_;
};

// The form names Windows font faces; map them onto what a Linux desktop has so Chinese captions
// render. Call once after the QApplication exists.
void installFontFallbacks();

}  // namespace lumora
