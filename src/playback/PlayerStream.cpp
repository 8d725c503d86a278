#include "playback/PlayerStream.h"

#include <gst/audio/audio.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "playback/Levelling.h"

namespace lumora {

namespace {

// playbin's GstPlayFlags: audio only. Its own soft volume leaks one element per pipeline
// (GStreamer 1.22), so the volume sits in our output bin instead.
constexpr guint kPlayFlagAudio = 0x2;

// Every wait on the network or a decoder ends after this long.
constexpr GstClockTime kOpenTimeout = 15 * GST_SECOND;
// How often an opening stream looks at its stop flag.
constexpr GstClockTime kWatch = 25 * GST_MSECOND;
// Posted by the hold when the first sample has come.
constexpr const char* kOpened = "lumora-opened";

// converter ! resampler ! format lock ! song gain ! volume ! sink, entered through a ghost pad,
// where the first sample is held. The song gain levels each song (Levelling.h), set when the
// stream-start event that leads the song's samples in passes it; the volume is the user's.
GstElement* makeOutput(GstElement* sink, GstElement** gain, GstElement** volume, GstElement** lock,
                       GstPad** entrance) {
  GstElement* bin = gst_bin_new(nullptr);
  GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
  GstElement* resample = gst_element_factory_make("audioresample", nullptr);
  *lock = gst_element_factory_make("capsfilter", nullptr);
  *gain = gst_element_factory_make("volume", nullptr);
  *volume = gst_element_factory_make("volume", nullptr);
  for (GstElement* e : {convert, resample, *lock, *gain, *volume, sink}) {
    if (!e) {
      for (GstElement* made : {convert, resample, *lock, *gain, *volume, sink})
        if (made) gst_object_unref(gst_object_ref_sink(made));
      gst_object_unref(gst_object_ref_sink(bin));
      return nullptr;
    }
  }
  gst_bin_add_many(GST_BIN(bin), convert, resample, *lock, *gain, *volume, sink, nullptr);
  gst_element_link_many(convert, resample, *lock, *gain, *volume, sink, nullptr);
  GstPad* pad = gst_element_get_static_pad(convert, "sink");
  *entrance = gst_ghost_pad_new("sink", pad);
  gst_object_unref(pad);
  gst_element_add_pad(bin, *entrance);
  gst_object_ref(*entrance);
  return bin;
}

// The first song's sample format, rate and channels, kept for the songs after it: any change
// would make the sink renegotiate between two songs. Interleaved and in a sample format the
// volume takes, since a decoder may hand out its channels in planes or in a format it does not.
GstCaps* outputFormat(GstCaps* decoded, GstElement* volume) {
  GstCaps* locked = gst_caps_copy(decoded);
  gst_caps_set_simple(locked, "layout", G_TYPE_STRING, "interleaved", nullptr);
  GstPad* pad = gst_element_get_static_pad(volume, "sink");
  GstCaps* taken = gst_pad_get_pad_template_caps(pad);
  if (!gst_caps_can_intersect(locked, taken))
    gst_caps_set_simple(locked, "format", G_TYPE_STRING, "F32LE", nullptr);
  gst_caps_unref(taken);
  gst_object_unref(pad);
  return locked;
}

}  // namespace

std::unique_ptr<PlayerStream> PlayerStream::make(const std::string& uri, std::string memory,
                                                 GstElement* sink, double volume, Notify notify) {
  if (!sink) return nullptr;
  std::unique_ptr<PlayerStream> stream(new PlayerStream);
  stream->playbin_ = gst_element_factory_make("playbin", nullptr);
  GstElement* output = makeOutput(sink, &stream->gain_, &stream->volume_, &stream->formatLock_,
                                  &stream->entrance_);
  if (!stream->playbin_ || !output) {
    if (output) gst_object_unref(gst_object_ref_sink(output));
    return nullptr;
  }
  gst_object_ref_sink(stream->playbin_);
  stream->sink_ = sink;  // owned by the pipeline, lives as long as it does
  stream->notify_ = std::move(notify);
  stream->bus_ = gst_element_get_bus(stream->playbin_);
  gst_bus_set_sync_handler(stream->bus_, &PlayerStream::onPosted, stream.get(), nullptr);
  g_object_set(stream->volume_, "volume", volume, nullptr);
  GstPad* gainPad = gst_element_get_static_pad(stream->gain_, "sink");
  gst_pad_add_probe(gainPad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &PlayerStream::onSongStart,
                    stream.get(), nullptr);
  gst_object_unref(gainPad);
  g_object_set(stream->playbin_, "uri", uri.c_str(), "audio-sink", output, "flags", kPlayFlagAudio,
               nullptr);
  g_signal_connect(stream->playbin_, "about-to-finish", G_CALLBACK(&PlayerStream::onAboutToFinish),
                   stream.get());
  if (uri.starts_with("appsrc:")) {
    stream->memory_ = std::make_unique<MemorySource>();
    stream->memory_->bytes = std::move(memory);
    g_signal_connect(stream->playbin_, "source-setup", G_CALLBACK(onSourceSetup),
                     stream->memory_.get());
  }
  return stream;
}

PlayerStream::~PlayerStream() {
  if (bus_) gst_bus_set_sync_handler(bus_, nullptr, nullptr, nullptr);
  if (playbin_) {
    g_signal_handlers_disconnect_by_data(playbin_, this);
    gst_element_set_state(playbin_, GST_STATE_NULL);
    gst_object_unref(playbin_);
  }
  if (entrance_) gst_object_unref(entrance_);
  if (oldSegment_) gst_event_unref(oldSegment_);
  if (bus_) {
    gst_bus_set_flushing(bus_, TRUE);
    gst_object_unref(bus_);
  }
}

// On the thread that posts: the end, a failure, a change of buffering, a song's start or its
// length is told at once, not at the next query, which may be a second away.
GstBusSyncReply PlayerStream::onPosted(GstBus*, GstMessage* msg, gpointer user) {
  auto* self = static_cast<PlayerStream*>(user);
  switch (GST_MESSAGE_TYPE(msg)) {
    case GST_MESSAGE_EOS:
      self->ended_ = true;
      break;
    case GST_MESSAGE_ERROR:
      self->failed_ = true;
      break;
    case GST_MESSAGE_BUFFERING:
    case GST_MESSAGE_CLOCK_LOST:
    case GST_MESSAGE_STREAM_START:
    case GST_MESSAGE_DURATION_CHANGED:
      break;
    default:
      return GST_BUS_PASS;
  }
  if (self->notify_) self->notify_();
  return GST_BUS_PASS;
}

// Lets the stream-start event through, keeps the first format for the output and holds the
// stream there: the sound server's stream is made only when this hold is released.
GstPadProbeReturn PlayerStream::onHeld(GstPad*, GstPadProbeInfo* info, gpointer user) {
  auto* self = static_cast<PlayerStream*>(user);
  if (!(GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM))
    return GST_PAD_PROBE_OK;
  GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
  if (GST_EVENT_TYPE(event) == GST_EVENT_STREAM_START) return GST_PAD_PROBE_PASS;
  if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS && !self->opened_.exchange(true)) {
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    if (caps) {
      GstCaps* locked = outputFormat(caps, self->volume_);
      g_object_set(self->formatLock_, "caps", locked, nullptr);
      gst_caps_unref(locked);
    }
    gst_element_post_message(
        self->playbin_,
        gst_message_new_application(GST_OBJECT(self->playbin_), gst_structure_new_empty(kOpened)));
  }
  return GST_PAD_PROBE_OK;
}

