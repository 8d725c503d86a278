#include "http/HttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "base/OpenBeneath.h"

namespace lumora::server {

// Per-request state, made when the request line arrives.
struct HttpServer::Connection {
  std::string target;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  bool seen = false;      // the headers are in and read into req
  bool answered = false;  // the handler ran; res waits for its delay
  bool refused = false;   // answered 400 before the handler
  bool dropped = false;   // its client went away (or the server stops) before its work ran
  HttpRequest req;
  HttpResponse res;
};

namespace {

struct FileBody {
  HttpServer* server = nullptr;
  MHD_Connection* connection = nullptr;
  int fd = -1;
  std::int64_t offset = 0;  // file position of the first body byte
  std::int64_t length = 0;
  BodyFault fault;
  bool stalled = false;
  ~FileBody() {
    if (fd >= 0) close(fd);
  }
};

void FreeFileBody(void* cls) { delete static_cast<FileBody*>(cls); }

void FreeText(void* cls) { delete static_cast<std::string*>(cls); }

MHD_Result CollectHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
  if (key) static_cast<HeaderList*>(cls)->emplace_back(key, value ? value : "");
  return MHD_YES;
}

std::string AddressText(const sockaddr* addr) {
  char text[INET6_ADDRSTRLEN] = "";
  if (!addr) return "";
  if (addr->sa_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(addr)->sin_addr, text, sizeof text);
  else if (addr->sa_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(addr)->sin6_addr, text, sizeof text);
  return text;
}

std::string PeerAddress(MHD_Connection* connection) {
  const MHD_ConnectionInfo* info =
      MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
  return info ? AddressText(info->client_addr) : "";
}

MHD_Result Refuse(MHD_Connection* connection, unsigned status, const std::string& text,
                  const char* contentType = "text/plain") {
  MHD_Response* response = MHD_create_response_from_buffer(
      text.size(), const_cast<char*>(text.data()), MHD_RESPMEM_MUST_COPY);
  MHD_add_response_header(response, "Content-Type", contentType);
  MHD_add_response_header(response, "Connection", "close");
  MHD_Result result = MHD_queue_response(connection, status, response);
  MHD_destroy_response(response);
  return result;
}

// A target as the log shows it: without secrets, and short whatever the query.
std::string LoggedTarget(std::string_view target, const HttpLimits& limits) {
  std::string shown = RedactTarget(target);
  if (shown.size() > limits.loggedTarget) {
    const std::size_t more = shown.size() - limits.loggedTarget;
    shown.resize(limits.loggedTarget);
    shown += "...(" + std::to_string(more) + " more bytes)";
  }
  return shown;
}

// The name a Host header gives: without its port (an IPv6 address keeps its brackets), in lower
// case, without a final dot.
std::string HostName(std::string host) {
  host = host.front() == '[' ? host.substr(0, host.find(']') + 1) : host.substr(0, host.rfind(':'));
  std::transform(host.begin(), host.end(), host.begin(),
                 [](unsigned char ch) { return std::tolower(ch); });
  if (!host.empty() && host.back() == '.') host.pop_back();
  return host;
}

// Says which option would admit the name, so whoever set up the client knows what to change.
// The name is the client's text: only printable ASCII of it is logged, and not much.
std::string RefusedHostLine(const HttpRequest& req) {
  std::string name;
  for (char ch : HostName(req.Header("host")).substr(0, 100))
    name += ch > ' ' && ch < 127 ? ch : '?';
  return req.method + " " + LoggedTarget(req.target, {}) + " 421: Host " + name +
         " is not a name of this server; start it with --name " + name + " to answer to it";
}

}  // namespace

