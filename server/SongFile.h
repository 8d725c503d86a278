#pragma once
// What one audio file of a user's library says about itself: its tags, its length, its
// format and its pictures, read with TagLib's generic reader.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumora::server {

struct SongFileTags {
  std::string title;                 // empty when the tags have none
  std::vector<std::string> artists;  // one entry per value the tag itself holds
  std::string album;
  std::string albumArtist;  // empty when the tags have none
  bool compilation = false;
  int disc = 0;   // 0: not tagged
  int track = 0;  // 0: not tagged
  std::string genre;
  std::int64_t durationMs = 0;
  std::string lyric;      // embedded lyrics, UTF-8; empty when none
  std::string extension;  // how the audio route names it: "mp3", "flac", "ogg", "opus", "m4a", "wav"
  std::string mime;       // its content type: "audio/mpeg", "audio/flac", ...
};

// The tags of an audio file; nullopt when it does not open as audio or has no length.
std::optional<SongFileTags> ReadSongFile(const std::string& path);

struct Picture {
  std::string bytes;
  std::string mime;
};

// The picture a song's file holds: its front cover, else any picture; nullopt when none.
std::optional<Picture> ReadEmbeddedPicture(const std::string& path);

}  // namespace lumora::server
