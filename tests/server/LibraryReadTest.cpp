// A person's own library as the server reads it: every format served as itself, text that reads
// right whatever encoding wrote it, the right picture, and files that are not songs left out.
#include <fcntl.h>
#include <httplib.h>

#include <filesystem>
#include <map>
#include <set>

#include "LibraryFixture.h"
#include "ServerTestUtil.h"
#include "songfiles/SongFile.h"
#include "support/Mp3Fixture.h"
#include "support/TempDir.h"
#include "support/TestLibrary.h"
#include "support/WaitFor.h"

namespace fs = std::filesystem;

namespace lumora::test {
namespace {

// The tags of a file as the server's tag reader reads them.
std::optional<lumora::server::SongFileTags> ReadTags(const std::string& path) {
  return lumora::server::ReadSongFile(open(path.c_str(), O_RDONLY | O_CLOEXEC), path);
}

// One server over the test library for the suite, and every song it lists, by title.
class LibraryRead : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<TempDir>();
    std::string error;
    ASSERT_TRUE(MakeTestLibrary(dir_->path(), error)) << error;
    server_ = std::make_unique<ServerProcess>(ServerProcess::Options{{}, dir_->path(), {}});
    ASSERT_TRUE(server_->start()) << server_->errors();
    LibraryView view(*server_);
    std::set<std::string> ids;
    playlists_ = view.playlists();
    for (const auto& [name, tracks] : playlists_) ids.insert(tracks.begin(), tracks.end());
    for (ListedSong& s : view.songs({ids.begin(), ids.end()})) {
      titles_[s.id] = s.name;
      songs_[s.name] = std::move(s);
    }
  }
  static void TearDownTestSuite() {
    if (server_) {
      EXPECT_EQ(server_->stop(), 0);
    }
    server_.reset();
    dir_.reset();
  }

  // The song of that title, or a failure.
  static const ListedSong* Song(const std::string& title) {
    auto it = songs_.find(title);
    if (it == songs_.end()) ADD_FAILURE() << "no song " << title;
    return it == songs_.end() ? nullptr : &it->second;
  }
  static std::string Path(const std::string& rel) { return (dir_->path() / rel).string(); }
  static std::vector<std::string> Titles(const std::vector<std::string>& ids) {
    std::vector<std::string> titles;
    for (const std::string& id : ids) titles.push_back(titles_[id]);
    return titles;
  }

  static inline std::unique_ptr<TempDir> dir_;
  static inline std::unique_ptr<ServerProcess> server_;
  static inline std::map<std::string, ListedSong> songs_;
  static inline std::map<std::string, std::string> titles_;  // by id
  static inline std::vector<std::pair<std::string, std::vector<std::string>>> playlists_;
};