struct Dispatch {
  static ssize_t ReadFileBody(void* cls, std::uint64_t pos, char* buf, std::size_t max) {
    auto* body = static_cast<FileBody*>(cls);
    auto at = static_cast<std::int64_t>(pos);
    if (body->fault.stallAfter >= 0 && !body->stalled && at >= body->fault.stallAfter) {
      body->stalled = true;
      // Held, the connection is out of the loop; this is asked again when it comes back.
      if (body->server->Hold(body->connection, nullptr, body->fault.stallMs)) return 0;
    }
    if (body->fault.cutAfter >= 0 && at >= body->fault.cutAfter)
      return MHD_CONTENT_READER_END_WITH_ERROR;
    std::int64_t want = std::min<std::int64_t>(static_cast<std::int64_t>(max), body->length - at);
    if (body->fault.cutAfter >= 0) want = std::min(want, body->fault.cutAfter - at);
    if (body->fault.stallAfter >= 0 && !body->stalled)
      want = std::min(want, body->fault.stallAfter - at);
    if (want <= 0) return MHD_CONTENT_READER_END_OF_STREAM;
    ssize_t n = pread(body->fd, buf, static_cast<std::size_t>(want), body->offset + at);
    return n <= 0 ? MHD_CONTENT_READER_END_WITH_ERROR : n;
  }

  // A body from a regular file (or the asked range of it); nullptr when there is none to send,
  // with res turned into the matching error.
  static MHD_Response* FileResponse(HttpServer* server, MHD_Connection* connection,
                                    const HttpRequest& req, HttpResponse& res) {
    auto* body = new FileBody;
    body->server = server;
    body->connection = connection;
    body->fault = res.fault;
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    body->fd = res.fileRoot.empty() ? open(res.file.c_str(), kFlags)
                                    : OpenBeneath(res.fileRoot, res.file, kFlags);
    struct stat st {};
    if (body->fd < 0 || fstat(body->fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      delete body;
      res.Json(404, R"({"code":404,"msg":"not found"})");
      return nullptr;
    }
    const std::int64_t size = st.st_size;
    res.headers.emplace_back("Accept-Ranges", "bytes");
    ByteRange range = ParseRange(req.Header("range"), size);
    if (range.kind == ByteRange::kUnsatisfiable) {
      delete body;
      res.status = 416;
      res.contentType = "text/plain";
      res.body = "range not satisfiable";
      res.headers.emplace_back("Content-Range", "bytes */" + std::to_string(size));
      return nullptr;
    }
    if (range.kind == ByteRange::kPart) {
      res.status = 206;
      res.headers.emplace_back("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                                    std::to_string(range.last) + "/" +
                                                    std::to_string(size));
      body->offset = range.first;
      body->length = range.last - range.first + 1;
    } else {
      body->length = size;
    }
    if (body->fault.cutAfter < 0 && body->fault.stallAfter < 0) {
      // The kernel copies the file to the socket: no buffer of ours per reader.
      MHD_Response* response = MHD_create_response_from_fd_at_offset64(
          static_cast<std::uint64_t>(body->length), body->fd,
          static_cast<std::uint64_t>(body->offset));
      if (response) body->fd = -1;  // the answer owns it now
      delete body;
      return response;
    }
    return MHD_create_response_from_callback(static_cast<std::uint64_t>(body->length), 16 * 1024,
                                             ReadFileBody, body, FreeFileBody);
  }

  static void* UriLog(void*, const char* uri, MHD_Connection*) {
    auto* c = new HttpServer::Connection;
    c->target = uri ? uri : "";
    return c;
  }

  static void Completed(void* cls, MHD_Connection* connection, void** conCls,
                        MHD_RequestTerminationCode) {
    delete static_cast<HttpServer::Connection*>(*conCls);
    *conCls = nullptr;
    auto* server = static_cast<HttpServer*>(cls);
    std::lock_guard lock(server->mutex_);
    auto it = server->open_.find(connection);
    if (it != server->open_.end()) {
      it->second.since = HttpServer::Clock::now();
      it->second.headed = false;
    }
  }

  static void Notify(void* cls, MHD_Connection* connection, void**,
                     MHD_ConnectionNotificationCode code) {
    auto* server = static_cast<HttpServer*>(cls);
    std::lock_guard lock(server->mutex_);
    if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
      server->Remove(connection);
      return;
    }
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (!info) return;
    server->Add(connection, {info->connect_fd, HttpServer::Clock::now(), false, false,
                             PeerAddress(connection)});
    if (server->counted_ > server->roomy_ + server->reserve_ / 2) server->Evict(connection);
  }

