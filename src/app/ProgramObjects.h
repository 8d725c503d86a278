#pragma once
// The program-wide objects and values: made once before the main window, alive until exit, and
// handed down to the features that use them. No feature's state lives here: the login, the
// square's browsing and the settings each have an owner of their own.
#include <functional>
#include <string>

#include "app/Options.h"
#include "json/JsonDocument.h"
#include "lyrics/DesktopLyricsWindow.h"
#include "playback/AudioPlayer.h"
#include "playback/PlaybackClock.h"
#include "playback/PlaybackInterfaces.h"

namespace lumora {

// The output device as the main window sees it: opened when the window is created, released
// when it is destroyed. Points at `player` unless a test replaces it.
struct AudioDevice {
  std::function<bool()> init;
  std::function<bool()> free;
};

struct ProgramObjects {
  explicit ProgramObjects(Options options = {});
  ProgramObjects(const ProgramObjects&) = delete;
  ProgramObjects& operator=(const ProgramObjects&) = delete;

  AudioPlayer player;
  AudioDevice audio;
  // Made after the application object, so its window is gone before the application is.
  DesktopLyricsWindow desktopLyrics;
  // What the environment said; tests point the base address at their own server.
  Options options;
  // Left empty, playback uses `player`; tests put their own output and service here. The play
  // modes' state (mode, queues, history, the current song) lives in the window's controller.
  AudioOutput* audioOutput = nullptr;
  MusicService* musicService = nullptr;
  // Where songs are opened and likes sent; left empty, on worker threads of the window's own.
  BackgroundRunner* background = nullptr;
  // How often playback ticks and how long it waits before trying a lost server again; tests
  // shorten them instead of waiting.
  PlaybackPeriods playbackPeriods;
  // Whether the desktop has a notification area now; tests say either.
  std::function<bool()> trayAvailable;
  // The one document the square and the API routines read their answers into.
  JsonDocument apiJson;
  // The running program's full path, for the autostart entry.
  const std::string programPath;
};

}  // namespace lumora
