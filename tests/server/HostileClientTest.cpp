// What careless and hostile clients meet: refused requests, bounded work, connection limits,
// a library that is a jail, and an address checked before anything is made.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <regex>

#include "RawHttp.h"
#include "ServerTestUtil.h"
#include "base/OpenBeneath.h"
#include "http/HttpServer.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace fs = std::filesystem;

namespace lumora::test {
namespace {

using HostileClient = ServerTest;

// A song of the shared demo files, made first when missing; empty when they cannot be.
fs::path DemoSong() {
  ServerProcess demo;
  if (!demo.start()) return {};
  demo.stop();
  return ServerProcess::demoDir() / "audio/1000001.mp3";
}

TEST_F(HostileClient, RefusesAmbiguousAndOversizedRequests) {
  std::string ids;
  for (int i = 0; i < 2001; ++i) ids += (i ? ",100000" : "100000") + std::to_string(1 + i % 3);
  struct Case {
    std::string target;
    int status;
    const char* msg;
  } cases[] = {
      {"/song/detail?ids=" + ids, 400, "参数过多: ids"},
      {"/song/url?id=" + ids + "&br=320000", 400, "参数过多: id"},
      {"/search?type=1&keywords=" + std::string(25 * 1024, 'a'), 414, "请求过长"},
      {"/song/detail?ids=" + ids.substr(0, ids.rfind(',')), 200, nullptr},  // 2 000 ids
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Get(c.target), c.status) << c.target.substr(0, 40);
    EXPECT_EQ(Code(), c.status);
    if (c.msg) {
      EXPECT_EQ(doc_["msg"].get_string().value(), c.msg);
    }
  }
  EXPECT_EQ(doc_["songs"].get_array().value().size(), 2000u);
  // Longer than a connection may hold: refused before it is read.
  auto huge = server_->get("/search?type=1&keywords=" + std::string(200 * 1024, 'a'));
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->status, 414);

  const std::string head = "GET /top/playlist HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  EXPECT_EQ(StatusLine(server_->port(), head + "Content-Length: 0\r\nContent-Length: 5\r\n\r\n"),
            "HTTP/1.1 400 Bad Request");
  EXPECT_EQ(StatusLine(server_->port(), head + "Content-Length: 0\r\n\r\n"), "HTTP/1.1 200 OK");
}

TEST_F(HostileClient, OneAddressCannotCrowdOutTheOthers) {
  // 200 idle connections from 127.0.0.2: it keeps at most its share of 128.
  std::vector<int> idle;
  for (int i = 0; i < 200; ++i) {
    int fd = Connect(server_->port(), "127.0.0.2");
    ASSERT_GE(fd, 0) << "loopback connection " << i;
    idle.push_back(fd);
  }
  EXPECT_GE(ClosedWithin(idle, 5000), 72);
  // Headers trickled a byte at a time from 127.0.0.3 keep the idle time-out from running
  // out, but not the deadline from the request's start.
  int slow = Connect(server_->port(), "127.0.0.3");
  ASSERT_GE(slow, 0);
  const std::string line = "GET /top/playlist HTTP/1.1\r\nX-Slow: ";
  send(slow, line.data(), line.size(), MSG_NOSIGNAL);
  bool cut = false;
  for (int i = 0; i < 60 && !cut; ++i) {  // at most 30 s
    send(slow, "a", 1, MSG_NOSIGNAL);
    cut = ClosedWithin({slow}, 500) == 1;
  }
  EXPECT_TRUE(cut);
  // Meanwhile everyone else is answered.
  EXPECT_EQ(Get("/top/playlist?limit=1"), 200);
  for (int fd : idle) close(fd);
  close(slow);
}

