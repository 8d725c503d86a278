#pragma once
// A song file's format, shared by all the songs of that format: each song holds only a pointer.
#include <string>
#include <string_view>

namespace lumora::server {

struct SongFormat {
  std::string extension;  // the audio route's extension and /song/url's "type"
  std::string mime;       // the audio route's content type

  // The one format of that pair, made at its first use and kept for the program's life; from
  // any thread.
  static const SongFormat* Of(std::string_view extension, std::string_view mime);
};

// A song's format unless it says otherwise.
extern const SongFormat kMp3Format;

}  // namespace lumora::server