// On a streaming thread, when the pipeline has read all of the song before.
void PlayerStream::onAboutToFinish(GstElement* playbin, gpointer user) {
  auto* self = static_cast<PlayerStream*>(user);
  std::lock_guard lock(self->nextMutex_);
  if (self->nextUri_.empty()) return;
  g_object_set(playbin, "uri", self->nextUri_.c_str(), nullptr);
  self->nextUri_.clear();
  self->handedGain_ = std::exchange(self->nextGain_, std::nullopt);
  ++self->handed_;
}

// On the streaming thread, in the samples' order: the song before has passed the song gain in
// whole, the one taken comes next, so its own gain applies from its first sample.
GstPadProbeReturn PlayerStream::onSongStart(GstPad*, GstPadProbeInfo* info, gpointer user) {
  auto* self = static_cast<PlayerStream*>(user);
  if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) != GST_EVENT_STREAM_START ||
      ++self->songsEntered_ == 1)
    return GST_PAD_PROBE_OK;
  std::lock_guard lock(self->nextMutex_);
  self->songGain_ = std::exchange(self->handedGain_, std::nullopt);
  self->applyGain();
  return GST_PAD_PROBE_OK;
}

void PlayerStream::applyGain() {
  g_object_set(gain_, "volume", levellingFactor(songGain_, levelling_), nullptr);
}

