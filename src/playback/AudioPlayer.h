#pragma once
// The program's audio player: file, memory and URL streams over GStreamer playbin, addressed by
// small integer handles. Positions and lengths are bytes of 16-bit PCM at the stream's own rate
// and channel count. Called from one thread only, but for openUrl; GStreamer plays on threads of
// its own. createStream opens through the player's runner: with the window's, its caller goes on
// handling events, and may call any operation, while the new stream opens; it gets no handle
// before it is ready.
#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Runners.h"
#include "common/SongGain.h"
#include "playback/AudioTypes.h"

namespace lumora {

class PlayerStream;

// Loads the media framework; for a WarmUpThread at start-up, so that the player's init waits
// only for what is left of it.
void LoadAudioFramework();

class AudioPlayer {
 public:
  AudioPlayer();
  ~AudioPlayer();
  AudioPlayer(const AudioPlayer&) = delete;
  AudioPlayer& operator=(const AudioPlayer&) = delete;

  // device -1: the default output (LUMORA_AUDIO_DEVICE=0 turns it into the no-sound device);
  // 0: no sound, decoding in real time; n >= 1: the n-th audio output the system lists.
  // frequency, flags and window are accepted for the callers' sake; the sink negotiates the rate.
  bool init(int device = -1, std::uint32_t frequency = 44100, std::uint32_t flags = 0,
            std::uintptr_t window = 0);
  bool free();

  // An existing file wins over memory, memory over a URL. offset skips that many bytes of the
  // file or memory (ignored for URLs). 0 when nothing playable could be opened.
  std::uint32_t createStream(const std::string& file = {}, std::string_view memory = {},
                             const std::string& url = {}, std::int64_t offset = 0);
  bool play(std::uint32_t handle, bool restart = true);
  bool pause(std::uint32_t handle);
  bool stop(std::uint32_t handle);
  std::int64_t getPosition(std::uint32_t handle);  // -1 for an unknown handle
  bool setPosition(std::uint32_t handle, std::int64_t position);
  // -1 when unknown: a stream that has not played yet may not know it.
  std::int64_t getLength(std::uint32_t handle);
  std::string getTags(std::uint32_t handle);  // the ID3v1 block up to its first zero byte
  ChannelState isActive(std::uint32_t handle);
  // Silent at once; the pipeline is taken down on a thread of its own, since that may take a
  // while. False for an unknown handle.
  bool freeStream(std::uint32_t handle);
  bool setVolume(float volume);
  // Each song at the same loudness where the server told it (Levelling.h); on at first. The
  // streams playing follow at once.
  void setLevelling(bool on);
  float getVolume() const;                                             // -1 before init
  double bytesToSeconds(std::uint32_t handle, std::int64_t position);  // -1 for an unknown handle
  std::int64_t secondsToBytes(std::uint32_t handle, double seconds);   // -1 for an unknown handle
  static std::int64_t colorComponent(std::int64_t value, int part);

  // A URL stream opened on any thread, the player's own left free meanwhile; `stop` ends the
  // open early. Null when it cannot be opened. Valid between init and free.
  // gain levels the song (Levelling.h).
  std::unique_ptr<OpenedStream> openUrl(const std::string& url, const StopFlag& stop,
                                        const std::optional<SongGain>& gain = std::nullopt) const;
  // The opened stream under a handle of its own; 0 for none.
  std::uint32_t adopt(std::unique_ptr<OpenedStream> opened);

  // The song that follows the stream's end in the same pipeline, without a gap; see
  // PlayerStream. False for an unknown handle.
  bool offerNext(std::uint32_t handle, const std::string& url,
                 const std::optional<SongGain>& gain = std::nullopt);
  bool withdrawNext(std::uint32_t handle);
  bool takeNextStarted(std::uint32_t handle);

  // How createStream waits for its stream to open; the runner must outlive its use here. Until
  // set, right on the calling thread.
  void setRunner(BlockingRunner& runner) { runner_ = &runner; }

  // Called on a media thread whenever a stream posts something to act on (its end, a failure, a
  // change of buffering, a song that began, its length), so the caller need not poll for it: it
  // hands the news to its own thread, which then calls handlePosted and looks at its streams. Set
  // before the first stream opens.
  using PostNotifier = std::function<void()>;
  void setPostNotifier(PostNotifier notify);
  // Acts on what every stream has posted so far (buffering resumes a stream at once).
  void handlePosted();

  // Streams currently held (for leak checks).
  std::size_t streamCount() const { return streams_.size(); }

 private:
  enum class Output { None, Null, Factory, Device };

  PlayerStream* find(std::uint32_t handle);
  std::unique_ptr<PlayerStream> make(const std::string& uri, std::string memory) const;
  std::uint32_t add(std::unique_ptr<PlayerStream> stream);
  void* makeSink() const;

  std::atomic<bool> initialised_ = false;
  Output output_ = Output::None;
  std::string sinkFactory_;
  void* device_ = nullptr;  // GstDevice* for an output chosen by number
  std::atomic<float> volume_ = 1.0f;
  std::atomic<bool> levelling_ = true;
  std::uint32_t lastHandle_ = 0;
  PostNotifier notifyPosted_;
  std::map<std::uint32_t, std::unique_ptr<PlayerStream>> streams_;
  // Streams being taken down.
  std::vector<std::future<void>> freeing_;
  BlockingRunner* runner_ = &InPlaceRunner();
};

}  // namespace lumora