  // Before a new connection is set up: the crowd filling the table is turned away at once,
  // so its reconnections never queue up ahead of a newcomer's.
  static MHD_Result Admit(void* cls, const sockaddr* addr, socklen_t) {
    auto* server = static_cast<HttpServer*>(cls);
    const std::string peer = AddressText(addr);
    std::lock_guard lock(server->mutex_);
    return server->Admits(peer) ? MHD_YES : MHD_NO;
  }

  static MHD_Result Access(void* cls, MHD_Connection* connection, const char*, const char* method,
                           const char*, const char*, std::size_t* uploadSize, void** conCls) {
    auto* server = static_cast<HttpServer*>(cls);
    auto* c = static_cast<HttpServer::Connection*>(*conCls);
    if (!c) return MHD_NO;
    if (!c->seen) {
      c->seen = true;
      {
        std::lock_guard lock(server->mutex_);
        auto it = server->open_.find(connection);
        if (it != server->open_.end()) it->second.headed = true;
      }
      HeaderList headers;
      MHD_get_connection_values(connection, MHD_HEADER_KIND, CollectHeader, &headers);
      std::string refused;
      if (!ReadRequest(method ? method : "", std::move(c->target), headers, &c->req, &refused)) {
        c->answered = c->refused = true;
        return Refuse(connection, 400, refused);
      }
      if (!server->OurName(c->req.Header("host"))) {
        c->answered = c->refused = true;
        if (server->logger_) server->logger_(RefusedHostLine(c->req));
        return Refuse(connection, 421, R"({"code":421,"msg":"unknown host"})",
                      "application/json; charset=utf-8");
      }
      c->req.peer = PeerAddress(connection);
      return MHD_YES;
    }
    if (*uploadSize != 0 || c->refused) {  // bodies are not used; drop them
      *uploadSize = 0;
      return MHD_YES;
    }
    if (!c->answered) {
      c->answered = true;
      server->handler_(c->req, c->res);
      // Asked again once the connection comes back.
      if (c->res.delayMs > 0 || c->res.work) {
        if (server->Hold(connection, c, c->res.delayMs)) return MHD_YES;
        if (c->res.work) return MHD_NO;  // stopping: the work is not begun
      }
    }
    if (c->dropped) return MHD_NO;
    return Send(server, connection, *c);
  }

  static MHD_Result Send(HttpServer* server, MHD_Connection* connection,
                         HttpServer::Connection& c) {
    HttpResponse& res = c.res;
    MHD_Response* response = nullptr;
    if (!res.file.empty()) response = FileResponse(server, connection, c.req, res);
    if (!response) {
      // The answer's text is handed over as it is, not copied.
      auto* text = new std::string(std::move(res.body));
      response = MHD_create_response_from_buffer_with_free_callback_cls(text->size(), text->data(),
                                                                        FreeText, text);
    }
    MHD_add_response_header(response, "Content-Type", res.contentType.c_str());
    for (const auto& [name, value] : res.headers)
      MHD_add_response_header(response, name.c_str(), value.c_str());
    MHD_Result result = MHD_queue_response(connection, static_cast<unsigned>(res.status), response);
    MHD_destroy_response(response);

    if (server->logger_) {
      auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - c.start)
                    .count();
      server->logger_(c.req.method + " " + LoggedTarget(c.req.target, server->limits_) + " " +
                      std::to_string(res.status) + " " + std::to_string(ms) + "ms");
    }
    return result;
  }
};

bool ParseListenAddress(const std::string& host, ListenAddress* out) {
  in_addr addr{};
  if (inet_pton(AF_INET, host.c_str(), &addr) != 1) return false;
  out->ip = ntohl(addr.s_addr);
  out->loopback = (out->ip >> 24) == 127;
  return true;
}

std::string TakenMessage(const std::string& host, int port) {
  return host + ":" + std::to_string(port) +
         " is taken: another server listens there (stop it, or give another --port)";
}

