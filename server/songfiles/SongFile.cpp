#include "songfiles/SongFile.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/tfilestream.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "common/Text.h"
#include "songfiles/AudioLength.h"
#include "songfiles/TextEncodings.h"

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

std::string Utf8(const TagLib::String& s) { return s.to8Bit(true); }

std::string First(const TagLib::PropertyMap& tags, const char* key) {
  auto it = tags.find(key);
  return it == tags.end() || it->second.isEmpty() ? ""
                                                  : CutText(Utf8(it->second.front()), kMaxTagText);
}

// "2/3" -> 2; 0 when it is no number.
int LeadingNumber(const std::string& text) {
  const int n = std::atoi(text.c_str());
  return n > 0 ? n : 0;
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
  // Returns true when this one is the front cover. A picture too big to keep is passed over.
  auto consider = [&](int type, const TagLib::ByteVector& data) {
    if (data.isEmpty() || data.size() > kMaxPictureBytes || (any && type != kFrontCover))
      return false;
    auto kept = KeptPicture(std::string(data.data(), data.size()));
    if (kept) any = std::move(kept);
    return kept && type == kFrontCover;
  };
  auto flacPictures = [&](const TagLib::List<TagLib::FLAC::Picture*>& list) {
    for (const TagLib::FLAC::Picture* p : list)
      if (consider(p->type(), p->data())) return;
  };
  if (TagLib::ID3v2::Tag* id3 = Id3v2Of(file)) {
    for (const TagLib::ID3v2::Frame* frame : id3->frameList("APIC"))
      if (auto* p = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame))
        if (consider(p->type(), p->picture())) break;
  } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
    flacPictures(flac->pictureList());
  } else if (auto* xiph = dynamic_cast<TagLib::Ogg::XiphComment*>(file->tag())) {
    flacPictures(xiph->pictureList());
  } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) {
    // covr has no picture types: its first picture is the cover by custom.
    if (mp4->tag() && mp4->tag()->contains("covr"))
      for (const TagLib::MP4::CoverArt& art : mp4->tag()->item("covr").toCoverArtList())
        if (consider(kFrontCover, art.data())) break;
  }
  return any;
}

// The file at a descriptor under the name that tells its format: TagLib picks the format by the
// name's extension, then by the content, as it does for a file opened by its path.
class NamedStream : public TagLib::FileStream {
 public:
  NamedStream(int fd, std::string name) : FileStream(fd, true), name_(std::move(name)) {}
  TagLib::FileName name() const override { return name_.c_str(); }

 private:
  std::string name_;
};

// A song opened for reading only: TagLib opens for writing where it may, and every close of a
// file opened so tells the folder watch that the file was written.
struct OpenedSong {
  std::unique_ptr<NamedStream> stream;
  TagLib::FileRef ref;  // declared after the stream it reads, so it goes first
  TagLib::File* file() const { return ref.file(); }
  TagLib::AudioProperties* audioProperties() const { return ref.audioProperties(); }
};

std::unique_ptr<OpenedSong> OpenSong(int fd, const std::string& name) {
  if (!SongFileFormat(name)) {
    close(fd);
    return nullptr;
  }
  auto song = std::make_unique<OpenedSong>();
  song->stream = std::make_unique<NamedStream>(fd, name);  // closes fd when it goes
  if (!song->stream->isOpen()) {
    close(fd);
    return nullptr;
  }
  song->ref = TagLib::FileRef(song->stream.get(), true, TagLib::AudioProperties::Average);
  if (song->ref.isNull() || !song->audioProperties() ||
      song->audioProperties()->lengthInMilliseconds() <= 0)
    return nullptr;
  // A header that promises a length over no audio at all (a file cut short after it).
  if (song->audioProperties()->bitrate() <= 0) return nullptr;
  return song;
}

// USLT (with or without a description), MP4's ©lyr and Vorbis LYRICS all come as LYRICS;
// the lines end in "\n" whatever a tagger wrote.
std::string LyricOf(const TagLib::PropertyMap& props) {
  for (const auto& [key, values] : props)
    if ((key.startsWith("LYRICS") || key == "UNSYNCEDLYRICS") && !values.isEmpty() &&
        !values.front().isEmpty())
      return UnixLineEnds(CutText(Utf8(values.front()), kMaxLyricBytes));
  return "";
}

// "-6.20 dB", "+1.5", "0.98765" -> the number; nullopt for text that is none, or one beyond most.
std::optional<double> Figure(const TagLib::PropertyMap& tags, const char* key, double most) {
  std::string text = First(tags, key);
  const std::size_t start = text.find_first_not_of(" \t+");
  if (start == std::string::npos) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data() + start, text.data() + text.size(), value);
  if (error != std::errc() || end == text.data() + start || !(std::abs(value) <= most))
    return std::nullopt;
  return value;
}

