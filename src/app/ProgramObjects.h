#pragma once
// The program-wide objects and values: made once before the main window, alive until exit.
#include <functional>
#include <string>

#include "net/JsonDocument.h"
#include "playback/AudioPlayer.h"

namespace lumora {

// The output device as the main window sees it: opened when the window is created, released
// when it is destroyed. Points at `player` unless a test replaces it.
struct AudioDevice {
  std::function<bool()> init;
  std::function<bool()> free;
};

struct ProgramObjects {
  ProgramObjects();
  ProgramObjects(const ProgramObjects&) = delete;
  ProgramObjects& operator=(const ProgramObjects&) = delete;

  AudioPlayer player;
  AudioDevice audio;
  // The one document the square and the API routines read their answers into.
  JsonDocument apiJson;

  std::string playMode;
  std::string currentTitle;
  std::string sessionCookie;
  std::string browseMode;
  std::string browseKeyword;
  int browseOffset = 0;
  // Copied into the login window's edit boxes when it opens.
  std::string loginAccount;
  std::string loginPassword;
  // The running program's full path, for the autostart entry.
  std::string programPath;
};

}  // namespace lumora
