#pragma once
// A user's library made at test time (one-second MP3s with ID3v2 tags) and what a server over it
// answers: its playlists by name, their songs' names, a song's id by its title.
#include <simdjson.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <deque>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "net/UrlEncode.h"
#include "support/Mp3Fixture.h"
#include "support/ServerProcess.h"

namespace lumora::test {

struct SongTags {
  std::string title, artist, album, albumArtist;
  int disc = 0, track = 0;
  bool compilation = false;
};

inline SongTags Tags(std::string title, std::string artist, std::string album,
                     std::string albumArtist = "", int disc = 0, int track = 0,
                     bool compilation = false) {
  return {
      std::move(title), std::move(artist), std::move(album), std::move(albumArtist), disc, track,
      compilation};
}

// A one-second MP3 at file carrying tags.
inline bool writeSong(const std::filesystem::path& file, const SongTags& t) {
  static const std::string audio = makeMp3(1.0);
  std::filesystem::create_directories(file.parent_path());
  if (audio.empty() || !writeFile(file.string(), audio)) return false;
  TagLib::MPEG::File mp3(file.c_str());
  TagLib::ID3v2::Tag* tag = mp3.ID3v2Tag(true);
  auto text = [&](const char* id, const std::string& value) {
    if (value.empty()) return;
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
    frame->setText(TagLib::String(value, TagLib::String::UTF8));
    tag->addFrame(frame);
  };
  text("TIT2", t.title);
  text("TPE1", t.artist);
  text("TALB", t.album);
  text("TPE2", t.albumArtist);
  text("TRCK", t.track ? std::to_string(t.track) : "");
  text("TPOS", t.disc ? std::to_string(t.disc) : "");
  text("TCMP", t.compilation ? "1" : "");
  return mp3.save();
}

struct ListedSong {
  std::string id, name, album, picUrl;
  std::vector<std::string> artists;
};

// What the server lists: every playlist (name, track ids), its songs, a song's id by its name.
class LibraryView {
 public:
  explicit LibraryView(const ServerProcess& server) : server_(server) {}

  std::vector<std::pair<std::string, std::vector<std::string>>> playlists() {
    std::vector<std::pair<std::string, std::vector<std::string>>> all;
    simdjson::dom::element top;
    if (!fetch("/top/playlist?limit=1000&offset=0&order=hot&cat=%E5%85%A8%E9%83%A8", top))
      return all;
    std::vector<std::pair<std::string, std::string>> named;
    simdjson::dom::array list = top["playlists"].get_array().value();
    for (auto p : list)
      named.emplace_back(std::string(p["name"].get_string().value()),
                         std::to_string(p["id"].get_uint64().value()));
    for (const auto& [name, id] : named) all.emplace_back(name, tracks(id));
    return all;
  }

  // The track ids of a playlist.
  std::vector<std::string> tracks(const std::string& playlist) {
    simdjson::dom::element detail;
    std::vector<std::string> ids;
    if (!fetch("/playlist/detail?id=" + playlist, detail)) return ids;
    simdjson::dom::array tracks = detail["playlist"]["trackIds"].get_array().value();
    for (auto t : tracks) ids.push_back(std::to_string(t["id"].get_uint64().value()));
    return ids;
  }

  // The songs of ids the server knows, in its order.
  std::vector<ListedSong> songs(const std::vector<std::string>& ids) {
    std::vector<ListedSong> out;
    std::string joined;
    for (const std::string& id : ids) joined += (joined.empty() ? "" : ",") + id;
    simdjson::dom::element doc;
    if (!fetch("/song/detail?ids=" + joined, doc)) return out;
    for (auto s : doc["songs"].get_array()) {
      ListedSong song{std::to_string(s["id"].get_uint64().value()),
                      std::string(s["name"].get_string().value()),
                      std::string(s["al"]["name"].get_string().value()),
                      std::string(s["al"]["picUrl"].get_string().value()),
                      {}};
      for (auto a : s["ar"].get_array()) song.artists.emplace_back(a["name"].get_string().value());
      out.push_back(std::move(song));
    }
    return out;
  }

  std::vector<std::string> names(const std::vector<std::string>& ids) {
    std::vector<std::string> out;
    for (const ListedSong& s : songs(ids)) out.push_back(s.name);
    return out;
  }

  // The ids of the songs whose name holds text.
  std::vector<std::string> find(const std::string& text) {
    std::vector<std::string> ids;
    simdjson::dom::element doc;
    if (fetch("/search?keywords=" + UrlEncode(text, 1) + "&limit=100&offset=0&type=1", doc)) {
      simdjson::dom::array songs = doc["result"]["songs"].get_array().value();
      for (auto s : songs) ids.push_back(std::to_string(s["id"].get_uint64().value()));
    }
    return ids;
  }

 private:
  bool fetch(const std::string& target, simdjson::dom::element& doc) {
    auto reply = server_.get(target);
    if (!reply || reply->status != 200) return false;
    parsers_.emplace_back();
    return !parsers_.back().parse(reply->body).get(doc);
  }

  const ServerProcess& server_;
  // A parsed answer lives in its parser; a deque keeps each one in place.
  std::deque<simdjson::dom::parser> parsers_;
};

}  // namespace lumora::test
