#pragma once
// What one audio file of a user's library says about itself: its tags, its length, its format,
// its lyric and its pictures, read with TagLib's generic reader from a descriptor. The files are
// input from anyone, so only so much of each is kept (a title of kMaxTagText bytes, a lyric of
// kMaxLyricBytes, a picture as Picture.h allows). The server itself runs these only in its tag
// readers (TagReader.h), where a file that crashes or exhausts the reader costs only itself.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "songfiles/Picture.h"

namespace lumora::server {

// A song's loudness as ReplayGain says it: gains in dB towards the -18 LUFS reference, peaks as
// the largest sample (1.0 is full scale). Empty where the file says nothing of it.
struct ReplayGain {
  std::optional<double> trackGain, trackPeak, albumGain, albumPeak;

  bool empty() const { return !trackGain && !albumGain; }
  bool operator==(const ReplayGain&) const = default;
};

// What a figure may be: anything outside is a broken tag, not a loudness.
inline constexpr double kMaxGainDb = 64;
inline constexpr double kMaxPeak = 64;

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
  bool hasPicture = false;  // an embedded picture to keep (ReadEmbeddedPicture reads it)
  std::string
      extension;     // how the audio route names it: "mp3", "flac", "ogg", "opus", "m4a", "wav"
  std::string mime;  // its content type: "audio/mpeg", "audio/flac", ...
  std::string lyric;  // the lyric the file holds, UTF-8; empty when none
  ReplayGain gain;    // from its tags

  bool operator==(const SongFileTags&) const = default;
};

// What is kept of a text field (title, artist, album, genre), cut at a character's end.
inline constexpr std::size_t kMaxTagText = 1024;
inline constexpr std::size_t kMaxArtists = 16;
// A lyric of a long song is a few KiB; a lyric file is read up to the same size.
inline constexpr std::size_t kMaxLyricBytes = 1 << 20;

struct AudioFormat {
  std::string extension;  // as served: "mp3", "flac", "ogg", "opus", "m4a", "wav"
  std::string mime;
};

// The format a file's name says it holds (any case of the extension); nullopt for names that
// are no song (other extensions, the "._" resource forks a Mac leaves).
std::optional<AudioFormat> SongFileFormat(const std::string& path);

// The tags of the audio file open at fd (read from, then closed), whose name tells its format;
// nullopt when it does not open as audio, has no length or no audio after its header (empty,
// text, truncated files).
std::optional<SongFileTags> ReadSongFile(int fd, const std::string& name);

// The picture a song's file holds (fd and name as for ReadSongFile): its front cover, else any
// picture, when it is one to keep; nullopt when none is.
std::optional<Picture> ReadEmbeddedPicture(int fd, const std::string& name);

// text cut to at most most bytes, at the end of a UTF-8 character.
std::string CutText(std::string text, std::size_t most);

}  // namespace lumora::server
