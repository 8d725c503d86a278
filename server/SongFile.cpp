#include "SongFile.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "LibraryJail.h"
#include "Text.h"
#include "TextEncodings.h"

namespace fs = std::filesystem;

namespace lumora::server {
namespace {

struct FormatName {
  const char* extension;  // as the file is named, lower case
  const char* served;
  const char* mime;
};

constexpr FormatName kFormats[] = {
    {"mp3", "mp3", "audio/mpeg"}, {"flac", "flac", "audio/flac"}, {"ogg", "ogg", "audio/ogg"},
    {"oga", "ogg", "audio/ogg"},  {"opus", "opus", "audio/ogg"},  {"m4a", "m4a", "audio/mp4"},
    {"wav", "wav", "audio/wav"},
};

// A lyric file is a few kilobytes; anything far bigger is not one.
constexpr std::uintmax_t kMaxLyricFile = 1 << 20;

std::string Utf8(const TagLib::String& s) { return s.to8Bit(true); }

std::string First(const TagLib::PropertyMap& tags, const char* key) {
  auto it = tags.find(key);
  return it == tags.end() || it->second.isEmpty() ? "" : Utf8(it->second.front());
}

// "2/3" -> 2; 0 when it is no number.
int LeadingNumber(const std::string& text) {
  const int n = std::atoi(text.c_str());
  return n > 0 ? n : 0;
}

// What the picture's bytes say it is; the tag's word where they say nothing known.
std::string SniffMime(const TagLib::ByteVector& data, const TagLib::String& stated) {
  if (data.startsWith("\x89PNG")) return "image/png";
  if (data.startsWith("\xFF\xD8")) return "image/jpeg";
  if (data.startsWith("GIF8")) return "image/gif";
  const std::string mime = Utf8(stated);
  return mime.find('/') != std::string::npos ? mime : "image/jpeg";
}

// The ID3v2 tag of the formats that carry one.
TagLib::ID3v2::Tag* Id3v2Of(TagLib::File* file) {
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file))
    return mpeg->hasID3v2Tag() ? mpeg->ID3v2Tag() : nullptr;
  if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file))
    return wav->hasID3v2Tag() ? wav->ID3v2Tag() : nullptr;
  return nullptr;
}

constexpr int kFrontCover = 3;  // the picture type of ID3 and of FLAC's picture block

std::optional<Picture> PictureOf(TagLib::File* file) {
  std::optional<Picture> any;
  // Returns true when this one is the front cover.
  auto consider = [&](int type, const TagLib::ByteVector& data, const TagLib::String& mime) {
    if (data.isEmpty() || (any && type != kFrontCover)) return false;
    any = Picture{std::string(data.data(), data.size()), SniffMime(data, mime)};
    return type == kFrontCover;
  };
  auto flacPictures = [&](const TagLib::List<TagLib::FLAC::Picture*>& list) {
    for (const TagLib::FLAC::Picture* p : list)
      if (consider(p->type(), p->data(), p->mimeType())) return;
  };
  if (TagLib::ID3v2::Tag* id3 = Id3v2Of(file)) {
    for (const TagLib::ID3v2::Frame* frame : id3->frameList("APIC"))
      if (auto* p = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame))
        if (consider(p->type(), p->picture(), p->mimeType())) break;
  } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
    flacPictures(flac->pictureList());
  } else if (auto* xiph = dynamic_cast<TagLib::Ogg::XiphComment*>(file->tag())) {
    flacPictures(xiph->pictureList());
  } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) {
    // covr has no picture types: its first picture is the cover by custom.
    if (mp4->tag() && mp4->tag()->contains("covr"))
      for (const TagLib::MP4::CoverArt& art : mp4->tag()->item("covr").toCoverArtList())
        if (consider(kFrontCover, art.data(), "")) break;
  }
  return any;
}

std::optional<TagLib::FileRef> OpenSong(const std::string& path) {
  if (!SongFileFormat(path)) return std::nullopt;
  TagLib::FileRef file(path.c_str(), true, TagLib::AudioProperties::Average);
  if (file.isNull() || !file.audioProperties() ||
      file.audioProperties()->lengthInMilliseconds() <= 0)
    return std::nullopt;
  // A header that promises a length over no audio at all (a file cut short after it).
  if (file.audioProperties()->bitrate() <= 0) return std::nullopt;
  return file;
}

