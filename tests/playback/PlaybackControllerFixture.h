#pragma once
// The play modes over fakes: what the tests of PlaybackControllerTest share.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lyrics/FindLyricLine.h"
#include "playback/PlaybackController.h"
#include "playback/PlaybackFakes.h"

namespace lumora::test {

class PlaybackControllerTest : public ::testing::Test {
 protected:
  PlaybackControllerTest() : controller(audio, service, view, "http://127.0.0.1:3000", Hooks()) {
    controller.addObserver(presenter);
    controller.addObserver(lyrics);
  }

  PlaybackHooks Hooks() {
    PlaybackHooks hooks;
    hooks.findLyricLine = [this](const std::string& lyric, const std::string& key) {
      keys.push_back(key);
      return FindLyricLine(lyric, key);
    };
    hooks.pumpedWait = [this](int ms) { log.push_back("wait " + std::to_string(ms)); };
    hooks.openUrl = [this](const std::string& url) { view.openedUrls.push_back(url); };
    hooks.tickCount = [this] { return clock; };
    hooks.random = random;
    hooks.progressTicker = progress;
    hooks.autoPlayTicker = autoPlay;
    hooks.retryTicker = retry;
    hooks.likeBoxTicker = likeBox;
    hooks.background = &background;
    return hooks;
  }

  const PlaybackState& state() const { return controller.state(); }

  void StartFmSongs(std::vector<Song> batch) {
    controller.onFmButtonClicked(true);
    service.fmBatches.push_back(std::move(batch));
    const std::size_t n = service.fmBatches.back().size();
    for (std::size_t i = 0; i < n; ++i) controller.playNext();
  }

  std::size_t Count(const std::string& prefix) const {
    return static_cast<std::size_t>(std::count_if(
        log.begin(), log.end(), [&](const auto& e) { return e.rfind(prefix, 0) == 0; }));
  }

  EventLog log;
  FakeAudio audio{log};
  FakeService service{log};
  RecordingView view{log};
  FacePresenter presenter{view};
  RecordingLyrics lyrics{view.desktop};
  std::shared_ptr<ScriptedRandom> random = std::make_shared<ScriptedRandom>();
  std::vector<std::string> keys;
  std::uint32_t clock = 4242;
  std::shared_ptr<FakeTicker> progress = std::make_shared<FakeTicker>();
  std::shared_ptr<FakeTicker> autoPlay = std::make_shared<FakeTicker>();
  std::shared_ptr<FakeTicker> retry = std::make_shared<FakeTicker>();
  std::shared_ptr<FakeTicker> likeBox = std::make_shared<FakeTicker>();
  FakeBackground background;
  PlaybackController controller;
};

}  // namespace lumora::test
