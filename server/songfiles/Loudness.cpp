#include "songfiles/Loudness.h"

#include <ebur128.h>
#include <gst/audio/audio.h>
#include <gst/gst.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

namespace lumora::server {

namespace {

// Decoded to interleaved floats, which the meter takes as they come, never resampled: the true
// peak is found at four times the rate by the meter itself.
constexpr const char* kPipeline =
    "fdsrc name=src ! decodebin ! audioconvert ! audio/x-raw,format=F32LE,layout=interleaved !"
    " fakesink name=sink signal-handoffs=true sync=false";

int MeterChannel(GstAudioChannelPosition position) {
  switch (position) {
    case GST_AUDIO_CHANNEL_POSITION_MONO:
      return EBUR128_DUAL_MONO;  // heard from both speakers
    case GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT:
      return EBUR128_LEFT;
    case GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT:
      return EBUR128_RIGHT;
    case GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER:
      return EBUR128_CENTER;
    case GST_AUDIO_CHANNEL_POSITION_REAR_LEFT:
    case GST_AUDIO_CHANNEL_POSITION_SIDE_LEFT:
      return EBUR128_LEFT_SURROUND;
    case GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT:
    case GST_AUDIO_CHANNEL_POSITION_SIDE_RIGHT:
      return EBUR128_RIGHT_SURROUND;
    default:
      return EBUR128_UNUSED;  // the low-frequency channel and heights count for nothing
  }
}

struct Meter {
  ebur128_state* state = nullptr;
  GstAudioInfo info{};
  std::uint64_t frames = 0;
  bool failed = false;

  ~Meter() {
    if (state) ebur128_destroy(&state);
  }
  // Follows the format of the decoded audio, which a chained stream may change.
  bool Follow(GstPad* pad) {
    GstCaps* caps = gst_pad_get_current_caps(pad);
    GstAudioInfo now;
    const bool ok = caps && gst_audio_info_from_caps(&now, caps) && now.channels > 0;
    if (caps) gst_caps_unref(caps);
    if (!ok) return false;
    if (state && now.rate == info.rate && now.channels == info.channels) return true;
    const auto channels = static_cast<unsigned>(now.channels);
    const auto rate = static_cast<unsigned long>(now.rate);
    if (!state)
      state = ebur128_init(channels, rate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    else if (ebur128_change_parameters(state, channels, rate) == EBUR128_ERROR_NOMEM)
      return false;
    if (!state) return false;
    info = now;
    if (!GST_AUDIO_INFO_IS_UNPOSITIONED(&info))
      for (unsigned c = 0; c < channels; ++c)
        ebur128_set_channel(state, c, MeterChannel(info.position[c]));
    return true;
  }
};

void OnSamples(GstElement*, GstBuffer* buffer, GstPad* pad, gpointer user) {
  auto* meter = static_cast<Meter*>(user);
  if (meter->failed) return;
  if (!meter->Follow(pad)) {
    meter->failed = true;
    return;
  }
  GstMapInfo map;
  if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) return;
  const std::size_t frames = map.size / (sizeof(float) * meter->info.channels);
  if (frames > 0 &&
      ebur128_add_frames_float(meter->state, reinterpret_cast<const float*>(map.data), frames) ==
          EBUR128_SUCCESS)
    meter->frames += frames;
  gst_buffer_unmap(buffer, &map);
}

struct Unref {
  void operator()(gpointer object) const { gst_object_unref(object); }
};
using Owned = std::unique_ptr<GstElement, Unref>;

}  // namespace

std::optional<ReplayGain> MeasureLoudness(int fd, const std::string& name) {
  (void)name;  // the decoder tells the format by the content
  static std::once_flag once;
  std::call_once(once, [] { gst_init(nullptr, nullptr); });
  if (lseek(fd, 0, SEEK_SET) != 0) return std::nullopt;
  Owned pipeline(gst_parse_launch(kPipeline, nullptr));
  if (!pipeline) return std::nullopt;
  Owned src(gst_bin_get_by_name(GST_BIN(pipeline.get()), "src"));
  Owned sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink"));
  Meter meter;
  g_object_set(src.get(), "fd", fd, nullptr);
  g_signal_connect(sink.get(), "handoff", G_CALLBACK(OnSamples), &meter);
  bool ended = false;
  if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
    GstBus* bus = gst_element_get_bus(pipeline.get());
    GstMessage* message = gst_bus_timed_pop_filtered(
        bus, GST_CLOCK_TIME_NONE, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ended = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (message) gst_message_unref(message);
    gst_object_unref(bus);
  }
  gst_element_set_state(pipeline.get(), GST_STATE_NULL);
  if (!ended || meter.failed || !meter.state ||
      meter.frames < static_cast<std::uint64_t>(meter.info.rate) / 2)
    return std::nullopt;
  double lufs = 0;
  if (ebur128_loudness_global(meter.state, &lufs) != EBUR128_SUCCESS || !std::isfinite(lufs))
    return std::nullopt;
  double peak = 0;
  for (unsigned c = 0; c < static_cast<unsigned>(meter.info.channels); ++c) {
    double channel = 0;
    if (ebur128_true_peak(meter.state, c, &channel) == EBUR128_SUCCESS)
      peak = std::max(peak, channel);
  }
  ReplayGain gain;
  gain.trackGain = std::clamp(kReferenceLufs - lufs, -kMaxGainDb, kMaxGainDb);
  if (peak > 0) gain.trackPeak = std::min(peak, kMaxPeak);
  return gain;
}

std::optional<ReplayGain> TaggedOrMeasuredGain(int fd, const std::string& name) {
  // Read from a copy of the descriptor, which the tag reader closes.
  const int copy = dup(fd);
  if (copy >= 0)
    if (std::optional<SongFileTags> tags = ReadSongFile(copy, name); tags && !tags->gain.empty())
      return tags->gain;
  return MeasureLoudness(fd, name);
}

}  // namespace lumora::server
