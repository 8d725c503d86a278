// Audio, pictures, fault controls, persistence and the user-library mode of the server.
#include <gst/pbutils/pbutils.h>
#include <httplib.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include <filesystem>
#include <fstream>

#include "ServerTestUtil.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace lumora::test {
namespace {

using Media = ServerTest;

TEST_F(Media, AudioHasLengthAndByteRanges) {
  ASSERT_EQ(Get("/song/url?id=1000002&br=320000&timestamp=1"), 200);
  const std::int64_t size = doc_["data"].at(0)["size"].get_int64().value();
  httplib::Client client("127.0.0.1", server_->port());
  auto full = client.Get("/audio/1000002.mp3");
  ASSERT_TRUE(full);
  EXPECT_EQ(full->status, 200);
  EXPECT_EQ(static_cast<std::int64_t>(full->body.size()), size);
  EXPECT_EQ(full->get_header_value("Content-Length"), std::to_string(size));
  EXPECT_EQ(full->get_header_value("Content-Type"), "audio/mpeg");
  struct Case {
    std::string range;
    int status;
    std::int64_t first, last;
  } cases[] = {{"bytes=0-99", 206, 0, 99},
               {"bytes=100-", 206, 100, size - 1},
               {"bytes=-50", 206, size - 50, size - 1},
               {"bytes=" + std::to_string(size), 416, 0, -1},
               // Numbers beyond 64 bits saturate: the whole file, nothing wraps.
               {"bytes=-9223372036854775809", 206, 0, size - 1},
               {"bytes=0-99999999999999999999999", 206, 0, size - 1},
               {"bytes=99999999999999999999999-", 416, 0, -1},
               {"bytes=9-3", 416, 0, -1},
               {"bytes=-0", 416, 0, -1},
               {"bytes=--5", 416, 0, -1},
               {"bytes=+1-2", 416, 0, -1},
               {"bytes=0-1,5-6", 416, 0, -1}};
  for (const Case& c : cases) {
    auto part = client.Get("/audio/1000002.mp3", {{"Range", c.range}});
    ASSERT_TRUE(part) << c.range;
    ASSERT_EQ(part->status, c.status) << c.range;
    if (c.status != 206) continue;
    EXPECT_EQ(part->body, full->body.substr(c.first, c.last - c.first + 1)) << c.range;
    EXPECT_EQ(part->get_header_value("Content-Range"), "bytes " + std::to_string(c.first) + "-" +
                                                           std::to_string(c.last) + "/" +
                                                           std::to_string(size));
  }
  EXPECT_EQ(client.Get("/audio/77.mp3")->status, 404);
}

TEST_F(Media, CoversAndAvatarsAreJpegs) {
  ASSERT_EQ(Get("/song/detail?ids=1000001"), 200);
  std::string pic(doc_["songs"].at(0)["al"]["picUrl"].get_string().value());
  ASSERT_EQ(Get("/playlist/detail?id=3000001"), 200);
  std::string cover(doc_["playlist"]["coverImgUrl"].get_string().value());
  std::string base = server_->baseUrl();
  for (const std::string& url : {pic, cover, base + "/avatar/1011.jpg"}) {
    ASSERT_EQ(url.rfind(base, 0), 0u) << url;
    auto reply = server_->get(url.substr(base.size()));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200) << url;
    ASSERT_GT(reply->body.size(), 1000u) << url;
    EXPECT_EQ(reply->body.substr(0, 3), "\xFF\xD8\xFF") << url;
  }
}

