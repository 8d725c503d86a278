#include "songfiles/AudioLength.h"

#include <taglib/flacfile.h>
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

  // The first frame within a block from offset that the frame after it confirms; -1 when none
  // is (a file of anything but frames costs a block a look, not the whole file).
  long Next(long offset) {
    for (const long stop = std::min(end_, offset + kBlock); offset + 4 <= stop; ++offset) {
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

// A FLAC frame's header: its number (fixed block sizes) or its first sample's, and its samples.
struct FlacFrame {
  std::uint64_t number = 0, samples = 0;
  bool fixed = true;
};

// The frame whose header starts at h (up to end); nullopt when the bytes are no frame header
// (their CRC-8 tells).

std::optional<FlacFrame> FlacFrameAt(const unsigned char* h, const unsigned char* end) {
  if (end - h < 6 || h[0] != 0xFF || (h[1] & 0xFE) != 0xF8 || (h[2] >> 4) == 0 ||
      (h[2] & 0xF) == 0xF || (h[3] >> 4) > 10 || (h[3] & 1))
    return std::nullopt;
  // The frame's number (fixed block sizes) or first sample's, coded as UTF-8 codes its points.
  const unsigned char* p = h + 4;
  int more = 0;
  std::uint64_t number = *p;
  if (*p >= 0x80) {
    while (more < 6 && (*p & (0x40 >> more))) ++more;
    if (more == 0 || more == 6 || end - p < more + 1) return std::nullopt;
    number = *p & (0x3F >> more);
  }
  for (++p; more > 0; --more, ++p) {
    if ((*p & 0xC0) != 0x80) return std::nullopt;
    number = number << 6 | (*p & 0x3F);
  }
  const int sizeCode = h[2] >> 4, rateCode = h[2] & 0xF;
  std::uint64_t size = sizeCode == 1 ? 192 : sizeCode <= 5 ? 576u << (sizeCode - 2) : 0;
  if (sizeCode >= 8) size = 256u << (sizeCode - 8);
  const int sizeBytes = sizeCode == 6 ? 1 : sizeCode == 7 ? 2 : 0;
  const int rateBytes = rateCode == 12 ? 1 : rateCode == 13 || rateCode == 14 ? 2 : 0;
  if (end - p < sizeBytes + rateBytes + 1) return std::nullopt;
  if (sizeBytes == 1) size = p[0] + 1u;
  if (sizeBytes == 2) size = (p[0] << 8 | p[1]) + 1u;
  p += sizeBytes + rateBytes;
  unsigned crc = 0;  // CRC-8, polynomial x^8 + x^2 + x + 1
  for (const unsigned char* b = h; b < p; ++b) {
    crc ^= *b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc << 1 ^ (crc & 0x80 ? 0x07 : 0)) & 0xFF;
  }
  if (crc != *p) return std::nullopt;
  return FlacFrame{number, size, h[1] == 0xF8};
}

// A FLAC file cut short holds fewer samples than its STREAMINFO counts: its length is what
// comes before its last frame, which is cut too.
std::int64_t FlacLengthMs(TagLib::FLAC::File& file, std::int64_t headerMs) {
  const TagLib::FLAC::Properties* properties = file.audioProperties();
  if (!properties || properties->sampleRate() <= 0) return headerMs;
  const long length = file.length();
  const long from = std::max(0L, length - kBlock);
  file.seek(from);
  const TagLib::ByteVector tail = file.readBlock(length - from);
  const auto* begin = reinterpret_cast<const unsigned char*>(tail.data());
  const unsigned char* end = begin + tail.size();
  // The last frame, and the one before it that has the stream's block size (the last may not).
  std::optional<FlacFrame> last, before;
  for (const unsigned char* h = end - 2; h >= begin && !before; --h)
    if (std::optional<FlacFrame> frame = FlacFrameAt(h, end)) (last ? before : last) = frame;
  if (!last) return headerMs;
  const std::uint64_t first =
      last->fixed ? last->number * (before ? before->samples : last->samples) : last->number;
  if (first + last->samples >= properties->sampleFrames()) return headerMs;
  return static_cast<std::int64_t>(first * 1000 / properties->sampleRate());
}

}  // namespace

std::int64_t AudioLengthMs(TagLib::File* file, const TagLib::AudioProperties& properties) {
  const std::int64_t headerMs = properties.lengthInMilliseconds();
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) return MpegLengthMs(*mpeg, headerMs);
  if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) return FlacLengthMs(*flac, headerMs);
  return headerMs;
}

}  // namespace lumora::server