// Each format is served as itself and its tags are read from its own fields.
TEST_F(LibraryRead, EveryFormatIsServedAsItselfWithItsTags) {
  const struct {
    const char *title, *file, *type, *mime, *albumArtist;
    bool compilation;
    int disc, track;
    bool picture;
  } cases[] = {
      {"MP3 Song", "Formats/mp3 song.mp3", "mp3", "audio/mpeg", "Format Band", false, 1, 1, true},
      {"Loud", "Formats/LOUD.MP3", "mp3", "audio/mpeg", "Format Band", false, 0, 7, false},
      {"FLAC Song", "Formats/flac song.FLAC", "flac", "audio/flac", "Format Band", false, 0, 2,
       true},
      {"Ogg Song", "Formats/ogg song.ogg", "ogg", "audio/ogg", "Format Band", false, 0, 3, true},
      {"Opus Song", "Formats/opus song.opus", "opus", "audio/ogg", "Format Band", false, 0, 4,
       true},
      {"M4A Song", "Formats/m4a song.M4A", "m4a", "audio/mp4", "Format Band", false, 1, 5, true},
      {"WAV Song", "Formats/wav song.wav", "wav", "audio/wav", "Format Band", false, 0, 6, false},
      {"Hit Two", "Hits/b.mp3", "mp3", "audio/mpeg", "Various Artists", true, 1, 2, false},
      {"Hit One", "Hits/d.flac", "flac", "audio/flac", "Various Artists", true, 1, 1, false},
      {"Hit Four", "Hits/a.m4a", "m4a", "audio/mp4", "", true, 2, 2, false},
      {"Hit Three", "Hits/c.ogg", "ogg", "audio/ogg", "Various Artists", true, 2, 1, false},
  };
  httplib::Client client("127.0.0.1", server_->port());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    auto tags = ReadTags(Path(c.file));
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->albumArtist, c.albumArtist);
    EXPECT_EQ(tags->compilation, c.compilation);
    EXPECT_EQ(tags->disc, c.disc);
    EXPECT_EQ(tags->track, c.track);
    EXPECT_EQ(tags->hasPicture, c.picture);
    EXPECT_GT(tags->durationMs, 900);
    EXPECT_LT(tags->durationMs, 1200);
    const ListedSong* song = Song(c.title);
    if (!song) continue;
    auto url = server_->get("/song/url?id=" + song->id + "&br=320000&timestamp=1");
    ASSERT_TRUE(url);
    EXPECT_NE(url->body.find("\"type\":\"" + std::string(c.type) + "\""), std::string::npos)
        << url->body;
    const std::string address = "/audio/" + song->id + "." + c.type;
    EXPECT_NE(url->body.find(address + "\""), std::string::npos) << url->body;
    auto audio = client.Get(address);
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->status, 200);
    EXPECT_EQ(audio->get_header_value("Content-Type"), c.mime);
    EXPECT_EQ(audio->body, readFile(Path(c.file)));
    // Another format's name is not this song.
    EXPECT_EQ(client.Get("/audio/" + song->id + (c.type == std::string("mp3") ? ".flac" : ".mp3"))
                  ->status,
              404);
  }
}

TEST_F(LibraryRead, FilesThatAreNotAudioAreLeftOut) {
  const char* const notSongs[] = {"Broken/empty.mp3", "Broken/notes.mp3", "Broken/page.flac",
                                  "Broken/fake.ogg",  "Broken/cut.mp3",   "Broken/cut.m4a",
                                  "Broken/cut.flac",  "Broken/._song.mp3"};
  for (const char* file : notSongs) {
    SCOPED_TRACE(file);
    EXPECT_TRUE(fs::exists(Path(file)));
    EXPECT_FALSE(ReadTags(Path(file)));
    const std::string stem = fs::path(file).stem().string();
    EXPECT_EQ(songs_.count(stem), 0u);
  }
  // The 68 songs of the library, and one line that counts what was left out by its content.
  EXPECT_EQ(songs_.size(), 68u);
  EXPECT_NE(server_->errors().find("left out 7 files"), std::string::npos) << server_->errors();
}

