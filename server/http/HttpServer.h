#pragma once
// A small HTTP/1.1 server over libmicrohttpd: a fixed pool of threads over epoll, limits on
// connections in all and per address, a deadline for a request's headers, raw request
// targets, file bodies with byte ranges, and answers held back for a while without holding a
// thread (injected delays, stalled bodies, slowed logins).
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "http/HttpRequest.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace lumora::server {

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
  // When set, the body is this file (or the requested range of it) instead of `body`. Only
  // a regular file is sent, and a symbolic link in its last step is not followed.
  std::string file;
  // When set, file lies in this folder and is opened beneath it, through no link at all.
  std::string fileRoot;
  BodyFault fault;
  int delayMs = 0;  // the answer goes out this much later
  // Slow work (a password's hash) that fills in the answer once delayMs is over, run on the
  // server's worker thread, never on a request thread; skipped when the client has gone.
  std::function<void(HttpResponse&)> work;
  // Called when the client went away while work ran: what work made for it is taken back.
  std::function<void()> undelivered;

  void Json(int code, std::string text) {
    status = code;
    contentType = "application/json; charset=utf-8";
    body = std::move(text);
  }
};

// An IPv4 listening address: 127.0.0.0/8 is loopback, anything else reaches the network.
struct ListenAddress {
  std::uint32_t ip = 0;  // host order
  bool loopback = false;
};
// nullopt-like false for anything but a dotted IPv4 address.
bool ParseListenAddress(const std::string& host, ListenAddress* out);
// Whether a socket listens on the address and port already (never for port 0): the server takes
// its port alone, so two servers never split one port's requests between their libraries.
bool ListenAddressTaken(const ListenAddress& listen, int port);
// What the server says when it is.
std::string TakenMessage(const std::string& host, int port);

struct HttpLimits {
  int connections = 0;   // in all; 0: from the descriptor limit
  int perAddress = 128;  // from one client address
  // Kept free for newcomers: past connections - reserve, only an address holding less than
  // half the average share gets in, and once half the reserve is taken the longest-waiting
  // connections without a request under way go, from the addresses holding the most.
  int reserve = 0;         // 0: a tenth of connections, at least 4
  int headerSeconds = 10;  // from a request's start to the end of its headers
  int idleSeconds = 60;    // without any traffic
  unsigned threads = 0;    // 0: the cores, at least 4
  // Of a request's target, the log keeps this many bytes and how many more there were.
  std::size_t loggedTarget = 200;
};

class HttpServer {
 public:
  using Handler = std::function<void(const HttpRequest&, HttpResponse&)>;
  using Logger = std::function<void(const std::string& line)>;

  HttpServer(Handler handler, Logger logger, HttpLimits limits = {});
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds host:port (port 0 = any free port) and starts serving. A request whose Host names
  // anything but host, "localhost" or one of names is refused (421): a page whose name
  // was pointed at this machine's address reaches nothing.
  bool Start(const std::string& host, int port, std::string* error,
             std::vector<std::string> names = {});
  void Stop();
  int Port() const { return port_; }

  struct Connection;

 private:
  friend struct Dispatch;
  // Suspends a connection for ms, then hands its request's work (when it has some) to the
  // worker; false when stopping (then it goes on at once).
  bool Hold(MHD_Connection* connection, Connection* request, int ms);
  // Resumes held connections when due and cuts those whose headers are late.
  void Watch();
  // Runs the work of held requests, one at a time.
  void Work();
  bool PeerGone(MHD_Connection* connection);  // the client closed its end
  // Whether a new connection from peer may take a place (under mutex_).
  bool Admits(const std::string& peer);
  // Gives the reserve back when half of it is taken (under mutex_): closes connections without
  // a request under way, first from the addresses holding most, the longest-waiting first.
  void Evict(MHD_Connection* newcomer);
  bool OurName(const std::string& hostHeader) const;

  using Clock = std::chrono::steady_clock;
  struct Open {
    int fd = -1;
    Clock::time_point since;  // the start of its current request
    bool headed = false;      // that request's headers have arrived
    bool leaving = false;     // shut down by us, no longer counted
    std::string peer;
  };
  // The table's book-keeping, under mutex_.
  void Add(MHD_Connection* connection, Open open);
  void Remove(MHD_Connection* connection);
  void Cut(Open& open);      // shuts it down: its thread wakes and closes it
  void Uncount(Open& open);  // it no longer holds a place
  struct Held {
    MHD_Connection* connection;
    Connection* request;  // nullptr: nothing to run, only resume
  };

  Handler handler_;
  Logger logger_;
  HttpLimits limits_;
  MHD_Daemon* daemon_ = nullptr;
  int port_ = 0;
  std::vector<std::string> names_;  // what Host may name besides the listening address
  std::string listenHost_;
  std::size_t roomy_ = 0;  // connections beyond which the reserve begins
  std::size_t reserve_ = 0;
  std::mutex mutex_;  // guards what follows
  std::condition_variable wake_, workWake_;
  bool stopping_ = false;
  std::multimap<Clock::time_point, Held> held_;
  std::deque<Held> work_;
  std::unordered_map<MHD_Connection*, Open> open_;
  std::unordered_map<std::string, int> byPeer_;  // the connections counted, per address
  std::size_t counted_ = 0;                      // those of open_ not leaving
  std::thread watcher_, worker_;
};

}  // namespace lumora::server
