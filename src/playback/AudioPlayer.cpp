#include "playback/AudioPlayer.h"

#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "common/BlockingWork.h"
#include "playback/MemorySource.h"

namespace lumora {

namespace {

// playbin's GstPlayFlags: audio only. Its own soft volume leaks one element per pipeline
// (GStreamer 1.22), so the volume sits in our sink bin instead.
constexpr guint kPlayFlagAudio = 0x2;

// Every wait on the network or a decoder ends after this long.
constexpr GstClockTime kOpenTimeout = 15 * GST_SECOND;
constexpr GstClockTime kLengthWait = GST_SECOND / 2;
// How often an opening stream looks at its stop flag.
constexpr GstClockTime kWatch = 25 * GST_MSECOND;
// The sound server's share of a stream, in microseconds.
constexpr gint64 kSinkBuffer = 60000;
constexpr gint64 kSinkPeriod = 10000;
constexpr std::size_t kId3v1Size = 128;

// A sink that really reaches a sound output: opening it (NULL -> READY) connects to the server
// or the device, which fails when there is none.
bool sinkOpens(GstElement* sink) {
  if (!sink) return false;
  gst_object_ref_sink(sink);
  bool ok = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
  gst_element_set_state(sink, GST_STATE_NULL);
  gst_object_unref(sink);
  return ok;
}

std::string id3v1Text(const char* block, std::size_t size) {
  if (size < kId3v1Size || std::memcmp(block, "TAG", 3) != 0) return {};
  return std::string(block, strnlen(block, kId3v1Size));
}

}  // namespace

struct AudioPlayer::Stream {
  // On the thread that posts: the end, a failure or a change of buffering is told at once, not
  // at the next query, which may be a second away.
  static GstBusSyncReply onPosted(GstBus*, GstMessage* msg, gpointer user) {
    auto* self = static_cast<Stream*>(user);
    switch (GST_MESSAGE_TYPE(msg)) {
      case GST_MESSAGE_EOS:
        self->ended = true;
        break;
      case GST_MESSAGE_ERROR:
        self->failed = true;
        break;
      case GST_MESSAGE_BUFFERING:
      case GST_MESSAGE_CLOCK_LOST:
        break;
      default:
        return GST_BUS_PASS;
    }
    if (self->notifyPosted) self->notifyPosted();
    return GST_BUS_PASS;
  }

  GstElement* playbin = nullptr;
  GstBus* bus = nullptr;
  GstElement* volume = nullptr;
  // The end of our sink bin. The position is asked of it alone: asked of playbin, the query
  // walks every bin on the way down, ten times a second.
  GstElement* sink = nullptr;
  std::unique_ptr<MemorySource> memory;
  std::string file;  // for the tag; empty for memory and URL streams
  std::int64_t fileOffset = 0;
  int rate = 44100;
  int channels = 2;
  enum class Want { Stopped, Playing, Paused } want = Want::Stopped;
  // Also set on a streaming thread, as the pipeline posts them, so that the end is known the
  // moment it is announced.
  std::atomic<bool> ended = false;
  std::atomic<bool> failed = false;
  AudioPlayer::PostNotifier notifyPosted;
  bool buffering = false;
  std::int64_t lastPosition = 0;
  std::int64_t length = -1;
  // The length came from the pipeline's own duration, which stays until it says it changed.
  bool lengthCurrent = false;

  ~Stream() {
    if (bus) gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    if (playbin) {
      gst_element_set_state(playbin, GST_STATE_NULL);
      gst_object_unref(playbin);
    }
    if (bus) {
      gst_bus_set_flushing(bus, TRUE);
      gst_object_unref(bus);
    }
  }

  int bytesPerFrame() const { return channels * 2; }

  std::int64_t timeToBytes(gint64 ns) const {
    if (ns <= 0) return 0;
    return std::int64_t(gst_util_uint64_scale(guint64(ns), guint64(rate), GST_SECOND)) *
           bytesPerFrame();
  }

  void apply(GstState state) { gst_element_set_state(playbin, state); }