bool ListenAddressTaken(const ListenAddress& listen, int port) {
  if (port == 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(listen.ip);
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  const bool taken =
      bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 && errno == EADDRINUSE;
  close(fd);
  return taken;
}

HttpServer::HttpServer(Handler handler, Logger logger, HttpLimits limits)
    : handler_(std::move(handler)), logger_(std::move(logger)), limits_(limits) {}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::Start(const std::string& host, int port, std::string* error,
                       std::vector<std::string> names) {
  ListenAddress listen;
  if (!ParseListenAddress(host, &listen)) {
    if (error) *error = "not an IPv4 address: " + host;
    return false;
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(listen.ip);

  // Each connection may hold its socket and a file; the rest of the descriptors stay for the
  // database and the log, so accept() never meets the limit and never spins on it.
  unsigned connections = static_cast<unsigned>(limits_.connections);
  if (connections == 0) {
    rlimit nofile{};
    getrlimit(RLIMIT_NOFILE, &nofile);
    rlim_t spare = nofile.rlim_cur > 128 ? (nofile.rlim_cur - 64) / 2 : 16;
    connections = static_cast<unsigned>(std::min<rlim_t>(spare, 10000));
  }
  unsigned threads =
      limits_.threads ? limits_.threads : std::max(4u, std::thread::hardware_concurrency());
  const unsigned reserve =
      limits_.reserve > 0 ? static_cast<unsigned>(limits_.reserve) : std::max(4u, connections / 10);
  roomy_ = connections > reserve ? connections - reserve : 1;
  reserve_ = reserve;
  listenHost_ = host;
  names_ = std::move(names);
  for (std::string& name : names_)
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char ch) { return std::tolower(ch); });
  stopping_ = false;
  daemon_ = MHD_start_daemon(
      MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME, 0,
      &Dispatch::Admit, this, &Dispatch::Access, this, MHD_OPTION_SOCK_ADDR, &addr,
      MHD_OPTION_THREAD_POOL_SIZE, threads, MHD_OPTION_CONNECTION_LIMIT, connections,
      MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<unsigned>(limits_.perAddress),
      MHD_OPTION_URI_LOG_CALLBACK, &Dispatch::UriLog, this, MHD_OPTION_NOTIFY_COMPLETED,
      &Dispatch::Completed, this, MHD_OPTION_NOTIFY_CONNECTION, &Dispatch::Notify, this,
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionBytes, MHD_OPTION_CONNECTION_TIMEOUT,
      static_cast<unsigned>(limits_.idleSeconds), MHD_OPTION_END);
  if (!daemon_) {
    if (error)
      *error = ListenAddressTaken(listen, port)
                   ? TakenMessage(host, port)
                   : "cannot listen on " + host + ":" + std::to_string(port);
    return false;
  }
  const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
  port_ = info ? info->port : port;
  watcher_ = std::thread([this] { Watch(); });
  worker_ = std::thread([this] { Work(); });
  return true;
}

void HttpServer::Stop() {
  if (!daemon_) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  workWake_.notify_all();
  // They resume every held connection: none may stay held at the stop.
  watcher_.join();
  worker_.join();
  MHD_stop_daemon(daemon_);
  daemon_ = nullptr;
}

bool HttpServer::Hold(MHD_Connection* connection, Connection* request, int ms) {
  std::lock_guard lock(mutex_);
  if (stopping_) return false;
  MHD_suspend_connection(connection);
  if (request && !request->res.work) request = nullptr;
  held_.emplace(Clock::now() + std::chrono::milliseconds(ms), Held{connection, request});
  wake_.notify_all();
  return true;
}

