// What careless and hostile clients meet: refused requests, bounded work, connection limits,
// a library that is a jail, and an address checked before anything is made.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>

#include "HttpServer.h"
#include "ServerTestUtil.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace lumora::test {
namespace {

// A TCP connection to the server from a loopback address of our choice; -1 on failure.
int Connect(int port, const char* from) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{}, remote{};
  local.sin_family = remote.sin_family = AF_INET;
  inet_pton(AF_INET, from, &local.sin_addr);
  inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
  remote.sin_port = htons(static_cast<std::uint16_t>(port));
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// How many of fds the server closes (end of stream or reset) within ms in all.
int ClosedWithin(const std::vector<int>& fds, int ms) {
  std::vector<pollfd> open;
  for (int fd : fds) open.push_back({fd, POLLIN, 0});
  int closed = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (auto now = std::chrono::steady_clock::now(); now < end && !open.empty();
       now = std::chrono::steady_clock::now()) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
    if (poll(open.data(), open.size(), static_cast<int>(left)) <= 0) break;
    std::erase_if(open, [&](const pollfd& p) {
      char buf[4096];
      bool gone = p.revents != 0 && recv(p.fd, buf, sizeof buf, MSG_DONTWAIT) <= 0;
      closed += gone;
      return gone;
    });
  }
  return closed;
}

// Sends request as it is and reads the answer's status line.
std::string StatusLine(int port, const std::string& request) {
  int fd = Connect(port, "127.0.0.1");
  if (fd < 0) return "no connection";
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string answer;
  char buf[4096];
  pollfd p{fd, POLLIN, 0};
  while (answer.find("\r\n") == std::string::npos && poll(&p, 1, 10000) > 0) {
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    answer.append(buf, static_cast<std::size_t>(n));
  }
  close(fd);
  return answer.substr(0, answer.find("\r\n"));
}

using HostileClient = ServerTest;

TEST_F(HostileClient, RefusesAmbiguousAndOversizedRequests) {
  std::string ids;
  for (int i = 0; i < 5001; ++i) ids += (i ? ",100000" : "100000") + std::to_string(1 + i % 3);
  struct Case {
    std::string target;
    int status;
    const char* msg;
  } cases[] = {
      {"/song/detail?ids=" + ids, 400, "参数过多: ids"},
      {"/song/url?id=" + ids + "&br=320000", 400, "参数过多: id"},
      {"/search?type=1&keywords=" + std::string(200 * 1024, 'a'), 414, "请求过长"},
      {"/song/detail?ids=" + ids.substr(0, ids.rfind(',')), 200, nullptr},  // 5 000 ids
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Get(c.target), c.status) << c.target.substr(0, 40);
    EXPECT_EQ(Code(), c.status);
    if (c.msg) {
      EXPECT_EQ(doc_["msg"].get_string().value(), c.msg);
    }
  }
  EXPECT_EQ(doc_["songs"].get_array().value().size(), 5000u);

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
  ServerProcess demo;  // makes sure the shared demo files exist
  ASSERT_TRUE(demo.start()) << demo.errors();
  demo.stop();
  TempDir outside, lib;
  const fs::path song = ServerProcess::demoDir() / "audio/1000001.mp3";
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
  // own.mp3 and again.mp3: one album, one folder.
  EXPECT_NE(top->body.find("\"total\":2"), std::string::npos) << top->body;
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

}  // namespace
}  // namespace lumora::test