void PlayerStream::levelSong(const std::optional<SongGain>& gain, bool on) {
  std::lock_guard lock(nextMutex_);
  songGain_ = gain;
  levelling_ = on;
  applyGain();
}

void PlayerStream::setLevelling(bool on) {
  std::lock_guard lock(nextMutex_);
  levelling_ = on;
  applyGain();
}

std::int64_t PlayerStream::timeToBytes(gint64 ns) const {
  if (ns <= 0) return 0;
  return std::int64_t(gst_util_uint64_scale(guint64(ns), guint64(rate_), GST_SECOND)) *
         bytesPerFrame();
}

void PlayerStream::handle(GstMessage* msg) {
  switch (GST_MESSAGE_TYPE(msg)) {
    case GST_MESSAGE_EOS:
      ended_ = true;
      break;
    case GST_MESSAGE_ERROR:
      failed_ = true;
      break;
    case GST_MESSAGE_STREAM_START:
      // The first is the stream's own song; each later one a song it took, now heard.
      if (++startsSeen_ > 1) {
        nextStarted_ = true;
        lastPosition_ = 0;
        length_ = -1;
        lengthCurrent_ = false;
        formatKnown_ = false;
        if (oldSegment_) gst_event_unref(oldSegment_);
        oldSegment_ = sinkSegment();
      }
      break;
    case GST_MESSAGE_DURATION_CHANGED:
      // While a song it took waits behind the one heard, the duration is already the next one's.
      if (!awaitingNext()) lengthCurrent_ = false;
      break;
    case GST_MESSAGE_CLOCK_LOST:
      // The pipeline picks a new clock on its way back to PLAYING.
      if (want_ == Want::Playing && !buffering_) {
        apply(GST_STATE_PAUSED);
        apply(GST_STATE_PLAYING);
      }
      break;
    case GST_MESSAGE_BUFFERING: {
      gint percent = 0;
      gst_message_parse_buffering(msg, &percent);
      const bool was = buffering_;
      // The next song fills its buffer while the last one's samples still sound: no hold then.
      buffering_ = percent < 100 && !awaitingNext();
      // Hold the clock while the network catches up, so the position does not run ahead.
      if (want_ == Want::Playing && was != buffering_)
        apply(buffering_ ? GST_STATE_PAUSED : GST_STATE_PLAYING);
      break;
    }
    default:
      break;
  }
}

// No main loop runs for us: every query drains what the pipeline has said so far.
void PlayerStream::pump() {
  while (GstMessage* msg = gst_bus_pop(bus_)) {
    handle(msg);
    gst_message_unref(msg);
  }
}

