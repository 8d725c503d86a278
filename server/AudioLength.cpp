#include "AudioLength.h"

#include <taglib/mpegfile.h>
#include <taglib/xingheader.h>

#include <algorithm>
#include <optional>

namespace lumora::server {
namespace {

// kbit/s by MPEG-1 or -2 (and 2.5), layer and the header's index.
constexpr short kBitrates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
constexpr int kSampleRates[3] = {44100, 48000, 32000};  // MPEG-1's; halved for 2, quartered for 2.5

struct Frame {
  int bytes = 0, samples = 0, sampleRate = 0, bitrate = 0;
};

// The frame whose header is h (4 bytes); nullopt when they are no frame header.
std::optional<Frame> FrameOf(const unsigned char* h) {
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return std::nullopt;
  const int version = (h[1] >> 3) & 3;  // 0: 2.5, 1: none, 2: 2, 3: 1
  const int layer = 4 - ((h[1] >> 1) & 3);
  const int index = h[2] >> 4, rateIndex = (h[2] >> 2) & 3, padding = (h[2] >> 1) & 1;
  if (version == 1 || layer == 4 || index == 0 || index == 15 || rateIndex == 3)
    return std::nullopt;
  const bool mpeg1 = version == 3;
  Frame f;
  f.bitrate = kBitrates[mpeg1 ? 0 : 1][layer - 1][index] * 1000;
  f.sampleRate = kSampleRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  f.samples = layer == 1 ? 384 : layer == 3 && !mpeg1 ? 576 : 1152;
  f.bytes = layer == 1 ? (12 * f.bitrate / f.sampleRate + padding) * 4
                       : f.samples / 8 * f.bitrate / f.sampleRate + padding;
  return f;
}

constexpr long kBlock = 1 << 16;

// The frames of an MPEG stream up to its end, read a block at a time: a frame costs no read of
// its own.
class Frames {
 public:
  Frames(TagLib::MPEG::File& file, long end) : file_(file), end_(end) {}

  long end() const { return end_; }

  std::optional<Frame> At(long offset) {
    const unsigned char* header = Bytes(offset, 4);
    return header ? FrameOf(header) : std::nullopt;
  }

  // The first frame at or after offset that the frame after it confirms; -1 when none is.
  long Next(long offset) {
    for (; offset + 4 <= end_; ++offset) {
      const std::optional<Frame> frame = At(offset);
      if (!frame || frame->bytes <= 0) continue;
      const std::optional<Frame> after = At(offset + frame->bytes);
      if (offset + frame->bytes >= end_ || (after && after->sampleRate == frame->sampleRate))
        return offset;
    }
    return -1;
  }

 private:
  // size bytes at offset, within the stream; nullptr past its end.
  const unsigned char* Bytes(long offset, long size) {
    if (offset < 0 || offset + size > end_) return nullptr;
    if (offset < from_ || offset + size > from_ + static_cast<long>(block_.size())) {
      file_.seek(offset);
      block_ = file_.readBlock(std::min(kBlock, end_ - offset));
      from_ = offset;
      if (static_cast<long>(block_.size()) < size) return nullptr;
    }
    return reinterpret_cast<const unsigned char*>(block_.data()) + (offset - from_);
  }

  TagLib::MPEG::File& file_;
  const long end_;
  TagLib::ByteVector block_;
  long from_ = 0;
};

// Whether a few frames at eight places through the stream share one bit rate: a constant rate
// is what the length from the file's size assumes.
bool OneBitrate(Frames& frames, long first) {
  int bitrate = 0;
  for (int place = 0; place < 8; ++place) {
    long at = frames.Next(first + (frames.end() - first) / 8 * place);
    for (int i = 0; i < 8 && at >= 0; ++i) {
      const std::optional<Frame> frame = frames.At(at);
      if (!frame || frame->bytes <= 0) break;
      if (bitrate != 0 && frame->bitrate != bitrate) return false;
      bitrate = frame->bitrate;
      at += frame->bytes;
    }
  }
  return true;
}

// The audio of the frames from first to the end, but for the first when it holds the header
// that counts them; 0 when there is none.
std::int64_t CountedMs(Frames& frames, long first, bool skipFirst) {
  std::int64_t samples = 0;
  int sampleRate = 0;
  for (long at = first; at >= 0 && at < frames.end();) {
    const std::optional<Frame> frame = frames.At(at);
    if (!frame || frame->bytes <= 0) {
      at = frames.Next(at + 1);  // bytes that are no frame: the next that is
      continue;
    }
    if (!skipFirst) samples += frame->samples;
    skipFirst = false;
    sampleRate = frame->sampleRate;
    at += frame->bytes;
  }
  return sampleRate > 0 ? samples * 1000 / sampleRate : 0;
}

std::int64_t MpegLengthMs(TagLib::MPEG::File& file, std::int64_t headerMs) {
  const long first = file.firstFrameOffset();
  // The stream ends where a tag at the end begins (an APE tag, rare, is found by the last frame).
  const long end = file.hasAPETag()     ? file.lastFrameOffset() + 4
                   : file.hasID3v1Tag() ? file.length() - 128
                                        : file.length();
  if (first < 0 || end <= first) return headerMs;
  Frames frames(file, end);
  const auto* properties = file.audioProperties();
  const TagLib::MPEG::XingHeader* xing = properties ? properties->xingHeader() : nullptr;
  if (xing && xing->isValid()) {
    // The header counts the frames as written; a file cut short has fewer bytes than it says.
    const bool cut = end - first < static_cast<long>(xing->totalSize()) * 99 / 100;
    return cut ? CountedMs(frames, first, true) : headerMs;
  }
  // A stream of one block costs no more to count than to sample.
  const bool counted = end - first < kBlock || !OneBitrate(frames, first);
  return counted ? CountedMs(frames, first, false) : headerMs;
}

}  // namespace

std::int64_t AudioLengthMs(TagLib::File* file, const TagLib::AudioProperties& properties) {
  const std::int64_t headerMs = properties.lengthInMilliseconds();
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) return MpegLengthMs(*mpeg, headerMs);
  return headerMs;
}

}  // namespace lumora::server