TEST_F(Media, FaultsMakePathsSlowWrongOrBroken) {
  ASSERT_TRUE(server_->failWith("/song/detail", 503, 1));
  auto failed = server_->get("/song/detail?ids=1000001");
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->status, 503);
  EXPECT_EQ(server_->get("/song/detail?ids=1000001")->status, 200);  // only once

  ASSERT_TRUE(server_->answerWith("/lyric", "<html>not json</html>"));
  EXPECT_EQ(server_->get("/lyric?id=1000001")->body, "<html>not json</html>");
  ASSERT_TRUE(server_->clearFaults());
  EXPECT_NE(server_->get("/lyric?id=1000001")->body.find("\"lrc\""), std::string::npos);

  ASSERT_TRUE(server_->addDelay("/playlist/detail", 400, 1));
  server_->get("/playlist/detail?id=3000002");
  auto logged = server_->requestsTo("/playlist/detail?id=3000002");
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_GE(std::stoi(logged[0].substr(logged[0].rfind(' ') + 1)), 400) << logged[0];

  // A cut download ends early; a stalled one pauses and then completes.
  httplib::Client client("127.0.0.1", server_->port());
  auto whole = client.Get("/audio/1000003.mp3");
  ASSERT_TRUE(whole);
  ASSERT_TRUE(server_->cutAfter("/audio/*", 20000, 1));
  std::string got;
  auto cut = client.Get("/audio/1000003.mp3", [&](const char* data, size_t n) {
    got.append(data, n);
    return true;
  });
  EXPECT_FALSE(cut && got.size() == whole->body.size());
  EXPECT_EQ(got.size(), 20000u);
  ASSERT_TRUE(server_->stallAfter("/audio/*", 5000, 300, 1));
  auto stalled = client.Get("/audio/1000003.mp3");
  ASSERT_TRUE(stalled);
  EXPECT_EQ(stalled->body, whole->body);
}

// Every playlist has a song whose URL gives a real, decodable MP3.
TEST_F(Media, EveryPlaylistHasAPlayableMp3) {
  gst_init(nullptr, nullptr);
  TempDir tmp;
  ASSERT_EQ(Get("/top/playlist?limit=100&offset=0&order=hot&cat=%E5%85%A8%E9%83%A8"), 200);
  std::vector<std::string> playlists;
  simdjson::dom::array list = doc_["playlists"].get_array().value();
  for (auto p : list) playlists.push_back(std::to_string(p["id"].get_uint64().value()));
  ASSERT_GE(playlists.size(), 10u);
  GstDiscoverer* discoverer = gst_discoverer_new(20 * GST_SECOND, nullptr);
  ASSERT_TRUE(discoverer);
  for (const std::string& id : playlists) {
    ASSERT_EQ(Get("/playlist/detail?id=" + id), 200);
    std::vector<std::string> tracks;
    simdjson::dom::array ids = doc_["playlist"]["trackIds"].get_array().value();
    for (auto t : ids) tracks.push_back(std::to_string(t["id"].get_uint64().value()));
    // The first track that is not members-only.
    std::string song, url;
    for (std::size_t k = 0; k < tracks.size() && k < 5 && url.empty(); ++k) {
      ASSERT_EQ(Get("/song/url?id=" + tracks[k] + "&br=320000&timestamp=1"), 200);
      std::string_view found;
      if (!doc_["data"].at(0)["url"].get(found)) {
        url = found;
        song = tracks[k];
      }
    }
    ASSERT_FALSE(url.empty()) << "playlist " << id;
    std::string base = server_->baseUrl();
    auto audio = server_->get(url.substr(base.size()));
    ASSERT_TRUE(audio);
    std::string file = tmp.file(song + ".mp3");
    std::ofstream(file, std::ios::binary) << audio->body;
    gchar* uri = gst_filename_to_uri(file.c_str(), nullptr);
    GstDiscovererInfo* info = gst_discoverer_discover_uri(discoverer, uri, nullptr);
    g_free(uri);
    ASSERT_TRUE(info) << song;
    EXPECT_EQ(gst_discoverer_info_get_result(info), GST_DISCOVERER_OK) << song;
    EXPECT_GT(gst_discoverer_info_get_duration(info), GST_SECOND) << song;
    GList* streams = gst_discoverer_info_get_audio_streams(info);
    EXPECT_NE(streams, nullptr) << song;
    gst_discoverer_stream_info_list_free(streams);
    g_object_unref(info);
  }
  g_object_unref(discoverer);
}

TEST(ServerRestart, SessionsAndLikesSurviveARestart) {
  TempDir data;
  std::string cookie;
  {
    ServerProcess first(ServerProcess::Options{data.path(), {}, {}});
    ASSERT_TRUE(first.start()) << first.errors();
    auto login = first.post(
        "/login?email=plain@lumora.test&md5_password=98a6619f9bc9cdd67e27e884d758da4b&timestamp=1");
    ASSERT_TRUE(login);
    cookie = Between(login->body, "\"cookie\":\"", "\"");
    ASSERT_FALSE(cookie.empty());
    ASSERT_EQ(first.post("/like?id=1000009&cookie=" + cookie + "&timestamp=1")->status, 200);
    EXPECT_EQ(first.stop(), 0);
  }
  ServerProcess second(ServerProcess::Options{data.path(), {}, {}});
  ASSERT_TRUE(second.start()) << second.errors();
  auto fm = second.get("/personal_fm?cookie=" + UrlEncode(cookie, 1) + "&timestamp=1");
  ASSERT_TRUE(fm);
  EXPECT_NE(fm->body.find("\"code\":200"), std::string::npos) << fm->body;
  auto liked = second.get("/playlist/detail?id=7000001001");
  ASSERT_TRUE(liked);
  EXPECT_NE(liked->body.find("{\"id\":1000009}"), std::string::npos) << liked->body;
}

