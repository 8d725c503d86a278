#pragma once
// A main window whose play modes run over the scripted output and service of the playback
// tests, with an eight-row playlist square.
#include <QApplication>
#include <QTreeWidget>
#include <algorithm>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "square/SquareWidgets.h"
#include "support/Controls.h"
#include "support/PlaybackFakes.h"

namespace lumora::test {

// Eight square rows whose ids are "p0".."p7", each a playlist of one song per suffix
// ("p3a", "p3b", ...); eachSong sees every song id. The panel stays hidden.
inline void fillSquare(MainWindow& window, FakeService& service,
                       std::initializer_list<const char*> suffixes,
                       const std::function<void(const std::string&)>& eachSong = {}) {
  std::vector<std::string> names, ids;
  for (int row = 0; row < 8; ++row) {
    const std::string id = "p" + std::to_string(row);
    names.push_back("list " + id);
    ids.push_back(id);
    FakePlaylist playlist;
    for (const char* suffix : suffixes) {
      playlist.songs.push_back(MakeSong(id + suffix));
      if (eachSong) eachSong(id + suffix);
    }
    service.playlists[id] = playlist;
  }
  window.squareWidgets()->ShowAccountPlaylists(names, ids);
  control<QWidget>(window, "外形框1")->hide();
}

struct PlaybackWindow {
  PlaybackWindow() {
    objects.audio.init = [] { return true; };
    objects.audio.free = [] { return true; };
    objects.audioOutput = &audio;
    objects.musicService = &service;
    objects.background = &background;
    objects.options.ApiBaseAddress = "http://127.0.0.1:9";
    window = std::make_unique<MainWindow>(
        objects, [this](QWidget*, const MessageBoxRequest& box) { boxes.push_back(box); });
    fillSquare(*window, service, {"a", "b"});
  }

  std::size_t count(const std::string& prefix) const {
    return static_cast<std::size_t>(std::count_if(
        log.begin(), log.end(), [&](const auto& e) { return e.rfind(prefix, 0) == 0; }));
  }
  // The stream the controller plays now.
  FakeAudio::Stream& stream() {
    return audio.streams[window->playback().state().now.currentStream];
  }

  EventLog log;
  FakeAudio audio{log};
  FakeService service{log};
  FakeBackground background;
  ProgramObjects objects{ReadOptions()};
  std::vector<MessageBoxRequest> boxes;
  std::unique_ptr<MainWindow> window;
};

}  // namespace lumora::test
