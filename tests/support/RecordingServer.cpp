#include "support/RecordingServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string_view>

namespace lumora::test {

namespace {

constexpr int kPollMs = 20;

std::size_t contentLength(std::string_view head) {
  std::string lower(head);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  std::size_t at = lower.find("\r\ncontent-length:");
  if (at == std::string::npos) return 0;
  return std::strtoull(lower.c_str() + at + 17, nullptr, 10);
}

}  // namespace

struct RecordingServer::Connection {
  int fd = -1;
  int number = 0;
  std::string buffer;
  bool holding = false;  // answered with neverAnswer: read and drop until the peer leaves
};

RecordingServer::RecordingServer() : RecordingServer([](const Request&) { return ok("ok"); }) {}

RecordingServer::RecordingServer(Handler handler) : handler_(std::move(handler)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error("socket");
  int yes = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, 16) != 0) {
    ::close(listenFd_);
    throw std::runtime_error("bind/listen");
  }
  socklen_t length = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { run(); });
}

RecordingServer::~RecordingServer() {
  stopping_ = true;
  thread_.join();
  ::close(listenFd_);
}

void RecordingServer::setHandler(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

std::string RecordingServer::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<RecordingServer::Request> RecordingServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::string RecordingServer::response(int status, const std::vector<std::string>& headers,
                                      const std::string& body) {
  std::string out = "HTTP/1.1 " + std::to_string(status) + " Status\r\n";
  bool hasLength = false;
  for (const std::string& line : headers) {
    out += line + "\r\n";
    if (line.size() >= 15 && strncasecmp(line.c_str(), "Content-Length:", 15) == 0) {
      hasLength = true;
    }
  }
  if (!hasLength) out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  out += "\r\n";
  out += body;
  return out;
}

RecordingServer::Answer RecordingServer::ok(const std::string& body,
                                            const std::vector<std::string>& headers) {
  Answer answer;
  answer.bytes = response(200, headers, body);
  return answer;
}

bool RecordingServer::sleepUnlessStopping(int ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    if (stopping_) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 10)));
  }
  return !stopping_;
}

void RecordingServer::send(int fd, const Answer& answer) {
  if (answer.delayMs > 0 && !sleepUnlessStopping(answer.delayMs)) return;
  std::string_view bytes(answer.bytes);
  if (answer.dropAfter < bytes.size()) bytes = bytes.substr(0, answer.dropAfter);
  std::size_t piece = answer.chunkBytes > 0 ? answer.chunkBytes : bytes.size();
  std::size_t sent = 0;
  while (sent < bytes.size() && !stopping_) {
    std::size_t end = std::min(bytes.size(), sent + piece);
    while (sent < end) {
      ssize_t n = ::send(fd, bytes.data() + sent, end - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;  // the client went away
      sent += static_cast<std::size_t>(n);
    }
    if (sent < bytes.size() && answer.chunkPauseMs > 0 &&
        !sleepUnlessStopping(answer.chunkPauseMs)) {
      return;
    }
  }
}

bool RecordingServer::serve(Connection& connection) {
  char chunk[65536];
  ssize_t n = ::recv(connection.fd, chunk, sizeof chunk, 0);
  if (n <= 0) return false;
  if (connection.holding) return true;
  connection.buffer.append(chunk, static_cast<std::size_t>(n));
  if (connection.buffer.size() > kMaxRequestBytes) return false;
  while (true) {
    std::size_t headEnd = connection.buffer.find("\r\n\r\n");
    if (headEnd == std::string::npos) return true;
    std::size_t bodyStart = headEnd + 4;
    std::size_t length = contentLength(std::string_view(connection.buffer).substr(0, headEnd));
    if (length > kMaxRequestBytes) return false;
    if (connection.buffer.size() < bodyStart + length) return true;

    Request request;
    request.raw = connection.buffer.substr(0, bodyStart + length);
    request.body = connection.buffer.substr(bodyStart, length);
    request.connection = connection.number;
    std::size_t space = request.raw.find(' ');
    std::size_t space2 = request.raw.find(' ', space + 1);
    if (space != std::string::npos && space2 != std::string::npos) {
      request.method = request.raw.substr(0, space);
      request.target = request.raw.substr(space + 1, space2 - space - 1);
    }
    connection.buffer.erase(0, bodyStart + length);

    Handler handler;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
      handler = handler_;
    }
    Answer answer = handler(request);
    if (answer.neverAnswer) {
      connection.holding = true;
      return true;
    }
    send(connection.fd, answer);
    if (!answer.keepOpen || answer.dropAfter != std::string::npos) return false;
  }
}

void RecordingServer::run() {
  std::vector<std::unique_ptr<Connection>> open;
  while (!stopping_) {
    std::vector<pollfd> fds;
    fds.push_back({listenFd_, POLLIN, 0});
    for (const auto& connection : open) fds.push_back({connection->fd, POLLIN, 0});
    int ready = ::poll(fds.data(), fds.size(), kPollMs);
    if (ready <= 0) continue;
    // Connections first, so `open` still matches `fds` while we walk it.
    for (std::size_t i = open.size(); i-- > 0;) {
      if (fds[i + 1].revents == 0) continue;
      if (!serve(*open[i])) {
        ::close(open[i]->fd);
        open.erase(open.begin() + static_cast<std::ptrdiff_t>(i));
      }
    }
    if ((fds[0].revents & POLLIN) != 0) {
      int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      if (open.size() >= kMaxConnections) {
        ::close(fd);
        continue;
      }
      auto connection = std::make_unique<Connection>();
      connection->fd = fd;
      connection->number = ++connections_;
      open.push_back(std::move(connection));
    }
  }
  for (const auto& connection : open) ::close(connection->fd);
}

std::vector<std::string> requestHeaderLines(const std::string& raw) {
  std::vector<std::string> lines;
  std::size_t end = raw.find("\r\n\r\n");
  std::size_t at = raw.find("\r\n");
  while (at != std::string::npos && at < end) {
    std::size_t next = raw.find("\r\n", at + 2);
    lines.push_back(raw.substr(at + 2, next - at - 2));
    at = next;
  }
  return lines;
}

}  // namespace lumora::test