  void handle(GstMessage* msg) {
    switch (GST_MESSAGE_TYPE(msg)) {
      case GST_MESSAGE_EOS:
        ended = true;
        break;
      case GST_MESSAGE_ERROR:
        failed = true;
        break;
      case GST_MESSAGE_DURATION_CHANGED:
        lengthCurrent = false;
        break;
      case GST_MESSAGE_CLOCK_LOST:
        // The pipeline picks a new clock on its way back to PLAYING.
        if (want == Want::Playing && !buffering) {
          apply(GST_STATE_PAUSED);
          apply(GST_STATE_PLAYING);
        }
        break;
      case GST_MESSAGE_BUFFERING: {
        gint percent = 0;
        gst_message_parse_buffering(msg, &percent);
        bool was = buffering;
        buffering = percent < 100;
        // Hold the clock while the network catches up, so the position does not run ahead.
        if (want == Want::Playing && was != buffering)
          apply(buffering ? GST_STATE_PAUSED : GST_STATE_PLAYING);
        break;
      }
      default:
        break;
    }
  }

  // No main loop runs for us: every query drains what the pipeline has said so far.
  void pump() {
    while (GstMessage* msg = gst_bus_pop(bus)) {
      handle(msg);
      gst_message_unref(msg);
    }
  }

  // Preroll to PAUSED and wait for it, bounded; false when the stream cannot play or `stop` was
  // set. Touches this stream only, so it may run on a worker while the caller's thread lives on.
  bool preroll(const StopFlag& stop) {
    if (gst_element_set_state(playbin, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) return false;
    gint64 deadline = g_get_monotonic_time() + gint64(kOpenTimeout / GST_USECOND);
    for (;;) {
      gint64 left = deadline - g_get_monotonic_time();
      if (left <= 0 || stop) return false;
      GstMessage* msg = gst_bus_timed_pop(bus, std::min(GstClockTime(left) * GST_USECOND, kWatch));
      if (!msg) continue;
      bool done = GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ASYNC_DONE &&
                  GST_MESSAGE_SRC(msg) == GST_OBJECT(playbin);
      handle(msg);
      gst_message_unref(msg);
      if (failed) return false;
      if (done) break;
    }
    gint audioStreams = 0;
    g_object_get(playbin, "n-audio", &audioStreams, nullptr);
    if (audioStreams <= 0) return false;
    readFormat();
    queryLength();
    if (length < 0) waitForLength(deadline, stop);
    return !stop;
  }

  // The parser may need a few more frames for its estimate; they come shortly after preroll.
  void waitForLength(gint64 deadline, const StopFlag& stop) {
    gint64 until = std::min(deadline, g_get_monotonic_time() + gint64(kLengthWait / GST_USECOND));
    for (;;) {
      gint64 left = until - g_get_monotonic_time();
      if (left <= 0 || stop) return;
      GstMessage* msg = gst_bus_timed_pop(
          bus, std::min<GstClockTime>(GstClockTime(left) * GST_USECOND, 20 * GST_MSECOND));
      if (msg) {
        handle(msg);
        gst_message_unref(msg);
      }
      queryLength();
      if (length >= 0 || failed) return;
    }
  }

  void readFormat() {
    GstPad* pad = nullptr;
    g_signal_emit_by_name(playbin, "get-audio-pad", 0, &pad);
    if (!pad) return;
    if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
      GstAudioInfo info;
      if (gst_audio_info_from_caps(&info, caps) && info.rate > 0 && info.channels > 0) {
        rate = info.rate;
        channels = info.channels;
      }
      gst_caps_unref(caps);
    }
    gst_object_unref(pad);
  }

  // Asked on every progress tick: a duration query walks the whole pipeline, so the answer is
  // kept until the bus reports a new duration.
  void queryLength() {
    if (lengthCurrent) return;
    gint64 ns = 0;
    if (gst_element_query_duration(playbin, GST_FORMAT_TIME, &ns) && ns > 0) {
      length = timeToBytes(ns);
      lengthCurrent = true;
    } else if (length < 0)
      length = estimateLength();
  }

