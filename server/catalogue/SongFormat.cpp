#include "catalogue/SongFormat.h"

#include <mutex>
#include <set>
#include <tuple>

namespace lumora::server {

const SongFormat kMp3Format{"mp3", "audio/mpeg"};

const SongFormat* SongFormat::Of(std::string_view extension, std::string_view mime) {
  if (extension == kMp3Format.extension && mime == kMp3Format.mime) return &kMp3Format;
  struct Before {
    bool operator()(const SongFormat& a, const SongFormat& b) const {
      return std::tie(a.extension, a.mime) < std::tie(b.extension, b.mime);
    }
  };
  // Never destroyed: a catalogue still ending on another thread at exit may read them.
  static auto* const mutex = new std::mutex;
  static auto* const formats = new std::set<SongFormat, Before>;
  std::lock_guard lock(*mutex);
  return &*formats->insert({std::string(extension), std::string(mime)}).first;
}

}  // namespace lumora::server
