// Certificates are verified: a server whose certificate nobody vouches for gets no request.
#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "net/HttpClient.h"
#include "support/TempDir.h"

extern char** environ;

namespace lumora {
namespace {

int freePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

bool accepts(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

size_t collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

// What a client that skips verification gets from the same server.
std::string fetchUnverified(const std::string& url) {
  std::string body;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
  CURLcode rc = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  return rc == CURLE_OK ? body : std::string();
}

TEST(HttpTls, ASelfSignedCertificateIsRefused) {
  if (::access("/usr/bin/openssl", X_OK) != 0) GTEST_SKIP() << "openssl is not installed";
  test::TempDir dir;
  std::string key = dir.file("key.pem");
  std::string cert = dir.file("cert.pem");
  std::string make =
      "/usr/bin/openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
      " -keyout '" +
      key + "' -out '" + cert + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(make.c_str()), 0);

  int port = freePort();
  std::string accept = std::to_string(port);
  const char* argv[] = {
      "/usr/bin/openssl", "s_server", "-quiet",    "-www", "-accept", accept.c_str(), "-cert",
      cert.c_str(),       "-key",     key.c_str(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  for (int i = 0; i < 100 && !accepts(port); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }

  std::string url = "https://127.0.0.1:" + accept + "/";
  ASSERT_FALSE(fetchUnverified(url).empty()) << "the TLS server did not come up";
  HttpClient::Outputs out;
  EXPECT_EQ(HttpClient::Request(url, {.timeout = 5}, &out), "");
  EXPECT_EQ(out.status, 0);
  EXPECT_EQ(UrlFetch(url), "");

  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
}

}  // namespace
}  // namespace lumora