TEST_F(LibraryRead, TextsAndLyricsReadRight) {
  const struct {
    const char* title;
    std::vector<std::string> artists;
    const char* album;
    const char* lyric;  // as the player cuts it out of the answer; null: none
  } cases[] = {
      // A separator inside one value is part of the name.
      {"Separators", {"Salt/Pepper"}, "Names", nullptr},
      {"Two Artists", {"Salt/Pepper", "Wind, Fire & Rain"}, "Names", nullptr},
      {"Vorbis Artists", {"Wind, Fire & Rain", "Ann & Bob"}, "Names", nullptr},
      // Latin-1 that would also pass as GBK stays Latin-1; GBK in the same place reads as GBK.
      {"Hélène", {"Motörband"}, "Canção Latina", nullptr},
      {"Björkman Åsa", {"Sørli"}, "Noël à Paris", nullptr},
      {"绿皮火车", {"歌手甲"}, "老歌专辑", nullptr},
      {"Love 晴天", {"歌手乙"}, "老歌专辑", nullptr},
      {"晴天", {"歌手丙"}, "叶惠美", nullptr},
      // Big5 and Shift-JIS in the same places.
      {"說謊的愛情", {"陳美玲"}, "夜空精選", nullptr},
      {"夏祭り", {"佐藤花子"}, "ベスト", nullptr},
      {"聽海", {"林志豪"}, "國語經典", nullptr},
      {"さよなら", {"鈴木一郎"}, "東京", nullptr},
      {"A一个人的夜晚在城市的海边听见", {"歌手戊"}, "长标题", nullptr},  // cut at 30 bytes
      // No tags: "NN - Title", "NN. Title", "NN Title" under "Artist/YYYY - Album".
      {"Quiet River", {"Chloé Vance"}, "Wild Harbor", nullptr},
      {"Low Tide", {"Chloé Vance"}, "Wild Harbor", nullptr},
      {"Salt Air", {"Chloé Vance"}, "Wild Harbor", nullptr},
      {"1999 Nights", {}, "Loose Ends", nullptr},
      // Names of files and folders that are not UTF-8: GBK, then Latin-1.
      {"老歌", {}, "Texts", nullptr},
      {"été", {}, "Café", nullptr},
      // Lyrics in the file in each format, else beside it in each encoding, without a BOM.
      {"MP3 Song", {"Format Band"}, "Six Formats", "[00:00.50]mp3 USLT 歌词"},
      {"FLAC Song", {"Format Band", "Guest One"}, "Six Formats", "[00:00.50]flac LYRICS 歌词"},
      {"Ogg Song", {"Format Band"}, "Six Formats", "[00:00.50]ogg UNSYNCEDLYRICS 歌词"},
      {"M4A Song", {"Format Band", "Guest Two"}, "Six Formats", "[00:00.50]m4a ©lyr 歌词"},
      {"LRC UTF-8", {"Lyricist"}, "Lyrics", "[00:00.50]UTF-8 歌词\\n[00:01.00]second line\\n"},
      {"LRC UTF-8 BOM", {"Lyricist"}, "Lyrics", "[00:00.50]BOM 歌词\\n"},
      {"LRC UTF-16LE", {"Lyricist"}, "Lyrics", "[00:00.50]UTF-16LE 歌词\\n"},
      {"LRC UTF-16BE", {"Lyricist"}, "Lyrics", "[00:00.50]UTF-16BE 歌词\\n"},
      {"LRC GBK", {"Lyricist"}, "Lyrics", "[00:00.50]GBK 的歌词\\n"},
      {"LRC Both", {"Lyricist"}, "Lyrics", "[00:00.50]embedded wins"},
      {"LRC Big5", {"Lyricist"}, "Lyrics", "[00:00.50]聽見你的聲音\\n[00:01.00]說再見\\n"},
      {"LRC Shift-JIS", {"Lyricist"}, "Lyrics", "[00:00.50]君の名前を\\n[00:01.00]呼んだ\\n"},
      {"LRC CRLF", {"Lyricist"}, "Lyrics", "[00:00.50]CRLF 歌词\\n[00:01.00]second line\\n"},
      {"LRC CR", {"Lyricist"}, "Lyrics", "[00:00.50]CR 歌词\\n[00:01.00]second line\\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    const ListedSong* song = Song(c.title);
    if (!song) continue;
    EXPECT_EQ(song->artists, c.artists);
    EXPECT_EQ(song->album, c.album);
    auto lyric = server_->get("/lyric?id=" + song->id);
    ASSERT_TRUE(lyric);
    if (!c.lyric) {
      EXPECT_EQ(lyric->body, "{\"nolyric\":true,\"code\":200}");
      continue;
    }
    EXPECT_EQ(Between(lyric->body, ",\"lyric\":\"", "\"},\"klyric\":"), c.lyric) << lyric->body;
  }
}

// Each length within 2 % of what a decoder plays (the maker measured it), where the header or the
// first frame says otherwise.
TEST_F(LibraryRead, LengthsMatchTheAudio) {
  simdjson::dom::parser parser;
  simdjson::dom::element made;
  ASSERT_FALSE(parser.load(Path("library.json")).get(made));
  const char* const cases[] = {"Lengths/vbr.mp3", "Lengths/cut.mp3", "Lengths/cut.flac"};
  for (const char* file : cases) {
    SCOPED_TRACE(file);
    double seconds = 0;
    for (auto song : made.get_array())
      if (std::string_view(song["path"].get_string().value()) == file)
        seconds = song["seconds"].get_double().value();
    ASSERT_GT(seconds, 1.0);
    auto tags = ReadTags(Path(file));
    ASSERT_TRUE(tags);
    EXPECT_NEAR(tags->durationMs / 1000.0, seconds, seconds * 0.02);
  }
}

TEST_F(LibraryRead, AlbumsShowTheRightPicture) {
  const struct {
    const char* title;
    const char* picture;  // in library-pictures; nullptr for the generated cover
    const char* mime;
  } cases[] = {
      {"Picture MP3", "front.png", "image/png"},     {"Picture FLAC", "green.jpeg", "image/jpeg"},
      {"Picture Ogg", "front.png", "image/png"},     {"Picture Opus", "back.png", "image/png"},
      {"Picture M4A", "green.jpeg", "image/jpeg"},   {"Picture WAV", "front.png", "image/png"},
      {"Folder Cover", "folder.jpeg", "image/jpeg"}, {"Own Cover", "frontpng.png", "image/png"},
      {"Upper Folder", "upper.jpeg", "image/jpeg"},  {"Front Png", "frontpng.png", "image/png"},
      {"No Cover", nullptr, "image/jpeg"},
      // The album's folder holds the picture, above the disc folders its songs are in.
      {"Disc One One", "upper.jpeg", "image/jpeg"},  {"Disc Two Two", "upper.jpeg", "image/jpeg"},
  };
  httplib::Client client("127.0.0.1", server_->port());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    const ListedSong* song = Song(c.title);
    if (!song) continue;
    const std::string base = server_->baseUrl();
    ASSERT_EQ(song->picUrl.rfind(base, 0), 0u) << song->picUrl;
    auto cover = client.Get(song->picUrl.substr(base.size()));
    ASSERT_TRUE(cover);
    EXPECT_EQ(cover->status, 200);
    EXPECT_EQ(cover->get_header_value("Content-Type"), c.mime);
    if (c.picture) {
      EXPECT_EQ(cover->body, readFile(Path(std::string("library-pictures/") + c.picture)));
    } else {
      EXPECT_GT(cover->body.size(), 1000u);  // the generated one, not the folder's back.jpg
      EXPECT_EQ(cover->body.substr(0, 3), "\xFF\xD8\xFF");
    }
  }
}

