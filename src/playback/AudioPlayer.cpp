#include "playback/AudioPlayer.h"

#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "playback/PlayerStream.h"

namespace lumora {

namespace {

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

bool finished(const std::future<void>& f) {
  return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

}  // namespace

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
  freeing_.clear();  // waits for every stream being taken down
  if (device_) {
    gst_object_unref(static_cast<GstDevice*>(device_));
    device_ = nullptr;
  }
  const bool was = initialised_;
  initialised_ = false;
  output_ = Output::None;
  return was;
}

// A sound server's sink keeps its own buffering and synchronisation: the stream meets it only
// when it plays (PlayerStream holds it before), so nothing waits prerolled at the sink.
void* AudioPlayer::makeSink() const {
  switch (output_) {
    case Output::Null: {
      GstElement* sink = gst_element_factory_make("fakesink", nullptr);
      if (sink) g_object_set(sink, "sync", TRUE, nullptr);
      return sink;
    }
    case Output::Factory:
      return gst_element_factory_make(sinkFactory_.c_str(), nullptr);
    case Output::Device:
      return gst_device_create_element(static_cast<GstDevice*>(device_), nullptr);
    case Output::None:
      break;
  }
  return nullptr;
}

std::unique_ptr<PlayerStream> AudioPlayer::make(const std::string& uri, std::string memory) const {
  if (!initialised_) return nullptr;
  return PlayerStream::make(uri, std::move(memory), static_cast<GstElement*>(makeSink()),
                            double(volume_.load()), notifyPosted_);
}

std::uint32_t AudioPlayer::add(std::unique_ptr<PlayerStream> stream) {
  // Meanwhile the volume or levelling may have changed, or the device gone with every stream.
  if (!stream || !initialised_) return 0;
  stream->setVolume(double(volume_.load()));
  stream->setLevelling(levelling_);
  if (++lastHandle_ == 0) ++lastHandle_;
  streams_.emplace(lastHandle_, std::move(stream));
  return lastHandle_;
}

std::unique_ptr<OpenedStream> AudioPlayer::openUrl(const std::string& url, const StopFlag& stop,
                                                   const std::optional<SongGain>& gain) const {
  if (url.empty() || !gst_uri_is_valid(url.c_str())) return nullptr;
  std::unique_ptr<PlayerStream> stream = make(url, {});
  if (!stream) return nullptr;
  stream->levelSong(gain, levelling_);
  if (!stream->open(stop)) return nullptr;
  return stream;
}

std::uint32_t AudioPlayer::adopt(std::unique_ptr<OpenedStream> opened) {
  auto* stream = dynamic_cast<PlayerStream*>(opened.get());
  if (!stream) return 0;
  opened.release();
  return add(std::unique_ptr<PlayerStream>(stream));
}

std::uint32_t AudioPlayer::createStream(const std::string& file, std::string_view memory,
                                        const std::string& url, std::int64_t offset) {
  if (file.empty() && memory.empty() && url.empty()) return 0;
  if (!initialised_) return 0;
  if (offset < 0) offset = 0;
  std::unique_ptr<PlayerStream> stream;
  std::error_code ec;
  if (!file.empty() && std::filesystem::is_regular_file(file, ec)) {
    if (offset == 0) {
      gchar* uri = gst_filename_to_uri(file.c_str(), nullptr);
      if (uri) stream = make(uri, {});
      g_free(uri);
    } else {
      // A stream that starts inside the file: hand the rest of the file over as memory.
      std::ifstream in(file, std::ios::binary);
      in.seekg(offset);
      std::string rest{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      if (!rest.empty()) stream = make("appsrc://", std::move(rest));
    }
    if (stream) {
      stream->file = file;
      stream->fileOffset = offset;
    }
  } else if (!memory.empty()) {
    if (std::uint64_t(offset) < memory.size())
      stream = make("appsrc://", std::string(memory.substr(std::size_t(offset))));
  } else if (!url.empty()) {
    if (gst_uri_is_valid(url.c_str())) stream = make(url, {});
  }
  if (!stream) return 0;
  bool ready = false;
  runner_->run([&stream, &ready](const StopFlag& stop) { ready = stream->open(stop); });
  return ready ? add(std::move(stream)) : 0;
}

PlayerStream* AudioPlayer::find(std::uint32_t handle) {
  auto it = streams_.find(handle);
  if (it == streams_.end()) return nullptr;
  it->second->pump();
  return it->second.get();
}

bool AudioPlayer::play(std::uint32_t handle, bool restart) {
  PlayerStream* s = find(handle);
  return s && s->play(restart);
}

bool AudioPlayer::pause(std::uint32_t handle) {
  PlayerStream* s = find(handle);
  return s && s->pause();
}

bool AudioPlayer::stop(std::uint32_t handle) {
  PlayerStream* s = find(handle);
  return s && s->stop();
}

std::int64_t AudioPlayer::getPosition(std::uint32_t handle) {
  PlayerStream* s = find(handle);
  return s ? s->position() : -1;
}

bool AudioPlayer::setPosition(std::uint32_t handle, std::int64_t position) {
  PlayerStream* s = find(handle);
  return s && s->seek(position);
}

std::int64_t AudioPlayer::getLength(std::uint32_t handle) {
  PlayerStream* s = find(handle);
  return s ? s->length() : -1;
}

std::string AudioPlayer::getTags(std::uint32_t handle) {
  PlayerStream* s = find(handle);
  if (!s) return {};
  if (const MemorySource* memory = s->memory()) {
    // Memory streams (and files opened at an offset) keep their bytes; the tag ends them.
    const std::string& bytes = memory->bytes;
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

ChannelState AudioPlayer::isActive(std::uint32_t handle) {
  PlayerStream* s = find(handle);
  return s ? s->state() : ChannelState::Stopped;
}

void AudioPlayer::setPostNotifier(PostNotifier notify) { notifyPosted_ = std::move(notify); }

void AudioPlayer::handlePosted() {
  for (auto& [handle, stream] : streams_) stream->pump();
}

bool AudioPlayer::freeStream(std::uint32_t handle) {
  auto it = streams_.find(handle);
  if (it == streams_.end()) return false;
  std::unique_ptr<PlayerStream> stream = std::move(it->second);
  streams_.erase(it);
  stream->stop();
  std::erase_if(freeing_, finished);
  freeing_.push_back(
      std::async(std::launch::async, [gone = std::move(stream)]() mutable { gone.reset(); }));
  return true;
}

bool AudioPlayer::setVolume(float volume) {
  if (!initialised_ || !(volume >= 0.0f && volume <= 1.0f)) return false;
  volume_ = volume;
  for (auto& [handle, stream] : streams_) stream->setVolume(double(volume));
  return true;
}

float AudioPlayer::getVolume() const { return initialised_ ? volume_.load() : -1.0f; }

double AudioPlayer::bytesToSeconds(std::uint32_t handle, std::int64_t position) {
  PlayerStream* s = find(handle);
  return s ? s->toSeconds(position) : -1.0;
}

std::int64_t AudioPlayer::secondsToBytes(std::uint32_t handle, double seconds) {
  PlayerStream* s = find(handle);
  if (!s || !std::isfinite(seconds)) return -1;
  return s->toBytes(seconds);
}

bool AudioPlayer::offerNext(std::uint32_t handle, const std::string& url,
                            const std::optional<SongGain>& gain) {
  PlayerStream* s = find(handle);
  return s && !url.empty() && gst_uri_is_valid(url.c_str()) && s->offerNext(url, gain);
}

void AudioPlayer::setLevelling(bool on) {
  levelling_ = on;
  for (auto& [handle, stream] : streams_) stream->setLevelling(on);
}

bool AudioPlayer::withdrawNext(std::uint32_t handle) {
  PlayerStream* s = find(handle);
  return !s || s->withdrawNext();
}

bool AudioPlayer::takeNextStarted(std::uint32_t handle) {
  PlayerStream* s = find(handle);
  return s && s->takeNextStarted();
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