void HttpServer::Watch() {
  std::unique_lock lock(mutex_);
  const auto headerTime = std::chrono::seconds(limits_.headerSeconds);
  while (!stopping_) {
    const auto now = Clock::now();
    while (!held_.empty() && held_.begin()->first <= now) {
      const Held due = held_.begin()->second;
      held_.erase(held_.begin());
      if (due.request) {
        work_.push_back(due);
        workWake_.notify_one();
      } else {
        MHD_resume_connection(due.connection);
      }
    }
    // A client that trickles its headers keeps the idle time-out from running out; this
    // deadline counts from the request's start. Shut down, the socket wakes its thread, which
    // closes it (the entry goes before the descriptor is closed, under this lock).
    for (auto& [connection, open] : open_)
      if (!open.headed && !open.leaving && now - open.since >= headerTime) Cut(open);
    auto next = now + std::chrono::seconds(1);
    if (!held_.empty()) next = std::min(next, held_.begin()->first);
    wake_.wait_until(lock, next);
  }
  for (const auto& [when, due] : held_) {
    if (due.request) due.request->dropped = true;
    MHD_resume_connection(due.connection);
  }
  held_.clear();
}

void HttpServer::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    workWake_.wait(lock, [this] { return stopping_ || !work_.empty(); });
    if (work_.empty()) return;
    const Held job = work_.front();
    work_.pop_front();
    const bool stopping = stopping_;
    lock.unlock();
    HttpResponse& res = job.request->res;
    if (stopping || PeerGone(job.connection)) {
      job.request->dropped = true;
    } else {
      res.work(res);
      if (PeerGone(job.connection)) {
        if (res.undelivered) res.undelivered();
        job.request->dropped = true;
      }
    }
    res.work = nullptr;
    MHD_resume_connection(job.connection);
    lock.lock();
  }
}

bool HttpServer::PeerGone(MHD_Connection* connection) {
  std::lock_guard lock(mutex_);
  auto it = open_.find(connection);
  if (it == open_.end()) return true;
  char byte;
  return recv(it->second.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

bool HttpServer::Admits(const std::string& peer) {
  if (counted_ < roomy_) return true;
  auto it = byPeer_.find(peer);
  const std::size_t held = it == byPeer_.end() ? 0 : static_cast<std::size_t>(it->second);
  return held * 2 * byPeer_.size() < counted_;
}

void HttpServer::Evict(MHD_Connection* newcomer) {
  // Down to where the reserve begins, so the scan is rare.
  std::vector<std::pair<int, Open*>> waiting;  // (connections of its address, entry)
  for (auto& [connection, open] : open_)
    if (!open.headed && !open.leaving && connection != newcomer)
      waiting.emplace_back(byPeer_[open.peer], &open);
  const std::size_t room = std::min(waiting.size(), counted_ - roomy_);
  std::partial_sort(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(room),
                    waiting.end(), [](const auto& a, const auto& b) {
                      return a.first != b.first ? a.first > b.first
                                                : a.second->since < b.second->since;
                    });
  for (std::size_t i = 0; i < room; ++i) Cut(*waiting[i].second);
}

void HttpServer::Add(MHD_Connection* connection, Open open) {
  ++byPeer_[open.peer];
  ++counted_;
  open_[connection] = std::move(open);
}

void HttpServer::Remove(MHD_Connection* connection) {
  auto it = open_.find(connection);
  if (it == open_.end()) return;
  Uncount(it->second);
  open_.erase(it);
}

void HttpServer::Cut(Open& open) {
  shutdown(open.fd, SHUT_RDWR);
  Uncount(open);
}

void HttpServer::Uncount(Open& open) {
  if (open.leaving) return;
  open.leaving = true;
  auto it = byPeer_.find(open.peer);
  if (--it->second == 0) byPeer_.erase(it);
  --counted_;
}

bool HttpServer::OurName(const std::string& hostHeader) const {
  if (hostHeader.empty()) return true;  // HTTP/1.0; browsers always send one
  const std::string name = HostName(hostHeader);
  if (name == listenHost_ || name == "localhost") return true;
  if (std::find(names_.begin(), names_.end(), name) != names_.end()) return true;
  // Listening on every address, any of this machine's addresses may be asked for; an
  // address is never a name a page could have pointed here.
  ListenAddress address;
  return listenHost_ == "0.0.0.0" && ParseListenAddress(name, &address);
}

}  // namespace lumora::server
