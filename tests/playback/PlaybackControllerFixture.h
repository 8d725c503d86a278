#pragma once
// The play modes over fakes, read through the real face presenter: what the tests of
// PlaybackControllerTest share.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "face/FacePresenter.h"
#include "lyrics/FindLyricLine.h"
#include "playback/PlaybackController.h"
#include "support/PlaybackFakes.h"

namespace lumora::test {

// What the face would show, and the square's rows as the playlists to draw from.
class RecordingView : public FaceView, public PlaylistSource {
 public:
  explicit RecordingView(EventLog& log) : log_(log) {}

  void setSongNameCaption(const std::string& t) override { songName = t; }
  void setArtistCaption(const std::string& t) override {
    artist = t;
    artistCaptions.push_back(t);
  }
  void setWindowTitle(const std::string& t) override { title = t; }
  void setCoverPicture(const std::string& b) override { cover = b; }
  void setPlayButtonVisible(bool v) override { playVisible = v; }
  void setPauseButtonVisible(bool v) override { pauseVisible = v; }
  void setProgressWidth(int px) override { progressWidth = px; }
  void setPlayTimes(const std::string& e, const std::string& t) override {
    elapsed = e;
    total = t;
  }
  void setLikeInfoVisible(bool v) override { log_.push_back(v ? "info shown" : "info hidden"); }
  void setLikeResult(const std::string& t) override { log_.push_back("like result " + t); }
  void hidePlaylistSquare() override { squareHidden = true; }
  void setFmButtonSelected(bool s) override { fmSelected = s; }
  void showMessage(const std::string& t) override { log_.push_back("message " + t); }
  int playlistCount() const override { return static_cast<int>(rows.size()); }
  std::string playlistIdAt(int row) const override {
    return row >= 0 && row < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(row)] : "";
  }
  bool answered() const override { return squareAnswered; }
  void reload() override {
    log_.push_back("reload square");
    if (onReload) onReload();
  }

  std::string songName = "Lumora", artist = "--", title, cover, elapsed, total;
  std::vector<std::string> artistCaptions;
  bool playVisible = true, pauseVisible = false, squareHidden = false, fmSelected = false;
  int progressWidth = -1;
  std::vector<std::string> rows;
  bool squareAnswered = true;
  std::function<void()> onReload;
  std::vector<std::string> openedUrls;
  std::vector<std::pair<std::string, int>> desktop;

 private:
  EventLog& log_;
};

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