std::string ReadSmallFile(const std::string& path) {
  std::error_code ec;
  if (fs::file_size(path, ec) > kMaxLyricFile || ec) return "";
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

std::optional<AudioFormat> SongFileFormat(const std::string& path) {
  const fs::path name = fs::path(path).filename();
  // "._song.mp3": the resource fork a Mac leaves beside a song on a shared drive.
  if (name.string().rfind("._", 0) == 0) return std::nullopt;
  std::string ext = ToLowerAscii(name.extension().string());
  if (!ext.empty()) ext.erase(0, 1);
  for (const FormatName& f : kFormats)
    if (ext == f.extension) return AudioFormat{f.served, f.mime};
  return std::nullopt;
}

std::optional<SongFileTags> ReadSongFile(const std::string& path) {
  std::optional<TagLib::FileRef> file = OpenSong(path);
  if (!file) return std::nullopt;
  SongFileTags tags;
  tags.durationMs = file->audioProperties()->lengthInMilliseconds();
  const TagLib::PropertyMap props = file->file()->properties();
  tags.title = First(props, "TITLE");
  if (auto it = props.find("ARTIST"); it != props.end())
    for (const TagLib::String& name : it->second)
      if (std::string artist = Utf8(name.stripWhiteSpace()); !artist.empty())
        tags.artists.push_back(artist);
  tags.album = First(props, "ALBUM");
  tags.albumArtist = First(props, "ALBUMARTIST");
  const std::string compilation = First(props, "COMPILATION");
  tags.compilation = LeadingNumber(compilation) > 0 || ToLowerAscii(compilation) == "true";
  tags.disc = LeadingNumber(First(props, "DISCNUMBER"));
  tags.track = LeadingNumber(First(props, "TRACKNUMBER"));
  tags.genre = First(props, "GENRE");
  tags.hasPicture = PictureOf(file->file()).has_value();
  AudioFormat format = *SongFileFormat(path);
  tags.extension = std::move(format.extension);
  tags.mime = std::move(format.mime);
  return tags;
}

std::string ReadSongLyric(const std::string& root, const std::string& path) {
  if (std::optional<TagLib::FileRef> file = OpenSong(path)) {
    // USLT (with or without a description), MP4's ©lyr and Vorbis LYRICS all come as LYRICS.
    for (const auto& [key, values] : file->file()->properties())
      if ((key.startsWith("LYRICS") || key == "UNSYNCEDLYRICS") && !values.isEmpty() &&
          !values.front().isEmpty())
        return Utf8(values.front());
  }
  for (const char* ext : {".lrc", ".LRC"}) {
    const std::string lrc = JailedPath(root, fs::path(path).replace_extension(ext));
    if (!lrc.empty()) return DecodeTextFile(ReadSmallFile(lrc));
  }
  return "";
}

std::optional<Picture> ReadEmbeddedPicture(const std::string& path) {
  std::optional<TagLib::FileRef> file = OpenSong(path);
  return file ? PictureOf(file->file()) : std::nullopt;
}

std::string FindFolderPicture(const std::string& root, const std::string& songPath) {
  std::string best;
  int bestRank = 3;
  std::error_code ec;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(fs::path(songPath).parent_path(), ec)) {
    const fs::path name = entry.path().filename();
    const std::string ext = ToLowerAscii(name.extension().string());
    if (ext != ".jpg" && ext != ".jpeg" && ext != ".png") continue;
    const std::string stem = ToLowerAscii(name.stem().string());
    const int rank = stem == "cover" ? 0 : stem == "folder" ? 1 : stem == "front" ? 2 : 3;
    // The lowest rank, then the first name, whatever order the folder lists them in.
    if (rank == 3 || rank > bestRank || (rank == bestRank && entry.path().string() > best))
      continue;
    if (!JailedPath(root, entry.path()).empty()) {
      best = entry.path().string();
      bestRank = rank;
    }
  }
  return best.empty() ? "" : JailedPath(root, best);
}

}  // namespace lumora::server