TEST(ServerStart, AnAddressItCannotUseFailsBeforeAnyCatalogueIsMade) {
  const struct {
    const char* host;
    bool valid, loopback;
  } hosts[] = {{"127.0.0.1", true, true},   {"127.8.9.10", true, true},
               {"0.0.0.0", true, false},    {"192.168.1.20", true, false},
               {"::1", false, false},       {"localhost", false, false},
               {"127.0.0.1 ", false, false}};
  for (const auto& h : hosts) {
    server::ListenAddress address;
    EXPECT_EQ(server::ParseListenAddress(h.host, &address), h.valid) << h.host;
    if (h.valid) {
      EXPECT_EQ(address.loopback, h.loopback) << h.host;
    }
  }

  TempDir data;
  const std::string command = ServerProcess::executable().string() + " --host ::1 --data " +
                              data.path().string() + " --demo-dir " +
                              (data.path() / "demo").string() + " 2>&1";
  std::string output;
  FILE* pipe = popen(("timeout 30 " + command).c_str(), "r");
  ASSERT_TRUE(pipe);
  char buf[512];
  while (fgets(buf, sizeof buf, pipe)) output += buf;
  int status = pclose(pipe);
  EXPECT_EQ(WEXITSTATUS(status), 1) << output;
  EXPECT_NE(output.find("not an IPv4 address: ::1"), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(data.path() / "demo")) << output;
}