  // MP3 without a frame index, pushed from memory or the network: the parser will not tell
  // the duration before it has read far into the stream, but the size and the bitrate are known.
  std::int64_t estimateLength() {
    gint64 size = 0;
    if (!gst_element_query_duration(playbin, GST_FORMAT_BYTES, &size) || size <= 0) return -1;
    GstTagList* tags = nullptr;
    g_signal_emit_by_name(playbin, "get-audio-tags", 0, &tags);
    if (!tags) return -1;
    guint bitrate = 0;
    if (!gst_tag_list_get_uint(tags, GST_TAG_NOMINAL_BITRATE, &bitrate) || bitrate == 0)
      gst_tag_list_get_uint(tags, GST_TAG_BITRATE, &bitrate);
    gst_tag_list_unref(tags);
    if (bitrate == 0) return -1;
    return timeToBytes(gint64(gst_util_uint64_scale(guint64(size) * 8, GST_SECOND, bitrate)));
  }
};

AudioPlayer::AudioPlayer() = default;

AudioPlayer::~AudioPlayer() { free(); }

// The framework's own initialisation is guarded by a lock: a second caller waits for the first.
void LoadAudioFramework() { gst_init_check(nullptr, nullptr, nullptr); }

bool AudioPlayer::init(int device, std::uint32_t, std::uint32_t, std::uintptr_t) {
  if (!gst_init_check(nullptr, nullptr, nullptr)) return false;
  if (device_) {
    gst_object_unref(static_cast<GstDevice*>(device_));
    device_ = nullptr;
  }
  output_ = Output::None;
  sinkFactory_.clear();
  if (device == 0) {
    output_ = Output::Null;
  } else if (device == -1) {
    // autoaudiosink would quietly fall back to a fake sink; we want to know there is no sound.
    // No jack: opening its sink may start a sound server of its own.
    for (const char* name : {"pulsesink", "pipewiresink", "alsasink", "osssink"}) {
      if (sinkOpens(gst_element_factory_make(name, nullptr))) {
        output_ = Output::Factory;
        sinkFactory_ = name;
        break;
      }
    }
  } else if (device > 0) {
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, "Audio/Sink", nullptr);
    GList* devices = gst_device_monitor_get_devices(monitor);
    if (GList* chosen = g_list_nth(devices, guint(device - 1))) {
      auto* dev = static_cast<GstDevice*>(chosen->data);
      if (sinkOpens(gst_device_create_element(dev, nullptr))) {
        device_ = gst_object_ref(dev);
        output_ = Output::Device;
      }
    }
    g_list_free_full(devices, gst_object_unref);
    gst_object_unref(monitor);
  }
  initialised_ = output_ != Output::None;
  return initialised_;
}

bool AudioPlayer::free() {
  streams_.clear();
  if (device_) {
    gst_object_unref(static_cast<GstDevice*>(device_));
    device_ = nullptr;
  }
  bool was = initialised_;
  initialised_ = false;
  output_ = Output::None;
  return was;
}

void* AudioPlayer::makeSink() const {
  switch (output_) {
    case Output::Null: {
      GstElement* sink = gst_element_factory_make("fakesink", nullptr);
      if (sink) g_object_set(sink, "sync", TRUE, nullptr);
      return sink;
    }
    case Output::Factory:
    case Output::Device: {
      // A sound server's sink paces the stream itself. Synchronised to the clock, a stream that
      // waited prerolled (the next song opened aside, or a start that waited for its lyric)
      // would hold its first sample back for as long as it waited.
      GstElement* sink = output_ == Output::Factory
                             ? gst_element_factory_make(sinkFactory_.c_str(), nullptr)
                             : gst_device_create_element(static_cast<GstDevice*>(device_), nullptr);
      // Unsynchronised, its end is told once the last samples are handed over, this long before
      // they are heard, so it is kept short: the next song starts as the last one sounds out.
      if (sink) g_object_set(sink, "sync", FALSE, nullptr);
      if (sink && g_object_class_find_property(G_OBJECT_GET_CLASS(sink), "buffer-time"))
        g_object_set(sink, "buffer-time", kSinkBuffer, "latency-time", kSinkPeriod, nullptr);
      return sink;
    }
    case Output::None:
      break;
  }
  return nullptr;
}