TEST_F(LibraryRead, EachAlbumIsOnePlaylistInDiscAndTrackOrder) {
  const struct {
    const char* what;
    const char* name;
    std::set<std::vector<std::string>> playlists;  // the titles of each playlist of that name
  } cases[] = {
      {"one title and artist in two folders is two albums", "Twins",
       {{"Twin Song One"}, {"Twin Song Two"}}},
      {"a featuring guest without an album artist does not split it", "Guest Album",
       {{"Own Song", "Guest Song"}}},
      {"discs in folders, without disc tags, by disc then track", "Double",
       {{"Disc One One", "Disc One Two", "Disc Two One", "Disc Two Two"}}},
      {"a compilation tagged only in ID3v1", "Oldies Mix", {{"Oldie One", "Oldie Two"}}},
      {"a compilation one song of which has no album artist", "Hits Collection",
       {{"Hit One", "Hit Two", "Hit Three", "Hit Four"}}},
      {"a folder of one album is not listed again", "Hits", {}},
      {"nor a disc folder", "Albums/Double/CD1", {}},
      {"nor the folder above its discs", "Albums/Double", {}},
      {"a folder of several albums keeps its own", "Pictures/Embedded",
       {{"Picture FLAC", "Picture M4A", "Picture MP3", "Picture Ogg", "Picture Opus",
         "Picture WAV"}}},
  };
  for (const auto& c : cases) {
    std::set<std::vector<std::string>> listed;
    for (const auto& [name, tracks] : playlists_)
      if (name == c.name) listed.insert(Titles(tracks));
    EXPECT_EQ(listed, c.playlists) << c.what;
  }
}