bool PlayerStream::open(const StopFlag& stop) {
  hold_ = gst_pad_add_probe(entrance_, GST_PAD_PROBE_TYPE_BLOCK_DOWNSTREAM, &PlayerStream::onHeld,
                            this, nullptr);
  if (gst_element_set_state(playbin_, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) return false;
  const gint64 deadline = g_get_monotonic_time() + gint64(kOpenTimeout / GST_USECOND);
  for (;;) {
    const gint64 left = deadline - g_get_monotonic_time();
    if (left <= 0 || stop) return false;
    GstMessage* msg = gst_bus_timed_pop(bus_, std::min(GstClockTime(left) * GST_USECOND, kWatch));
    if (!msg) continue;
    const bool opened =
        GST_MESSAGE_TYPE(msg) == GST_MESSAGE_APPLICATION && gst_message_has_name(msg, kOpened);
    handle(msg);
    gst_message_unref(msg);
    if (failed_) return false;
    if (opened) break;
  }
  gint audioStreams = 0;
  g_object_get(playbin_, "n-audio", &audioStreams, nullptr);
  if (audioStreams <= 0) return false;
  // A parser that estimates the length (an MP3 without an index) tells it once samples flow.
  readFormat();
  queryLength();
  return !stop;
}

void PlayerStream::readFormat() {
  GstPad* pad = nullptr;
  g_signal_emit_by_name(playbin_, "get-audio-pad", 0, &pad);
  if (!pad) return;
  if (GstCaps* caps = gst_pad_get_current_caps(pad)) {
    GstAudioInfo info;
    if (gst_audio_info_from_caps(&info, caps) && info.rate > 0 && info.channels > 0) {
      rate_ = info.rate;
      channels_ = info.channels;
      formatKnown_ = true;
    }
    gst_caps_unref(caps);
  }
  gst_object_unref(pad);
}

// Asked on every progress tick: a duration query walks the whole pipeline, so the answer is kept
// until the bus reports a new duration. A song that began in the pipeline brings its own format.
void PlayerStream::queryLength() {
  if (lengthCurrent_) return;
  if (!formatKnown_) readFormat();
  gint64 ns = 0;
  if (gst_element_query_duration(playbin_, GST_FORMAT_TIME, &ns) && ns > 0) {
    length_ = timeToBytes(ns);
    lengthCurrent_ = true;
  } else if (length_ < 0) {
    length_ = estimateLength();
  }
}

// MP3 without a frame index, pushed from memory or the network: the parser will not tell the
// duration before it has read far into the stream, but the size and the bitrate are known.
std::int64_t PlayerStream::estimateLength() {
  gint64 size = 0;
  if (!gst_element_query_duration(playbin_, GST_FORMAT_BYTES, &size) || size <= 0) return -1;
  GstTagList* tags = nullptr;
  g_signal_emit_by_name(playbin_, "get-audio-tags", 0, &tags);
  if (!tags) return -1;
  guint bitrate = 0;
  if (!gst_tag_list_get_uint(tags, GST_TAG_NOMINAL_BITRATE, &bitrate) || bitrate == 0)
    gst_tag_list_get_uint(tags, GST_TAG_BITRATE, &bitrate);
  gst_tag_list_unref(tags);
  if (bitrate == 0) return -1;
  return timeToBytes(gint64(gst_util_uint64_scale(guint64(size) * 8, GST_SECOND, bitrate)));
}

// The first sample goes on to the sound output.
void PlayerStream::release() {
  if (hold_ == 0) return;
  gst_pad_remove_probe(entrance_, hold_);
  hold_ = 0;
}

bool PlayerStream::play(bool restart) {
  if (failed_) return false;
  const bool atStart = !ended_ && lastPosition_ == 0 && want_ == Want::Stopped;
  if (restart && !atStart) {
    if (!gst_element_seek_simple(playbin_, GST_FORMAT_TIME,
                                 GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), 0))
      return false;
    ended_ = false;
    lastPosition_ = 0;
  }
  want_ = Want::Playing;
  if (ended_) return true;  // resumed at its end: it stays finished
  release();
  const GstState target = buffering_ ? GST_STATE_PAUSED : GST_STATE_PLAYING;
  return gst_element_set_state(playbin_, target) != GST_STATE_CHANGE_FAILURE;
}

