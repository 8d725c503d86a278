#pragma once
// A loopback HTTP/1.x server for tests: it records the raw bytes of every request it receives
// and sends whatever the test's handler tells it, including answers no real server would give
// (stalls, dropped connections, trickled bodies). One thread, poll-driven, bounded: at most
// kMaxConnections open at once and kMaxRequestBytes per request.
#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lumora::test {

class RecordingServer {
 public:
  struct Request {
    std::string raw{};     // every byte received for this request, head and body
    std::string method{};  // from the request line
    std::string target{};  // from the request line, e.g. "/path?x=1"
    std::string body{};
    int connection = 0;  // 1-based number of the connection it arrived on
  };

  struct Answer {
    std::string bytes{};                        // the raw answer: status line, headers, body
    int delayMs = 0;                            // wait this long before the first byte
    bool neverAnswer = false;                   // hold the connection open and send nothing
    std::size_t dropAfter = std::string::npos;  // close after this many bytes
    std::size_t chunkBytes = 0;                 // when non-zero, send in pieces of this size ...
    int chunkPauseMs = 0;                       // ... with this pause between them
    bool keepOpen = false;                      // leave the connection open for another request
  };

  using Handler = std::function<Answer(const Request&)>;

  static constexpr std::size_t kMaxConnections = 32;
  static constexpr std::size_t kMaxRequestBytes = std::size_t{64} << 20;

  // Listens on a free port of 127.0.0.1. The default handler answers "200 OK" with body "ok".
  RecordingServer();
  explicit RecordingServer(Handler handler);
  ~RecordingServer();
  RecordingServer(const RecordingServer&) = delete;
  RecordingServer& operator=(const RecordingServer&) = delete;

  void setHandler(Handler handler);
  int port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by the path.
  std::string url(const std::string& path = "/") const;
  std::vector<Request> requests() const;
  int connectionCount() const { return connections_.load(); }

  // A complete answer with the status, the header lines (each without CR LF) and the body; a
  // Content-Length line is added unless `headers` has one already.
  static std::string response(int status, const std::vector<std::string>& headers,
                              const std::string& body);
  static Answer ok(const std::string& body, const std::vector<std::string>& headers = {});

 private:
  struct Connection;
  void run();
  bool serve(Connection& connection);  // false when the connection should close
  void send(int fd, const Answer& answer);
  bool sleepUnlessStopping(int ms);

  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  Handler handler_;
  std::vector<Request> requests_;
  std::thread thread_;
};

// The header lines of a raw request (everything between the request line and the blank line).
std::vector<std::string> requestHeaderLines(const std::string& raw);

}  // namespace lumora::test