// The tags with an MP4 file's freeform atoms ("----:com.apple.iTunes:NAME") under their NAME in
// upper case, as the other formats' fields come: the tag library leaves them out.
TagLib::PropertyMap WithFreeformAtoms(TagLib::File* file, TagLib::PropertyMap tags) {
  auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file);
  if (!mp4 || !mp4->tag()) return tags;
  const TagLib::String prefix = "----:com.apple.iTunes:";
  for (const auto& [key, item] : mp4->tag()->itemMap())
    if (key.startsWith(prefix) && !item.toStringList().isEmpty())
      tags.insert(key.substr(prefix.size()).upper(), item.toStringList());
  return tags;
}

// ReplayGain as ID3's TXXX frames, Vorbis comments and MP4's freeform atoms name it. Opus files
// carry R128 gains instead: Q7.8 dB towards -23 LUFS, on top of the header's output gain, which
// every decoder (the player's and the measurement's) applies already.
ReplayGain GainOf(const TagLib::PropertyMap& tags, bool opus) {
  ReplayGain gain;
  if (opus) {
    constexpr double kToReplayGain = 5;  // -23 LUFS -> -18 LUFS
    for (auto [key, into] : {std::pair{"R128_TRACK_GAIN", &gain.trackGain},
                             std::pair{"R128_ALBUM_GAIN", &gain.albumGain}}) {
      const std::string text = First(tags, key);
      int q78 = 0;
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), q78);
      if (error == std::errc() && end == text.data() + text.size() && !text.empty() &&
          q78 >= -32768 && q78 <= 32767)
        *into = q78 / 256.0 + kToReplayGain;
    }
    return gain;
  }
  gain.trackGain = Figure(tags, "REPLAYGAIN_TRACK_GAIN", kMaxGainDb);
  gain.trackPeak = Figure(tags, "REPLAYGAIN_TRACK_PEAK", kMaxPeak);
  gain.albumGain = Figure(tags, "REPLAYGAIN_ALBUM_GAIN", kMaxGainDb);
  gain.albumPeak = Figure(tags, "REPLAYGAIN_ALBUM_PEAK", kMaxPeak);
  // A peak of nothing is no peak.
  for (std::optional<double>* peak : {&gain.trackPeak, &gain.albumPeak})
    if (*peak && **peak <= 0) peak->reset();
  return gain;
}

}  // namespace

std::string CutText(std::string text, std::size_t most) {
  if (text.size() <= most) return text;
  std::size_t end = most;
  // Back to the first byte of the character that would be cut.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

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

std::optional<SongFileTags> ReadSongFile(int fd, const std::string& name) {
  std::unique_ptr<OpenedSong> file = OpenSong(fd, name);
  if (!file) return std::nullopt;
  SongFileTags tags;
  tags.durationMs = AudioLengthMs(file->file(), *file->audioProperties());
  const TagLib::PropertyMap props = file->file()->properties();
  tags.title = First(props, "TITLE");
  if (auto it = props.find("ARTIST"); it != props.end())
    for (const TagLib::String& value : it->second)
      if (std::string artist = CutText(Utf8(value.stripWhiteSpace()), kMaxTagText);
          !artist.empty() && tags.artists.size() < kMaxArtists)
        tags.artists.push_back(artist);
  tags.album = First(props, "ALBUM");
  tags.albumArtist = First(props, "ALBUMARTIST");
  const std::string compilation = First(props, "COMPILATION");
  tags.compilation = LeadingNumber(compilation) > 0 || ToLowerAscii(compilation) == "true";
  tags.disc = LeadingNumber(First(props, "DISCNUMBER"));
  tags.track = LeadingNumber(First(props, "TRACKNUMBER"));
  tags.genre = First(props, "GENRE");
  tags.hasPicture = PictureOf(file->file()).has_value();
  tags.lyric = LyricOf(props);
  AudioFormat format = *SongFileFormat(name);
  tags.gain = GainOf(WithFreeformAtoms(file->file(), props), format.extension == "opus");
  tags.extension = std::move(format.extension);
  tags.mime = std::move(format.mime);
  return tags;
}

std::optional<Picture> ReadEmbeddedPicture(int fd, const std::string& name) {
  std::unique_ptr<OpenedSong> file = OpenSong(fd, name);
  return file ? PictureOf(file->file()) : std::nullopt;
}

}  // namespace lumora::server
