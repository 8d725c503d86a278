#include "HttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "Text.h"

namespace lumora::server {

std::string HttpRequest::Param(const std::string& name) const {
  auto it = params.find(name);
  return it == params.end() ? std::string() : it->second;
}

std::string HttpRequest::Header(const std::string& lowerName) const {
  auto it = headers.find(lowerName);
  return it == headers.end() ? std::string() : it->second;
}

// Per-request state, made when the request line arrives.
struct HttpServer::Connection {
  std::string target;
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  bool seen = false;
};

namespace {

struct FileBody {
  HttpServer* server = nullptr;
  int fd = -1;
  std::int64_t offset = 0;  // file position of the first body byte
  std::int64_t length = 0;
  std::int64_t sent = 0;
  BodyFault fault;
  bool stalled = false;
  ~FileBody() {
    if (fd >= 0) close(fd);
  }
};

ssize_t ReadFileBody(void* cls, std::uint64_t pos, char* buf, std::size_t max) {
  auto* body = static_cast<FileBody*>(cls);
  auto at = static_cast<std::int64_t>(pos);
  if (body->fault.stallAfter >= 0 && !body->stalled && at >= body->fault.stallAfter) {
    body->stalled = true;
    body->server->Sleep(body->fault.stallMs);
  }
  if (body->fault.cutAfter >= 0 && at >= body->fault.cutAfter)
    return MHD_CONTENT_READER_END_WITH_ERROR;
  std::int64_t want = std::min<std::int64_t>(static_cast<std::int64_t>(max), body->length - at);
  if (body->fault.cutAfter >= 0) want = std::min(want, body->fault.cutAfter - at);
  if (body->fault.stallAfter >= 0 && !body->stalled)
    want = std::min(want, body->fault.stallAfter - at);
  if (want <= 0) return MHD_CONTENT_READER_END_OF_STREAM;
  ssize_t n = pread(body->fd, buf, static_cast<std::size_t>(want), body->offset + at);
  if (n <= 0) return MHD_CONTENT_READER_END_WITH_ERROR;
  body->sent = at + n;
  return n;
}

void FreeFileBody(void* cls) { delete static_cast<FileBody*>(cls); }

MHD_Result CollectHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
  auto* headers = static_cast<std::map<std::string, std::string>*>(cls);
  if (key) headers->emplace(ToLowerAscii(key), value ? value : "");
  return MHD_YES;
}

// "bytes=a-b", "bytes=a-", "bytes=-n" over a body of size bytes. false when unsatisfiable.
bool ParseRange(const std::string& header, std::int64_t size, std::int64_t* first,
                std::int64_t* last) {
  if (header.rfind("bytes=", 0) != 0 || header.find(',') != std::string::npos) return false;
  std::string range = header.substr(6);
  std::size_t dash = range.find('-');
  if (dash == std::string::npos) return false;
  auto a = ParseId(range.substr(0, dash));
  auto b = ParseId(range.substr(dash + 1));
  if (!a && !b) return false;
  if (!a) {  // suffix
    if (*b == 0 || size == 0) return false;
    std::int64_t n = std::min<std::int64_t>(static_cast<std::int64_t>(*b), size);
    *first = size - n;
    *last = size - 1;
    return true;
  }
  if (static_cast<std::int64_t>(*a) >= size) return false;
  *first = static_cast<std::int64_t>(*a);
  *last = b ? std::min<std::int64_t>(static_cast<std::int64_t>(*b), size - 1) : size - 1;
  return *first <= *last;
}

}  // namespace

struct Dispatch {
  static void* UriLog(void*, const char* uri, MHD_Connection*) {
    auto* c = new HttpServer::Connection;
    c->target = uri ? uri : "";
    return c;
  }

  static void Completed(void*, MHD_Connection*, void** conCls, MHD_RequestTerminationCode) {
    delete static_cast<HttpServer::Connection*>(*conCls);
    *conCls = nullptr;
  }

