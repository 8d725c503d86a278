#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "playback/AudioPlayer.h"
#include "playback/PlaybackInterfaces.h"

namespace lumora {

// The play modes only ever open URL streams; everything else passes straight through.
class PlayerAudioOutput : public AudioOutput {
 public:
  explicit PlayerAudioOutput(AudioPlayer& player) : player_(player) {}

  std::unique_ptr<OpenedStream> openStream(const std::string& url,
                                           const std::optional<SongGain>& gain,
                                           const StopFlag& stop) override {
    return player_.openUrl(url, stop, gain);
  }
  std::uint32_t adopt(std::unique_ptr<OpenedStream> opened) override {
    return player_.adopt(std::move(opened));
  }
  bool play(std::uint32_t stream, bool restart) override { return player_.play(stream, restart); }
  bool pause(std::uint32_t stream) override { return player_.pause(stream); }
  bool stop(std::uint32_t stream) override { return player_.stop(stream); }
  ChannelState isActive(std::uint32_t stream) override { return player_.isActive(stream); }
  std::int64_t getPosition(std::uint32_t stream) override { return player_.getPosition(stream); }
  std::int64_t getLength(std::uint32_t stream) override { return player_.getLength(stream); }
  double bytesToSeconds(std::uint32_t stream, std::int64_t bytes) override {
    return player_.bytesToSeconds(stream, bytes);
  }
  bool freeStream(std::uint32_t stream) override { return player_.freeStream(stream); }
  bool offerNext(std::uint32_t stream, const std::string& url,
                 const std::optional<SongGain>& gain) override {
    return player_.offerNext(stream, url, gain);
  }
  bool withdrawNext(std::uint32_t stream) override { return player_.withdrawNext(stream); }
  bool takeNextStarted(std::uint32_t stream) override { return player_.takeNextStarted(stream); }

 private:
  AudioPlayer& player_;
};

}  // namespace lumora
