#include "desktop/Transport.h"

#include <algorithm>
#include <cmath>

#include "playback/AudioPlayer.h"
#include "playback/PlaybackController.h"

namespace lumora {

Transport::Transport(AudioPlayer& player, PlaybackController& playback, QObject* parent)
    : QObject(parent), player_(player), playback_(playback) {}

std::uint32_t Transport::stream() const { return playback_.state().now.currentStream; }

bool Transport::canSeek() const { return length() > 0; }

double Transport::position() const {
  const std::int64_t bytes = player_.getPosition(stream());
  return bytes > 0 ? std::max(0.0, player_.bytesToSeconds(stream(), bytes)) : 0.0;
}

double Transport::length() const {
  const std::int64_t bytes = player_.getLength(stream());
  return bytes > 0 ? std::max(0.0, player_.bytesToSeconds(stream(), bytes)) : 0.0;
}

bool Transport::seekTo(double seconds) {
  const double total = length();
  if (total <= 0 || std::isnan(seconds)) return false;
  const double target = std::clamp(seconds, 0.0, total);
  // The player refuses a byte past the end, so rounding must not carry the target over it.
  const std::int64_t bytes =
      std::min(player_.secondsToBytes(stream(), target), player_.getLength(stream()));
  if (!player_.setPosition(stream(), bytes)) return false;
  playback_.positionMoved();
  emit seeked(target);
  return true;
}

double Transport::volume() const {
  const float v = player_.getVolume();
  return v < 0 ? 1.0 : v;
}

bool Transport::setVolume(double volume) {
  if (std::isnan(volume)) return false;
  const double v = std::clamp(volume, 0.0, 1.0);
  if (!player_.setVolume(static_cast<float>(v))) return false;
  emit volumeChanged(v);
  return true;
}

}  // namespace lumora