TEST_F(LibraryRead, SearchFindsArtistsAlbumsAndTitlesInAnyCaseOrAccent) {
  const std::vector<std::string> bjork = {"Own Song", "Guest Song", "Live Song"};
  const struct {
    const char* text;
    const char* first;  // the first playlist the square shows
    std::vector<std::string> songs;  // its songs, and what the song search finds
  } cases[] = {
      {"Björk", "歌手：Björk", bjork},
      {"bjork", "歌手：Björk", bjork},
      {"BJÖRK", "歌手：Björk", bjork},
      {"ｂｊöｒｋ", "歌手：Björk", bjork},  // full-width
      {"guest star", "歌手：Guest Star", {"Guest Song"}},
      {"doubl", "歌手：Doubler", {"Disc One One", "Disc One Two", "Disc Two One", "Disc Two Two"}},
      {"oldies MIX", "专辑：Oldies Mix", {"Oldie One", "Oldie Two"}},
      {"oldie ONE", "歌曲：oldie ONE", {"Oldie One"}},
  };
  LibraryView view(*server_);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto found = server_->get("/search?keywords=" + UrlEncode(c.text, 1) +
                              "&limit=8&offset=0&type=1000");
    ASSERT_TRUE(found);
    EXPECT_EQ(Between(found->body, "\"name\":\"", "\""), c.first) << found->body;
    const std::string id = Between(found->body, "\"playlists\":[{\"id\":", ",");
    std::vector<std::string> titles = Titles(view.tracks(id)), songs = view.names(view.find(c.text));
    std::sort(titles.begin(), titles.end());
    std::sort(songs.begin(), songs.end());
    std::vector<std::string> expected = c.songs;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(titles, expected);
    // The song search finds them by their artist, album or title too.
    for (const std::string& title : expected)
      EXPECT_TRUE(std::binary_search(songs.begin(), songs.end(), title)) << title;
  }
}

// Each format's own loudness tags give their figures; a figure that is no number gives none.
TEST_F(LibraryRead, EachKindOfLoudnessTagIsRead) {
  using lumora::server::ReplayGain;
  const struct {
    const char* file;
    ReplayGain gain;  // track gain, track peak, album gain, album peak
  } cases[] = {
      {"Formats/mp3 song.mp3", {-6.5, 0.988547, -7.25, 1.0}},  // ID3 TXXX
      {"Formats/flac song.FLAC", {2.1, 0.5, {}, {}}},          // Vorbis comment, with its sign
      {"Formats/ogg song.ogg", {{}, 0.7, {}, {}}},             // "loud" is no gain
      {"Formats/opus song.opus", {-2.0, {}, 6.0, {}}},         // R128, Q7.8 towards -23 LUFS
      {"Formats/m4a song.M4A", {-3.0, 0.9, {}, {}}},           // MP4 freeform, in lower case
      {"Formats/wav song.wav", {-1.0, {}, {}, {}}},            // WAV's ID3 chunk, lower case
      {"Formats/LOUD.MP3", {}},                                // none at all
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const auto tags = ReadTags(Path(c.file));
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->gain, c.gain);
  }
}

// The player learns each song's loudness with its address: a tagged song's at once, another's
// once the server has measured it after the scan (the test tone: a 440 Hz sine at -1.9 dBFS).
TEST_F(LibraryRead, SongAddressesCarryTheSongsLoudness) {
  const struct {
    const char* title;
    const char* members;  // as the answer has them; nullptr: measured
  } cases[] = {
      {"MP3 Song", ",\"gain\":-6.50,\"peak\":0.988547,\"albumGain\":-7.25,\"albumPeak\":1.000000}"},
      {"Opus Song", ",\"gain\":-2.00,\"albumGain\":6.00}"},
      {"Loud", nullptr},
      {"Ogg Song", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    const ListedSong* song = Song(c.title);
    if (!song) continue;
    std::string body;
    const bool told = waitFor(
        [&] {
          auto answer = server_->get("/song/url?id=" + song->id);
          body = answer ? answer->body : "";
          return body.find("\"gain\":") != std::string::npos;
        },
        std::chrono::seconds(120));
    ASSERT_TRUE(told) << body;
    if (c.members) {
      EXPECT_NE(body.find(c.members), std::string::npos) << body;
      continue;
    }
    // Its loudness between -6 and 0 LUFS (MP3's and Vorbis's own silence at the ends and a
    // second of sound make it less than the sine alone), so lowered by 12 to 18 dB.
    const double gain = std::stod(Between(body, "\"gain\":", ","));
    EXPECT_GT(gain, -18) << body;
    EXPECT_LT(gain, -12) << body;
    EXPECT_NEAR(std::stod(Between(body, "\"peak\":", "}")), 0.8, 0.1) << body;
  }
}

}  // namespace
}  // namespace lumora::test