std::unique_ptr<AudioPlayer::Stream> AudioPlayer::open(const std::string& uri, std::string memory) {
  auto stream = std::make_unique<Stream>();
  stream->playbin = gst_element_factory_make("playbin", nullptr);
  if (!stream->playbin) return nullptr;
  gst_object_ref_sink(stream->playbin);
  stream->bus = gst_element_get_bus(stream->playbin);
  stream->notifyPosted = notifyPosted_;
  gst_bus_set_sync_handler(stream->bus, &Stream::onPosted, stream.get(), nullptr);
  auto* sink = static_cast<GstElement*>(makeSink());
  GstElement* volume = gst_element_factory_make("volume", nullptr);
  if (!sink || !volume) {
    if (sink) gst_object_unref(gst_object_ref_sink(sink));
    if (volume) gst_object_unref(gst_object_ref_sink(volume));
    return nullptr;
  }
  GstElement* output = gst_bin_new(nullptr);
  gst_bin_add_many(GST_BIN(output), volume, sink, nullptr);
  gst_element_link(volume, sink);
  GstPad* pad = gst_element_get_static_pad(volume, "sink");
  gst_element_add_pad(output, gst_ghost_pad_new("sink", pad));
  gst_object_unref(pad);
  g_object_set(volume, "volume", double(volume_), nullptr);
  stream->volume = volume;  // owned by the pipeline, lives as long as it does
  stream->sink = sink;
  g_object_set(stream->playbin, "uri", uri.c_str(), "audio-sink", output, "flags", kPlayFlagAudio,
               nullptr);
  if (uri.starts_with("appsrc:")) {
    stream->memory = std::make_unique<MemorySource>();
    stream->memory->bytes = std::move(memory);
    g_signal_connect(stream->playbin, "source-setup", G_CALLBACK(onSourceSetup),
                     stream->memory.get());
  }
  bool ready = false;
  runner_->run([&stream, &ready](const StopFlag& stop) { ready = stream->preroll(stop); });
  // Meanwhile the volume may have changed, or the device gone with every stream.
  if (!ready || !initialised_) return nullptr;
  g_object_set(stream->volume, "volume", double(volume_), nullptr);
  return stream;
}

std::uint32_t AudioPlayer::createStream(const std::string& file, std::string_view memory,
                                        const std::string& url, std::int64_t offset) {
  if (file.empty() && memory.empty() && url.empty()) return 0;
  if (!initialised_) return 0;
  if (offset < 0) offset = 0;
  std::unique_ptr<Stream> stream;
  std::error_code ec;
  if (!file.empty() && std::filesystem::is_regular_file(file, ec)) {
    if (offset == 0) {
      gchar* uri = gst_filename_to_uri(file.c_str(), nullptr);
      if (uri) stream = open(uri, {});
      g_free(uri);
    } else {
      // A stream that starts inside the file: hand the rest of the file over as memory.
      std::ifstream in(file, std::ios::binary);
      in.seekg(offset);
      std::string rest{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      if (!rest.empty()) stream = open("appsrc://", std::move(rest));
    }
    if (stream) {
      stream->file = file;
      stream->fileOffset = offset;
    }
  } else if (!memory.empty()) {
    if (std::uint64_t(offset) < memory.size())
      stream = open("appsrc://", std::string(memory.substr(std::size_t(offset))));
  } else if (!url.empty()) {
    if (gst_uri_is_valid(url.c_str())) stream = open(url, {});
  }
  if (!stream) return 0;
  if (++lastHandle_ == 0) ++lastHandle_;
  streams_.emplace(lastHandle_, std::move(stream));
  return lastHandle_;
}

AudioPlayer::Stream* AudioPlayer::find(std::uint32_t handle) {
  auto it = streams_.find(handle);
  if (it == streams_.end()) return nullptr;
  it->second->pump();
  return it->second.get();
}

bool AudioPlayer::play(std::uint32_t handle, bool restart) {
  Stream* s = find(handle);
  if (!s || s->failed) return false;
  bool atStart = !s->ended && s->lastPosition == 0 && s->want == Stream::Want::Stopped;
  if (restart && !atStart) {
    if (!gst_element_seek_simple(s->playbin, GST_FORMAT_TIME,
                                 GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), 0))
      return false;
    s->ended = false;
    s->lastPosition = 0;
  }
  s->want = Stream::Want::Playing;
  if (s->ended) return true;  // resumed at its end: it stays finished
  GstState target = s->buffering ? GST_STATE_PAUSED : GST_STATE_PLAYING;
  return gst_element_set_state(s->playbin, target) != GST_STATE_CHANGE_FAILURE;
}