TEST(ServerLibrary, ServesTaggedFilesWithLyricsAndCovers) {
  // Two demo songs copied into a folder tree, one with a USLT frame, one with a .lrc beside it.
  ServerProcess demo;  // makes sure the shared demo files exist
  ASSERT_TRUE(demo.start()) << demo.errors();
  demo.stop();
  TempDir lib;
  fs::create_directories(lib.path() / "夜晚");
  fs::copy_file(ServerProcess::demoDir() / "audio/1000001.mp3", lib.path() / "夜晚/one.mp3");
  fs::copy_file(ServerProcess::demoDir() / "audio/1000002.mp3", lib.path() / "two.mp3");
  {
    TagLib::MPEG::File file((lib.path() / "夜晚/one.mp3").c_str());
    auto* frame = new TagLib::ID3v2::UnsynchronizedLyricsFrame(TagLib::String::UTF8);
    frame->setText(TagLib::String("[00:01.00]标签里的歌词", TagLib::String::UTF8));
    file.ID3v2Tag(true)->addFrame(frame);
    file.save();
  }
  std::ofstream(lib.path() / "two.lrc") << "[00:02.00]beside the song\n";

  ServerProcess server(ServerProcess::Options{{}, lib.path(), {}});
  ASSERT_TRUE(server.start()) << server.errors();
  auto top = server.get("/top/playlist?limit=50&offset=0&order=hot&cat=%E5%85%A8%E9%83%A8");
  ASSERT_TRUE(top);
  // One playlist per album: the album's songs in two folders are two albums, and a folder of
  // one album is not listed again.
  EXPECT_NE(top->body.find("\"total\":2"), std::string::npos) << top->body;
  // The album's genre tag is a category.
  auto chinese = server.get("/top/playlist?limit=50&offset=0&order=hot&cat=%E5%8D%8E%E8%AF%AD");
  EXPECT_NE(chinese->body.find("晨光 Morning Light"), std::string::npos) << chinese->body;

  // The playlist of the songs of that title, found by its id too.
  auto search = server.get("/search?keywords=" + UrlEncode("晨光序曲", 1) + "&limit=8&offset=0&type=1000");
  std::string id = Between(search->body, "\"id\":", ",");
  ASSERT_FALSE(id.empty()) << search->body;
  auto detail = server.get("/playlist/detail?id=" + id);
  std::string song = Between(detail->body, "\"trackIds\":[{\"id\":", "}");
  ASSERT_FALSE(song.empty());
  auto lyric = server.get("/lyric?id=" + song);
  EXPECT_EQ(Between(lyric->body, ",\"lyric\":\"", "\"},\"klyric\":"), "[00:01.00]标签里的歌词");
  auto info = server.get("/song/detail?ids=" + song);
  EXPECT_NE(info->body.find("\"name\":\"晨光序曲\""), std::string::npos) << info->body;
  EXPECT_NE(info->body.find("\"dt\":"), std::string::npos);
  auto url = server.get("/song/url?id=" + song + "&br=320000&timestamp=1");
  EXPECT_NE(url->body.find("/audio/" + song + ".mp3"), std::string::npos);

  auto other = server.get("/search?keywords=midnight&limit=8&offset=0&type=1");
  std::string otherId = Between(other->body, "\"songs\":[{\"id\":", ",");
  ASSERT_FALSE(otherId.empty()) << other->body;
  auto otherLyric = server.get("/lyric?id=" + otherId);
  EXPECT_EQ(Between(otherLyric->body, ",\"lyric\":\"", "\"},\"klyric\":"),
            "[00:02.00]beside the song\\n");
}

}  // namespace
}  // namespace lumora::test
