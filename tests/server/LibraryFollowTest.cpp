// A served library follows its folder while the server runs, and a restart reads from the saved
// index only what changed; a song keeps its id, and so its likes, when its file moves.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>

#include "LibraryFixture.h"
#include "ServerTestUtil.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace fs = std::filesystem;

namespace lumora::test {
namespace {

constexpr auto kSeenWithin = std::chrono::seconds(20);  // the aim is 2 s; this is a loaded machine

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The files the last whole-library scan read, from its log line; -1 when there is none.
int FilesReadAtStart(const ServerProcess& server) {
  std::smatch m;
  const std::string errors = server.errors();
  if (!std::regex_search(errors, m,
                         std::regex("library scanned in [0-9.]+ s: \\d+ songs, (\\d+) files read")))
    return -1;
  return std::stoi(m[1]);
}

// The /song/url code of a song: 200 when its file is served, 404 when it is not.
std::string UrlCode(const ServerProcess& server, const std::string& id) {
  auto reply = server.get("/song/url?id=" + id + "&br=320000");
  return reply ? Between(reply->body, ",\"code\":", ",") : "";
}

TEST(ServerLibrary, FollowsTheFolderWhileRunning) {
  TempDir home, outside, kept;
  const fs::path lib = home.path() / "Music";  // not there yet
  ASSERT_TRUE(writeSong(kept.path() / "Band/keep.mp3", Tags("Keeper", "Band", "Stays")));
  for (int i = 1; i <= 4; ++i)
    ASSERT_TRUE(writeSong(outside.path() / "Album/" / (std::to_string(i) + ".mp3"),
                          Tags("Copied " + std::to_string(i), "Band", "Copied Album", "", 0, i)));
  ServerProcess server(ServerProcess::Options{{}, lib, {}});
  ASSERT_TRUE(server.start()) << server.errors();
  LibraryView view(server);
  std::string id;  // of the song the steps follow
  auto listedOnly = [&](const std::string& title, const std::string& wantedId) {
    auto ids = view.find(title);
    return ids.size() == 1 && (wantedId.empty() || ids[0] == wantedId) &&
           UrlCode(server, ids[0]) == "200";
  };
  auto hasPlaylist = [&](const std::string& name) {
    auto all = view.playlists();
    return std::any_of(all.begin(), all.end(), [&](const auto& p) { return p.first == name; });
  };
  int rescansBefore = 0;
  struct Step {
    const char* what;
    std::function<void()> change;
    std::function<bool()> seen;
  };
  const Step steps[] = {
      {"the library's folder made",
       [&] { fs::copy(kept.path(), lib, fs::copy_options::recursive); },
       [&] { return listedOnly("Keeper", ""); }},
      {"a song added",
       [&] { writeSong(lib / "Live/new.mp3", Tags("Fresh", "Band", "Live Album")); },
       [&] { return listedOnly("Fresh", ""); }},
      {"a song retagged",
       [&] { writeSong(lib / "Live/new.mp3", Tags("Retitled", "Band", "Live Album")); },
       [&] { return view.find("Fresh").empty() && listedOnly("Retitled", id); }},
      {"a song renamed", [&] { fs::rename(lib / "Live/new.mp3", lib / "Live/old.mp3"); },
       [&] { return listedOnly("Retitled", id); }},
      {"a folder renamed", [&] { fs::rename(lib / "Live", lib / "Concert"); },
       [&] {
         return hasPlaylist("Concert") && !hasPlaylist("Live") && listedOnly("Retitled", id);
       }},
      {"a song removed", [&] { fs::remove(lib / "Concert/old.mp3"); },
       [&] { return view.find("Retitled").empty() && !hasPlaylist("Concert"); }},
      {"an album copied in",
       [&] {
         rescansBefore = Count(server.errors(), "changed folders scanned");
         fs::copy(outside.path() / "Album", lib / "Copied", fs::copy_options::recursive);
       },
       [&] { return view.find("Copied").size() == 4; }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.change();
    ASSERT_TRUE(waitFor(step.seen, kSeenWithin)) << server.errors();
    if (auto fresh = view.find("Fresh"); id.empty() && !fresh.empty()) id = fresh[0];
    // Never a listed song that is not there.
    for (const auto& [name, tracks] : view.playlists())
      for (const std::string& track : tracks) EXPECT_EQ(UrlCode(server, track), "200") << name;
  }
  // The album came in one rescan, not one per file.
  EXPECT_EQ(Count(server.errors(), "changed folders scanned") - rescansBefore, 1)
      << server.errors();
}

TEST(ServerLibrary, ARestartReadsOnlyWhatChangedInTheIndex) {
  TempDir lib, data;
  ASSERT_TRUE(writeSong(lib.path() / "A/one.mp3", Tags("One", "Band", "First")));
  ASSERT_TRUE(writeSong(lib.path() / "A/two.mp3", Tags("Two", "Band", "First")));
  ASSERT_TRUE(writeSong(lib.path() / "B/three.mp3", Tags("Three", "Band", "Second")));
  struct Case {
    const char* what;
    std::function<void()> whileStopped;
    int filesRead;
    const char* follow;  // a song whose id must stay
  };
  const Case cases[] = {
      {"the first start", [] {}, 3, "Two"},
      {"nothing changed", [] {}, 0, "Two"},
      {"one song retagged",
       [&] { writeSong(lib.path() / "A/one.mp3", Tags("Uno", "Band", "First")); }, 1, "Uno"},
      {"a song moved to another folder",
       [&] { fs::rename(lib.path() / "A/two.mp3", lib.path() / "B/two.mp3"); }, 0, "Two"},
      {"a song copied elsewhere, its old copy removed",
       [&] {
         fs::copy_file(lib.path() / "B/three.mp3", lib.path() / "C/three.mp3");
         fs::remove(lib.path() / "B/three.mp3");
       },
       1, "Three"},
      {"a file that is not audio",
       [&] { writeFile((lib.path() / "B/bad.mp3").string(), "<html>"); }, 1, "Two"},
      {"nothing changed since", [] {}, 0, "Two"},
  };
  fs::create_directories(lib.path() / "C");
  std::map<std::string, std::string> ids;  // title -> id, from the first start
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.whileStopped();
    ServerProcess server(ServerProcess::Options{data.path(), lib.path(), {}});
    ASSERT_TRUE(server.start()) << server.errors();
    EXPECT_EQ(FilesReadAtStart(server), c.filesRead) << server.errors();
    LibraryView view(server);
    auto found = view.find(c.follow);
    ASSERT_EQ(found.size(), 1u);
    if (ids.empty())
      for (const char* title : {"One", "Two", "Three"}) ids[title] = view.find(title).at(0);
    const std::string wanted = ids.count(c.follow) ? ids[c.follow] : ids["One"];
    EXPECT_EQ(found[0], wanted);
    EXPECT_EQ(server.stop(), 0);
  }
}

TEST(ServerLibrary, LikesStayWithASongWhoseFileMoves) {
  TempDir lib, data;
  ASSERT_TRUE(writeSong(lib.path() / "Old/liked.mp3", Tags("Loved", "Band", "Fond")));
  ASSERT_TRUE(writeSong(lib.path() / "Old/other.mp3", Tags("Other", "Band", "Fond")));
  ServerProcess server(ServerProcess::Options{data.path(), lib.path(), {}});
  ASSERT_TRUE(server.start()) << server.errors();
  LibraryView view(server);
  const std::string id = view.find("Loved").at(0);
  auto login = server.post("/login?email=plain@lumora.test&md5_password=" +
                           std::string("98a6619f9bc9cdd67e27e884d758da4b"));
  const std::string cookie = Between(login->body, "\"cookie\":\"", "\"");
  ASSERT_EQ(server.post("/like?id=" + id + "&cookie=" + UrlEncode(cookie, 1))->status, 200);
  auto liked = [&] {
    auto list = server.get("/playlist/detail?id=7000001001");
    return list && list->body.find("{\"id\":" + id + "}") != std::string::npos;
  };
  struct Case {
    const char* what;
    bool whileStopped;
    const char *from, *to;
  };
  const Case cases[] = {
      {"renamed while running", false, "Old/liked.mp3", "Old/renamed.mp3"},
      {"its folder renamed while running", false, "Old", "New"},
      {"moved while stopped", true, "New/renamed.mp3", "Elsewhere.mp3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.whileStopped) {
      ASSERT_EQ(server.stop(), 0);
    }
    fs::rename(lib.path() / c.from, lib.path() / c.to);
    if (c.whileStopped) {
      ASSERT_TRUE(server.start()) << server.errors();
    }
    // Seen once its new place is served.
    ASSERT_TRUE(waitFor([&] { return UrlCode(server, id) == "200"; }, kSeenWithin))
        << server.errors();
    EXPECT_TRUE(liked());
    EXPECT_EQ(view.find("Loved"), std::vector<std::string>{id});
  }
}

}  // namespace
}  // namespace lumora::test
