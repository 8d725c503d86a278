#include "SongFile.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>

namespace lumora::server {

std::optional<SongFileTags> ReadSongFile(const std::string& path) {
  TagLib::FileRef file(path.c_str());
  if (file.isNull() || !file.audioProperties()) return std::nullopt;
  SongFileTags tags;
  tags.durationMs = file.audioProperties()->lengthInMilliseconds();
  if (tags.durationMs <= 0) return std::nullopt;
  if (TagLib::Tag* tag = file.tag()) {
    tags.title = tag->title().to8Bit(true);
    if (std::string artist = tag->artist().to8Bit(true); !artist.empty())
      tags.artists.push_back(artist);
    tags.album = tag->album().to8Bit(true);
    tags.genre = tag->genre().to8Bit(true);
    tags.track = static_cast<int>(tag->track());
  }
  tags.extension = "mp3";
  tags.mime = "audio/mpeg";
  return tags;
}

std::string ReadSongLyric(const std::string&, const std::string&) { return ""; }

std::optional<Picture> ReadEmbeddedPicture(const std::string&) { return std::nullopt; }

}  // namespace lumora::server
