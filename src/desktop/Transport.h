#pragma once
// The song's position and the player's volume in the units people use (seconds, 0..1), shared
// by the face's gestures and the media-player service so both see each other's changes.
#include <QObject>
#include <cstdint>

namespace lumora {

class AudioPlayer;
class PlaybackController;

class Transport : public QObject {
  Q_OBJECT
 public:
  Transport(AudioPlayer& player, PlaybackController& playback, QObject* parent = nullptr);

  // A stream of known length is playing or paused: only then can it be sought.
  bool canSeek() const;
  // Seconds; 0 when there is no song or the stream does not know yet.
  double position() const;
  double length() const;
  // Clamped to the stream; false (and nothing moves) without a song to seek in.
  bool seekTo(double seconds);

  // 0..1; the player's own volume, 1 before its device is open.
  double volume() const;
  // Clamped to 0..1; false while the player has no device.
  bool setVolume(double volume);

 signals:
  void volumeChanged(double volume);
  void seeked(double seconds);

 private:
  std::uint32_t stream() const;

  AudioPlayer& player_;
  PlaybackController& playback_;
};

}  // namespace lumora
