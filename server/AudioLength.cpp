#include "AudioLength.h"

#include <taglib/mpegfile.h>
#include <taglib/mpegheader.h>
#include <taglib/xingheader.h>

namespace lumora::server {
namespace {

using TagLib::MPEG::Header;

// Whether a few frames at eight places through the stream share one bit rate: a constant rate
// is what the length from the file's size assumes. (Counting every frame reads the whole file.)
bool OneBitrate(TagLib::MPEG::File& file, long first, long last) {
  int bitrate = 0;
  for (int place = 0; place < 8; ++place) {
    long at = place == 0 ? first : file.nextFrameOffset(first + (last - first) / 8 * place);
    for (int i = 0; i < 8 && at >= 0 && at <= last; ++i) {
      const Header frame(&file, at, true);
      if (!frame.isValid() || frame.frameLength() <= 0) break;
      if (bitrate != 0 && frame.bitrate() != bitrate) return false;
      bitrate = frame.bitrate();
      at += frame.frameLength();
    }
  }
  return true;
}

// The audio of the frames from first to last, but for the first when it holds the header that
// counts them; 0 when there is none.
std::int64_t CountedMs(TagLib::MPEG::File& file, long first, long last, bool skipFirst) {
  std::int64_t samples = 0;
  int rate = 0;
  for (long at = first; at >= 0 && at <= last;) {
    const Header frame(&file, at, false);
    if (!frame.isValid() || frame.frameLength() <= 0) {
      at = file.nextFrameOffset(at + 1);  // bytes that are no frame: the next that is
      continue;
    }
    if (!skipFirst) samples += frame.samplesPerFrame();
    skipFirst = false;
    rate = frame.sampleRate();
    at += frame.frameLength();
  }
  return rate > 0 ? samples * 1000 / rate : 0;
}

std::int64_t MpegLengthMs(TagLib::MPEG::File& file, std::int64_t headerMs) {
  const long first = file.firstFrameOffset(), last = file.lastFrameOffset();
  if (first < 0 || last < first) return headerMs;
  const auto* properties = file.audioProperties();
  const TagLib::MPEG::XingHeader* xing = properties ? properties->xingHeader() : nullptr;
  if (xing && xing->isValid()) {
    // The header counts the frames as written; a file cut short has fewer bytes than it says.
    const Header end(&file, last, false);
    const long streamBytes = last + (end.isValid() ? end.frameLength() : 0) - first;
    const bool cut = streamBytes < static_cast<long>(xing->totalSize()) * 99 / 100;
    return cut ? CountedMs(file, first, last, true) : headerMs;
  }
  return OneBitrate(file, first, last) ? headerMs : CountedMs(file, first, last, false);
}

}  // namespace

std::int64_t AudioLengthMs(TagLib::File* file, const TagLib::AudioProperties& properties) {
  const std::int64_t headerMs = properties.lengthInMilliseconds();
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) return MpegLengthMs(*mpeg, headerMs);
  return headerMs;
}

}  // namespace lumora::server
