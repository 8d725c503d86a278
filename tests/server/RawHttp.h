#pragma once
// Raw HTTP over loopback for the server tests: connections from a chosen loopback address,
// requests sent byte for byte as written, answers read as they come.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace lumora::test {

// A TCP connection to the server from a loopback address of our choice, with a receive
// buffer of that size when given; -1 on failure.
inline int Connect(int port, const char* from, int receiveBuffer = 0) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (receiveBuffer > 0)
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
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

// How many of fds the server closes (end of stream or reset) within ms in all, stopping once
// enough have closed.
inline int ClosedWithin(const std::vector<int>& fds, int ms, int enough = -1) {
  std::vector<pollfd> open;
  for (int fd : fds) open.push_back({fd, POLLIN, 0});
  int closed = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          end - std::chrono::steady_clock::now())
                          .count();
    if (open.empty() || (enough >= 0 && closed >= enough) ||
        poll(open.data(), open.size(), static_cast<int>(std::max<long>(left, 0))) <= 0)
      break;
    std::erase_if(open, [&](const pollfd& p) {
      char buf[4096];
      bool gone = p.revents != 0 && recv(p.fd, buf, sizeof buf, MSG_DONTWAIT) <= 0;
      closed += gone;
      return gone;
    });
  }
  return closed;
}

// Sends request as it is from address from and reads the answer until the server closes,
// the answer holds enough (when given) or 10 s pass.
inline std::string Exchange(int port, const char* from, const std::string& request,
                            const std::string& enough = "") {
  int fd = Connect(port, from);
  if (fd < 0) return "no connection";
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string answer;
  char buf[4096];
  pollfd p{fd, POLLIN, 0};
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (poll(&p, 1, 100) >= 0 && std::chrono::steady_clock::now() < end &&
         (enough.empty() || answer.find(enough) == std::string::npos)) {
    if (!p.revents) continue;
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    answer.append(buf, static_cast<std::size_t>(n));
  }
  close(fd);
  return answer;
}

// The answer's status line.
inline std::string StatusLine(int port, const std::string& request) {
  const std::string answer = Exchange(port, "127.0.0.1", request, "\r\n");
  return answer.substr(0, answer.find("\r\n"));
}

}  // namespace lumora::test