TEST(ServerLibrary, LinksLeadingOutOfTheLibraryAreNeitherListedNorRead) {
  const fs::path song = DemoSong();
  ASSERT_FALSE(song.empty());
  TempDir outside, lib;
  fs::copy_file(song, outside.path() / "secret.mp3");
  std::ofstream(outside.path() / "secret.lrc") << "[00:01.00]outside\n";
  fs::create_directories(lib.path() / "inner");
  fs::copy_file(song, lib.path() / "inner/own.mp3");
  struct Link {
    const char* name;
    fs::path target;
  } links[] = {{"stolen.mp3", outside.path() / "secret.mp3"},
               {"inner/own.lrc", outside.path() / "secret.lrc"},
               {"inner/again.mp3", lib.path() / "inner/own.mp3"}};  // inside: fine
  for (const Link& l : links) fs::create_symlink(l.target, lib.path() / l.name);
  fs::create_directory_symlink(outside.path(), lib.path() / "elsewhere");

  ServerProcess server(ServerProcess::Options{{}, lib.path(), {}});
  ASSERT_TRUE(server.start()) << server.errors();
  auto top = server.get("/top/playlist?limit=50&offset=0&order=hot&cat=%E5%85%A8%E9%83%A8");
  ASSERT_TRUE(top);
  // own.mp3 and again.mp3: one album, its folder not listed again.
  EXPECT_NE(top->body.find("\"total\":1"), std::string::npos) << top->body;
  auto search =
      server.get("/search?keywords=" + UrlEncode("晨光", 1) + "&limit=50&offset=0&type=1");
  ASSERT_TRUE(search);
  EXPECT_NE(search->body.find("\"songCount\":2"), std::string::npos) << search->body;
  const std::regex songId(R"(\{"id":(\d+),"name":"[^"]*","ar")");
  int songs = 0;
  for (std::sregex_iterator it(search->body.begin(), search->body.end(), songId), end; it != end;
       ++it, ++songs) {
    const std::string id = (*it)[1];
    auto lyric = server.get("/lyric?id=" + id);
    ASSERT_TRUE(lyric);
    EXPECT_EQ(lyric->body.find("outside"), std::string::npos) << lyric->body;
    auto audio = server.get("/audio/" + id + ".mp3");
    ASSERT_TRUE(audio);
    EXPECT_EQ(audio->status, 200);
    EXPECT_EQ(audio->body.size(), fs::file_size(song));
  }
  EXPECT_EQ(songs, 2);
}

TEST(ServerLibrary, AFolderSwappedForALinkAfterTheScanLeadsNowhere) {
  const fs::path song = DemoSong();
  ASSERT_FALSE(song.empty());
  TempDir outside, lib;
  fs::create_directories(lib.path() / "inner");
  fs::copy_file(song, lib.path() / "inner/own.mp3");
  std::ofstream(outside.path() / "own.mp3") << "outside bytes";
  ServerProcess server(ServerProcess::Options{{}, lib.path(), {}});
  ASSERT_TRUE(server.start()) << server.errors();
  auto search = server.get("/search?keywords=" + UrlEncode("晨光", 1) + "&limit=5&offset=0&type=1");
  ASSERT_TRUE(search);
  const std::string id = Between(search->body, "{\"id\":", ",");
  ASSERT_FALSE(id.empty()) << search->body;
  ASSERT_EQ(server.get("/audio/" + id + ".mp3")->body.size(), fs::file_size(song));

  fs::rename(lib.path() / "inner", lib.path() / "moved");
  fs::create_directory_symlink(outside.path(), lib.path() / "inner");
  auto audio = server.get("/audio/" + id + ".mp3");
  ASSERT_TRUE(audio);
  EXPECT_EQ(audio->body.find("outside bytes"), std::string::npos);
  EXPECT_EQ(audio->status, 404);
}

TEST(LibraryJail, OpensOnlyBeneathTheRootThroughNoLink) {
  TempDir outside, lib;
  const std::string root = fs::canonical(lib.path()).string();
  fs::create_directories(lib.path() / "a/b");
  std::ofstream(lib.path() / "a/b/song.mp3") << "inside";
  std::ofstream(outside.path() / "song.mp3") << "outside";
  fs::create_directory_symlink(outside.path(), lib.path() / "out");
  fs::create_directory_symlink(lib.path() / "a", lib.path() / "alias");  // inside, still a link
  fs::create_symlink(lib.path() / "a/b/song.mp3", lib.path() / "a/b/linked.mp3");
  const struct {
    std::string path;
    bool opens;
  } cases[] = {
      {root + "/a/b/song.mp3", true},
      {root + "/out/song.mp3", false},
      {root + "/alias/b/song.mp3", false},
      {root + "/a/b/linked.mp3", false},
      {root + "/a/../../" + outside.path().filename().string() + "/song.mp3", false},
      {root + "2/a/b/song.mp3", false},
      {outside.path().string() + "/song.mp3", false},
  };
  for (auto open : {&server::OpenBeneath, &server::WalkBeneath})
    for (const auto& c : cases) {
      const int fd = open(root, c.path, O_RDONLY);
      EXPECT_EQ(fd >= 0, c.opens) << c.path << (open == &server::WalkBeneath ? " (walk)" : "");
      if (fd >= 0) close(fd);
    }
}

TEST(HttpServerLimits, TheLogKeepsEachRequestToAShortLineWithoutSecrets) {
  std::mutex mutex;
  std::vector<std::string> lines;
  server::HttpServer http(
      [](const server::HttpRequest&, server::HttpResponse& res) { res.Json(200, "{}"); },
      [&](const std::string& line) {
        std::lock_guard lock(mutex);
        lines.push_back(line);
      });
  std::string error;
  ASSERT_TRUE(http.Start("127.0.0.1", 0, &error)) << error;
  const std::string ids = "/song/detail?ids=" + std::string(20000, '1');
  for (const std::string& target : {ids, std::string("/login?email=a@b.c&md5_password=s3cret")})
    Exchange(http.Port(), "127.0.0.1",
             "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
  std::lock_guard lock(mutex);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_LT(lines[0].size(), 300u);
  EXPECT_NE(lines[0].find("(19817 more bytes)"), std::string::npos) << lines[0];
  EXPECT_EQ(lines[1].find("s3cret"), std::string::npos) << lines[1];
}

TEST(HttpServerLimits, TheReserveIsKeptForNewcomersNotForTheCrowd) {
  server::HttpServer http([](const server::HttpRequest&,
                             server::HttpResponse& res) { res.Json(200, R"({"code":200})"); },
                          nullptr,
                          {.connections = 40,
                           .perAddress = 32,
                           .reserve = 8,
                           .headerSeconds = 300,
                           .idleSeconds = 300,
                           .threads = 2});
  std::string error;
  ASSERT_TRUE(http.Start("127.0.0.1", 0, &error)) << error;
  const std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  auto connect = [&](const std::string& from, bool answered) {
    const int fd = Connect(http.Port(), from.c_str());
    if (fd >= 0 && answered) {
      // Answered once, so the server surely counts it; then it stays idle.
      send(fd, request.data(), request.size(), MSG_NOSIGNAL);
      std::string answer;
      char buf[512];
      pollfd p{fd, POLLIN, 0};
      while (answer.find(R"({"code":200})") == std::string::npos && poll(&p, 1, 10000) > 0) {
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        answer.append(buf, static_cast<std::size_t>(n));
      }
    }
    return fd;
  };
  // The crowd fills the table up to its reserve, then keeps coming: turned away at once, the
  // places it holds untouched.
  std::vector<int> crowd, more, newcomers;
  for (int i = 0; i < 32; ++i) crowd.push_back(connect(i % 2 ? "127.0.0.2" : "127.0.0.3", true));
  for (int i = 0; i < 8; ++i) more.push_back(connect(i % 2 ? "127.0.0.2" : "127.0.0.3", false));
  EXPECT_EQ(ClosedWithin(more, 10000), 8);
  EXPECT_EQ(ClosedWithin(crowd, 0), 0);
  // Newcomers take the reserve; once half of it is taken, the crowd's longest idle give back
  // as many places, never a newcomer's.
  for (int i = 0; i < 5; ++i) newcomers.push_back(connect("127.0.1." + std::to_string(i), false));
  EXPECT_EQ(ClosedWithin(crowd, 10000, 5), 5);
  EXPECT_EQ(ClosedWithin(newcomers, 0), 0);
  const std::string answer =
      Exchange(http.Port(), "127.0.0.1",
               "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", "\r\n");
  EXPECT_EQ(answer.substr(0, answer.find("\r\n")), "HTTP/1.1 200 OK");
  for (const auto* fds : {&crowd, &more, &newcomers})
    for (int fd : *fds) close(fd);
  http.Stop();
}

TEST_F(HostileClient, StalledReadersCostLittleMemoryEach) {
  auto resident = [&] {
    std::ifstream status("/proc/" + std::to_string(server_->pid()) + "/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));  // KiB
    return 0L;
  };
  const std::string request =
      "GET /audio/1000024.mp3 HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  ASSERT_EQ(StatusLine(server_->port(), request), "HTTP/1.1 200 OK");  // warm
  const long before = resident();
  const std::size_t logged = server_->requestsTo("/audio/").size();
  constexpr int kReaders = 300;
  std::vector<int> readers;
  for (int i = 0; i < kReaders; ++i) {
    const std::string from = "127.0.1." + std::to_string(1 + i / 100);
    const int fd = Connect(server_->port(), from.c_str(), 4096);  // a reader taking almost nothing
    ASSERT_GE(fd, 0);
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    readers.push_back(fd);
  }
  // Every answer has begun (it is logged when it is queued).
  ASSERT_TRUE(waitFor([&] { return server_->requestsTo("/audio/").size() >= logged + kReaders; },
                      std::chrono::seconds(60)));
  const long grown = resident() - before;
  EXPECT_LT(grown, kReaders * 64) << "KiB for " << kReaders << " stalled readers";
  for (int fd : readers) close(fd);
}

TEST_F(HostileClient, ParallelDownloadsThatCloseArriveWhole) {
  const auto size = fs::file_size(ServerProcess::demoDir() / "audio/1000024.mp3");
  const std::string request =
      "GET /audio/1000024.mp3 HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  int whole = 0;
  for (int round = 0; round < 4; ++round) {
    std::vector<std::future<std::string>> downloads;
    for (int i = 0; i < 16; ++i)
      downloads.push_back(std::async(
          std::launch::async, [&] { return Exchange(server_->port(), "127.0.0.1", request); }));
    for (auto& d : downloads) {
      const std::string answer = d.get();
      const std::size_t body = answer.find("\r\n\r\n");
      whole += body != std::string::npos && answer.size() - body - 4 == size;
    }
  }
  EXPECT_EQ(whole, 64);
}

}  // namespace
}  // namespace lumora::test