// A stream opened and never played may be paused too: it then waits at its start for play.
bool AudioPlayer::pause(std::uint32_t handle) {
  Stream* s = find(handle);
  if (!s || s->failed || s->ended) return false;
  const bool unplayed = s->want == Stream::Want::Stopped && s->lastPosition == 0;
  if (s->want != Stream::Want::Playing && !unplayed) return false;
  getPosition(handle);
  s->want = Stream::Want::Paused;
  return gst_element_set_state(s->playbin, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
}

bool AudioPlayer::stop(std::uint32_t handle) {
  Stream* s = find(handle);
  if (!s) return false;
  getPosition(handle);
  s->want = Stream::Want::Stopped;
  if (s->failed) return true;
  return gst_element_set_state(s->playbin, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
}

std::int64_t AudioPlayer::getPosition(std::uint32_t handle) {
  Stream* s = find(handle);
  if (!s) return -1;
  if (s->ended) {
    // A finished stream stands at its end, whatever the last clock reading was.
    s->queryLength();
    if (s->length >= 0) s->lastPosition = s->length;
    return s->lastPosition;
  }
  gint64 ns = 0;
  if (gst_element_query_position(s->sink, GST_FORMAT_TIME, &ns) && ns >= 0)
    s->lastPosition = s->timeToBytes(ns);
  return s->lastPosition;
}

bool AudioPlayer::setPosition(std::uint32_t handle, std::int64_t position) {
  Stream* s = find(handle);
  if (!s || s->failed || position < 0) return false;
  if (s->length >= 0 && position > s->length) return false;
  guint64 frames = guint64(position / s->bytesPerFrame());
  GstClockTime ns = gst_util_uint64_scale(frames, GST_SECOND, guint64(s->rate));
  if (!gst_element_seek_simple(s->playbin, GST_FORMAT_TIME,
                               GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                               gint64(ns)))
    return false;
  s->ended = false;
  s->lastPosition = std::int64_t(frames) * s->bytesPerFrame();
  return true;
}

std::int64_t AudioPlayer::getLength(std::uint32_t handle) {
  Stream* s = find(handle);
  if (!s) return -1;
  s->queryLength();
  return s->length;
}

std::string AudioPlayer::getTags(std::uint32_t handle) {
  Stream* s = find(handle);
  if (!s) return {};
  if (s->memory) {
    // Memory streams (and files opened at an offset) keep their bytes; the tag ends them.
    const std::string& bytes = s->memory->bytes;
    if (bytes.size() < kId3v1Size) return {};
    return id3v1Text(bytes.data() + bytes.size() - kId3v1Size, kId3v1Size);
  }
  if (s->file.empty()) return {};
  std::ifstream in(s->file, std::ios::binary | std::ios::ate);
  std::streamoff size = in.tellg();
  if (!in || size - s->fileOffset < std::streamoff(kId3v1Size)) return {};
  char block[kId3v1Size];
  in.seekg(size - std::streamoff(kId3v1Size));
  if (!in.read(block, kId3v1Size)) return {};
  return id3v1Text(block, kId3v1Size);
}

int AudioPlayer::isActive(std::uint32_t handle) {
  Stream* s = find(handle);
  if (!s || s->failed || s->ended) return kStopped;
  switch (s->want) {
    case Stream::Want::Stopped:
      return kStopped;
    case Stream::Want::Paused:
      return kPaused;
    case Stream::Want::Playing:
      return s->buffering ? kStalled : kPlaying;
  }
  return kStopped;
}

void AudioPlayer::setPostNotifier(PostNotifier notify) { notifyPosted_ = std::move(notify); }

void AudioPlayer::handlePosted() {
  for (auto& [handle, stream] : streams_) stream->pump();
}

bool AudioPlayer::freeStream(std::uint32_t handle) { return streams_.erase(handle) > 0; }

bool AudioPlayer::setVolume(float volume) {
  if (!initialised_ || !(volume >= 0.0f && volume <= 1.0f)) return false;
  volume_ = volume;
  for (auto& [handle, stream] : streams_)
    g_object_set(stream->volume, "volume", double(volume), nullptr);
  return true;
}

float AudioPlayer::getVolume() const { return initialised_ ? volume_ : -1.0f; }

double AudioPlayer::bytesToSeconds(std::uint32_t handle, std::int64_t position) {
  Stream* s = find(handle);
  if (!s) return -1.0;
  return double(position) / (double(s->rate) * s->bytesPerFrame());
}

std::int64_t AudioPlayer::secondsToBytes(std::uint32_t handle, double seconds) {
  Stream* s = find(handle);
  if (!s || !std::isfinite(seconds)) return -1;
  // Rounded to the nearest whole frame, so bytes -> seconds -> bytes comes back unchanged.
  return std::llround(seconds * s->rate) * s->bytesPerFrame();
}

std::int64_t AudioPlayer::colorComponent(std::int64_t value, int part) {
  std::int64_t hi = value / 65536;
  std::int64_t rest = value - hi * 65536;
  std::int64_t mid = rest / 256;
  switch (part) {
    case 1:
      return rest - mid * 256;
    case 2:
      return mid;
    case 3:
      return hi;
    default:
      return 0;
  }
}

}  // namespace lumora
