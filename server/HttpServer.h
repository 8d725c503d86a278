#pragma once
// A small HTTP/1.1 server over libmicrohttpd: one thread per connection (so a handler may
// sleep for an injected delay), raw request targets, file bodies with byte ranges, and a
// hook that can stall or cut a file body part-way.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct MHD_Daemon;

namespace lumora::server {

struct HttpRequest {
  std::string method;
  std::string target;  // as sent: path and query, not decoded
  std::string path;    // decoded path
  std::string query;   // raw query (after "?")
  std::map<std::string, std::string> params;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string Param(const std::string& name) const;
  bool Has(const std::string& name) const { return params.count(name) != 0; }
  std::string Header(const std::string& lowerName) const;
};

// How a file body misbehaves; negative = never.
struct BodyFault {
  std::int64_t cutAfter = -1;    // close the connection after this many body bytes
  std::int64_t stallAfter = -1;  // stop sending after this many bytes ...
  int stallMs = 0;               // ... for this long
};

struct HttpResponse {
  int status = 200;
  std::string contentType = "application/json; charset=utf-8";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  // When set, the body is this file (or the requested range of it) instead of `body`.
  std::string file;
  BodyFault fault;

  void Json(int code, std::string text) {
    status = code;
    contentType = "application/json; charset=utf-8";
    body = std::move(text);
  }
};

class HttpServer {
 public:
  using Handler = std::function<void(const HttpRequest&, HttpResponse&)>;
  using Logger = std::function<void(const std::string& line)>;

  HttpServer(Handler handler, Logger logger);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds host:port (port 0 = any free port) and starts serving.
  bool Start(const std::string& host, int port, std::string* error);
  void Stop();
  int Port() const { return port_; }

  // Waits up to ms, returning early when the server stops; handlers use it for delays.
  void Sleep(int ms);

  struct Connection;

 private:
  friend struct Dispatch;
  Handler handler_;
  Logger logger_;
  MHD_Daemon* daemon_ = nullptr;
  int port_ = 0;
  std::mutex sleepMutex_;
  std::condition_variable sleepCv_;
  std::atomic<bool> stopping_{false};
};

}  // namespace lumora::server
