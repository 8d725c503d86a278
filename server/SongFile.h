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
  bool hasPicture = false;  // an embedded picture (ReadEmbeddedPicture reads it)
  std::string
      extension;     // how the audio route names it: "mp3", "flac", "ogg", "opus", "m4a", "wav"
  std::string mime;  // its content type: "audio/mpeg", "audio/flac", ...
};

struct AudioFormat {
  std::string extension;  // as served: "mp3", "flac", "ogg", "opus", "m4a", "wav"
  std::string mime;
};

// The format a file's name says it holds (any case of the extension); nullopt for names that
// are no song (other extensions, the "._" resource forks a Mac leaves).
std::optional<AudioFormat> SongFileFormat(const std::string& path);

// The tags of an audio file; nullopt when it does not open as audio, has no length or no audio
// after its header (empty, text, truncated files).
std::optional<SongFileTags> ReadSongFile(const std::string& path);

struct Picture {
  std::string bytes;
  std::string mime;
};

// The song's lyric as UTF-8: its embedded lyrics, else the .lrc file beside it (read inside the
// library root only); empty when it has none.
std::string ReadSongLyric(const std::string& root, const std::string& path);

// The picture a song's file holds: its front cover, else any picture; nullopt when none.
std::optional<Picture> ReadEmbeddedPicture(const std::string& path);

// The folder's picture beside a song: cover.*, else folder.*, else front.* (jpg, jpeg or png,
// any case), its real path inside root; empty when there is none.
std::string FindFolderPicture(const std::string& root, const std::string& songPath);

}  // namespace lumora::server
