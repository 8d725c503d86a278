#pragma once
// One stream of the player: a playbin over a URI (or bytes in memory) into an output bin of its
// own. A stream opens held at its first sample: everything before its output is ready, and the
// sound server meets it only when it is played, so a stream that waited for its lyric and cover
// starts at once rather than as late as it waited. A song handed to it before its end follows
// in the same pipeline, from the last sample of the one before.
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "common/Runners.h"
#include "common/SongGain.h"
#include "playback/AudioTypes.h"
#include "playback/MemorySource.h"

namespace lumora {

class PlayerStream final : public OpenedStream {
 public:
  // Called on a media thread whenever the stream posts something to act on.
  using Notify = std::function<void()>;

  // Takes `sink`; null when the pipeline cannot be made. Any thread.
  static std::unique_ptr<PlayerStream> make(const std::string& uri, std::string memory,
                                            GstElement* sink, double volume, Notify notify);
  ~PlayerStream() override;
  PlayerStream(const PlayerStream&) = delete;
  PlayerStream& operator=(const PlayerStream&) = delete;

  // Opens to the first sample and holds it there, bounded; false when the stream cannot play or
  // `stop` was set. Touches this stream only, so it may run on a worker before the stream is
  // handed to the player's thread, which makes every further call.
  bool open(const StopFlag& stop);

  // Acts on what the pipeline has posted so far.
  void pump();
  bool play(bool restart);
  // A stream never played may be paused too: it then waits at its first sample for play.
  bool pause();
  bool stop();
  ChannelState state();
  std::int64_t position();
  std::int64_t length();
  bool seek(std::int64_t bytes);
  double toSeconds(std::int64_t bytes);
  std::int64_t toBytes(double seconds);
  void setVolume(double volume);
  // The stream's own song's loudness, before it is opened, and whether levelling is on
  // (Levelling.h).
  void levelSong(const std::optional<SongGain>& gain, bool on);
  // Levelling on or off, from the sample now at the song gain.
  void setLevelling(bool on);

  // The song that follows this one's end without a gap: handed to the pipeline when it is about
  // to run out of data. False for a stream that ended or failed.
  bool offerNext(const std::string& uri, const std::optional<SongGain>& gain);
  // True when the stream holds no song to follow any more; false when it took the offered song
  // already and will play it.
  bool withdrawNext();
  // True once after the song it took has begun to sound.
  bool takeNextStarted();

  // The bytes of a memory stream; null otherwise.
  const MemorySource* memory() const { return memory_.get(); }
  // The file a stream was opened from, for its tag; empty for memory and URL streams.
  std::string file;
  std::int64_t fileOffset = 0;

 private:
  PlayerStream() = default;
  static GstBusSyncReply onPosted(GstBus*, GstMessage* msg, gpointer user);
  static GstPadProbeReturn onHeld(GstPad*, GstPadProbeInfo* info, gpointer user);
  static void onAboutToFinish(GstElement* playbin, gpointer user);
  static GstPadProbeReturn onSongStart(GstPad*, GstPadProbeInfo* info, gpointer user);
  // Sets the song gain for songGain_; under nextMutex_.
  void applyGain();

  void handle(GstMessage* msg);
  void apply(GstState state) { gst_element_set_state(playbin_, state); }
  void release();
  // A song it took waits behind the one heard.
  bool awaitingNext() const { return handed_ > std::max(startsSeen_ - 1, 0); }
  int bytesPerFrame() const { return channels_ * 2; }
  std::int64_t timeToBytes(gint64 ns) const;
  void readFormat();
  // The segment the sink counts in, held; null when it has none.
  GstEvent* sinkSegment() const;
  void queryLength();
  std::int64_t estimateLength();

  GstElement* playbin_ = nullptr;
  GstBus* bus_ = nullptr;
  GstElement* gain_ = nullptr;
  GstElement* volume_ = nullptr;
  // The last elements of the output bin. The position is asked of the sink alone: asked of
  // playbin, the query walks every bin on the way down, ten times a second. The format lock
  // keeps the output in the first song's format, so that a later song of another format is
  // converted rather than the sound server's stream made again.
  GstElement* sink_ = nullptr;
  GstElement* formatLock_ = nullptr;
  // The output bin's entrance and the probe that holds the first sample there.
  GstPad* entrance_ = nullptr;
  gulong hold_ = 0;
  std::unique_ptr<MemorySource> memory_;
  Notify notify_;

  int rate_ = 44100;
  int channels_ = 2;
  bool formatKnown_ = false;
  enum class Want { Stopped, Playing, Paused } want_ = Want::Stopped;
  // Also set on a streaming thread, as the pipeline posts them, so that the end is known the
  // moment it is announced.
  std::atomic<bool> ended_ = false;
  std::atomic<bool> failed_ = false;
  std::atomic<bool> opened_ = false;
  bool buffering_ = false;
  std::int64_t lastPosition_ = 0;
  std::int64_t length_ = -1;
  // The length came from the pipeline's own duration, which stays until it says it changed.
  bool lengthCurrent_ = false;

  // The song offered to follow, until the pipeline takes it; how many it took; how many songs
  // began to sound (the first is the stream's own).
  std::mutex nextMutex_;
  std::string nextUri_;
  std::atomic<int> handed_ = 0;
  int startsSeen_ = 0;
  bool nextStarted_ = false;
  // The loudness of the song at the song gain, of the song offered, and of the one the pipeline
  // took, which applies once its first sample comes; under nextMutex_.
  std::optional<SongGain> songGain_, nextGain_, handedGain_;
  bool levelling_ = true;
  int songsEntered_ = 0;  // stream-start events at the song gain; on the streaming thread
  // The sink's segment when the song it took was heard, held until the sink has the new one.
  GstEvent* oldSegment_ = nullptr;
};

}  // namespace lumora