bool PlayerStream::pause() {
  if (failed_ || ended_) return false;
  const bool unplayed = want_ == Want::Stopped && lastPosition_ == 0;
  if (want_ != Want::Playing && !unplayed) return false;
  position();
  want_ = Want::Paused;
  return gst_element_set_state(playbin_, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
}

bool PlayerStream::stop() {
  position();
  want_ = Want::Stopped;
  if (failed_) return true;
  return gst_element_set_state(playbin_, GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE;
}

ChannelState PlayerStream::state() {
  if (failed_ || ended_) return ChannelState::Stopped;
  switch (want_) {
    case Want::Stopped:
      return ChannelState::Stopped;
    case Want::Paused:
      return ChannelState::Paused;
    case Want::Playing:
      return buffering_ ? ChannelState::Stalled : ChannelState::Playing;
  }
  return ChannelState::Stopped;
}

std::int64_t PlayerStream::position() {
  if (ended_) {
    // A finished stream stands at its end, whatever the last clock reading was.
    queryLength();
    if (length_ >= 0) lastPosition_ = length_;
    return lastPosition_;
  }
  if (!formatKnown_) readFormat();
  // The song it took is heard before its segment reaches the sink: until then the sink still
  // counts in the song before, and the new one stands at its start.
  if (oldSegment_) {
    GstEvent* segment = sinkSegment();
    const bool stale = segment == oldSegment_;
    if (segment) gst_event_unref(segment);
    if (stale) return lastPosition_;
    gst_event_unref(std::exchange(oldSegment_, nullptr));
  }
  gint64 ns = 0;
  if (gst_element_query_position(sink_, GST_FORMAT_TIME, &ns) && ns >= 0)
    lastPosition_ = timeToBytes(ns);
  return lastPosition_;
}

GstEvent* PlayerStream::sinkSegment() const {
  GstPad* pad = gst_element_get_static_pad(sink_, "sink");
  if (!pad) return nullptr;
  GstEvent* segment = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0);
  gst_object_unref(pad);
  return segment;
}

std::int64_t PlayerStream::length() {
  queryLength();
  return length_;
}

bool PlayerStream::seek(std::int64_t bytes) {
  if (failed_ || bytes < 0) return false;
  if (length_ >= 0 && bytes > length_) return false;
  const guint64 frames = guint64(bytes / bytesPerFrame());
  const GstClockTime ns = gst_util_uint64_scale(frames, GST_SECOND, guint64(rate_));
  if (!gst_element_seek_simple(playbin_, GST_FORMAT_TIME,
                               GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                               gint64(ns)))
    return false;
  ended_ = false;
  lastPosition_ = std::int64_t(frames) * bytesPerFrame();
  return true;
}

double PlayerStream::toSeconds(std::int64_t bytes) {
  return double(bytes) / (double(rate_) * bytesPerFrame());
}

// Rounded to the nearest whole frame, so bytes -> seconds -> bytes comes back unchanged.
std::int64_t PlayerStream::toBytes(double seconds) {
  return std::llround(seconds * rate_) * bytesPerFrame();
}

void PlayerStream::setVolume(double volume) { g_object_set(volume_, "volume", volume, nullptr); }

bool PlayerStream::offerNext(const std::string& uri, const std::optional<SongGain>& gain) {
  if (failed_ || ended_) return false;
  std::lock_guard lock(nextMutex_);
  nextUri_ = uri;
  nextGain_ = gain;
  return true;
}

bool PlayerStream::withdrawNext() {
  std::lock_guard lock(nextMutex_);
  nextUri_.clear();
  nextGain_.reset();
  return !awaitingNext();
}

bool PlayerStream::takeNextStarted() { return std::exchange(nextStarted_, false); }

}  // namespace lumora
