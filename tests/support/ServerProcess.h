#pragma once
// Starts the real lumora-server on a free loopback port for a test, over the test catalogue
// shared by the whole test run (made once, under a lock, in <build>/test-data/demo), with a
// data folder of its own unless one is given. Reads the server's request log and drives its
// fault controls (the server runs with --test-controls).
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lumora::test {

// The test catalogue's one members-only song.
inline constexpr const char* kMembersOnlySongId = "1000004";

class ServerProcess {
 public:
  struct Options {
    // Accounts, sessions and likes; empty = a fresh folder removed with this object. Give the
    // same folder to a second server to see what the first one stored.
    std::filesystem::path dataDir;
    // Serve this folder of MP3 files instead of the test catalogue.
    std::filesystem::path library;
    std::vector<std::string> extraArgs;
    // 0 picks a free one; a port given again lets a test restart a server where it was.
    int port = 0;
    // Runs in the server's process just before the program starts there: a test takes its
    // user or its limits there.
    std::function<void()> beforeStart = nullptr;
    // start() waits for the library's first scan (or its "missing" line), not only the port.
    bool awaitLibrary = true;
  };

  ServerProcess();
  explicit ServerProcess(Options options);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // Starts the server and waits until it listens (up to two minutes: the first start of a
  // test run makes the demo catalogue), and a library until its first scan is served. false when it did not come up; see output().
  bool start();
  // SIGTERM, then waits for the process; returns its exit status (-1 if it was not running).
  int stop();
  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  int port() const { return port_; }
  // "http://127.0.0.1:<port>"
  std::string baseUrl() const;
  const std::filesystem::path& dataDir() const { return dataDir_; }

  // Everything the server printed to stdout so far, and its request lines
  // ("GET /song/url?id=1&br=320000 200 3ms"), oldest first.
  std::string output() const;
  // What it printed to stderr (start-up failures, sanitizer reports).
  std::string errors() const;
  std::vector<std::string> requestLog() const;
  // Request lines whose target starts with prefix ("/song/url").
  std::vector<std::string> requestsTo(const std::string& prefix) const;
  // Songs whose address was asked for, but the members-only song: logged out, it has none, and
  // playback passes it over a second after starting it, which is a start of its own.
  std::size_t playableSongStarts() const;

  // Fault controls. path is exact ("/song/url") or a prefix ending in "*" ("/audio/*");
  // times limits a fault to the next N matching requests (-1 = until cleared).
  bool addDelay(const std::string& path, int ms, int times = -1);
  bool failWith(const std::string& path, int status, int times = -1);
  // Answers with this UTF-8 text (text/plain, status 200 unless given), e.g. something not JSON.
  bool answerWith(const std::string& path, const std::string& body, int status = 0, int times = -1);
  // Audio downloads: close the connection after bytes, or pause for ms after bytes.
  bool cutAfter(const std::string& path, long bytes, int times = -1);
  bool stallAfter(const std::string& path, long bytes, int ms, int times = -1);
  bool clearFaults();

  // The shared test catalogue folder of this test run.
  static std::filesystem::path demoDir();
  // The lumora-server executable (LUMORA_SERVER, or the one this build made).
  static std::filesystem::path executable();

  // A plain GET or POST to the server; status and body, nullopt when no answer came.
  struct Reply {
    int status = 0;
    std::string body;
  };
  std::optional<Reply> get(const std::string& target) const;
  std::optional<Reply> post(const std::string& target) const;

 private:
  bool control(const std::string& query);

  Options options_;
  std::filesystem::path dataDir_;
  bool ownsDataDir_ = false;
  std::filesystem::path logFile_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace lumora::test