  static MHD_Result Access(void* cls, MHD_Connection* connection, const char*, const char* method,
                           const char*, const char*, std::size_t* uploadSize, void** conCls) {
    auto* server = static_cast<HttpServer*>(cls);
    auto* c = static_cast<HttpServer::Connection*>(*conCls);
    if (!c) return MHD_NO;
    if (!c->seen) {
      c->seen = true;
      return MHD_YES;
    }
    if (*uploadSize != 0) {  // bodies are not used; drop them
      *uploadSize = 0;
      return MHD_YES;
    }

    HttpRequest req;
    req.method = method ? method : "";
    req.target = c->target;
    std::size_t q = req.target.find('?');
    req.path = PercentDecode(req.target.substr(0, q));
    if (q != std::string::npos) req.query = req.target.substr(q + 1);
    req.params = ParseQuery(req.query);
    MHD_get_connection_values(connection, MHD_HEADER_KIND, CollectHeader, &req.headers);

    HttpResponse res;
    server->handler_(req, res);

    MHD_Response* response = nullptr;
    if (!res.file.empty()) {
      auto* body = new FileBody;
      body->server = server;
      body->fault = res.fault;
      body->fd = open(res.file.c_str(), O_RDONLY | O_CLOEXEC);
      struct stat st {};
      if (body->fd < 0 || fstat(body->fd, &st) != 0) {
        delete body;
        res.file.clear();
        res.Json(404, R"({"code":404,"msg":"not found"})");
      } else {
        std::int64_t size = st.st_size, first = 0, last = size - 1;
        std::string range = req.Header("range");
        res.headers.emplace_back("Accept-Ranges", "bytes");
        if (!range.empty()) {
          if (ParseRange(range, size, &first, &last)) {
            res.status = 206;
            res.headers.emplace_back("Content-Range", "bytes " + std::to_string(first) + "-" +
                                                          std::to_string(last) + "/" +
                                                          std::to_string(size));
          } else {
            delete body;
            res.file.clear();
            res.status = 416;
            res.contentType = "text/plain";
            res.body = "range not satisfiable";
            res.headers.emplace_back("Content-Range", "bytes */" + std::to_string(size));
          }
        }
        if (!res.file.empty()) {
          body->offset = first;
          body->length = size == 0 ? 0 : last - first + 1;
          response = MHD_create_response_from_callback(static_cast<std::uint64_t>(body->length),
                                                       64 * 1024, ReadFileBody, body, FreeFileBody);
        }
      }
    }
    if (!response)
      response =
          MHD_create_response_from_buffer(res.body.size(), res.body.data(), MHD_RESPMEM_MUST_COPY);
    MHD_add_response_header(response, "Content-Type", res.contentType.c_str());
    for (const auto& [name, value] : res.headers)
      MHD_add_response_header(response, name.c_str(), value.c_str());
    MHD_Result result = MHD_queue_response(connection, static_cast<unsigned>(res.status), response);
    MHD_destroy_response(response);

    if (server->logger_) {
      auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - c->start)
                    .count();
      server->logger_(req.method + " " + req.target + " " + std::to_string(res.status) + " " +
                      std::to_string(ms) + "ms");
    }
    return result;
  }
};

HttpServer::HttpServer(Handler handler, Logger logger)
    : handler_(std::move(handler)), logger_(std::move(logger)) {}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::Start(const std::string& host, int port, std::string* error) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) {
    if (error) *error = "not an IPv4 address: " + host;
    return false;
  }
  daemon_ = MHD_start_daemon(
      MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION | MHD_USE_POLL | MHD_USE_ITC,
      0, nullptr, nullptr, &Dispatch::Access, this, MHD_OPTION_SOCK_ADDR, &addr,
      MHD_OPTION_URI_LOG_CALLBACK, &Dispatch::UriLog, this, MHD_OPTION_NOTIFY_COMPLETED,
      &Dispatch::Completed, this,
      // Long enough for the details of a few thousand tracks in one query.
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, static_cast<std::size_t>(1024 * 1024),
      MHD_OPTION_CONNECTION_TIMEOUT, 60u, MHD_OPTION_LISTENING_ADDRESS_REUSE, 1u, MHD_OPTION_END);
  if (!daemon_) {
    if (error) *error = "cannot listen on " + host + ":" + std::to_string(port);
    return false;
  }
  const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
  port_ = info ? info->port : port;
  return true;
}

void HttpServer::Stop() {
  if (!daemon_) return;
  {
    std::lock_guard lock(sleepMutex_);
    stopping_ = true;
  }
  sleepCv_.notify_all();
  MHD_stop_daemon(daemon_);
  daemon_ = nullptr;
}

void HttpServer::Sleep(int ms) {
  if (ms <= 0) return;
  std::unique_lock lock(sleepMutex_);
  sleepCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_.load(); });
}

}  // namespace lumora::server
