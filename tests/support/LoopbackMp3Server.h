#pragma once
// A loopback HTTP server for URL streams: "/song.mp3" answers normally (length, ranges),
// "/stall.mp3" sends the first half and then waits until resume() is called, "/page.html" is
// not audio, anything else 404.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace lumora::test {

class LoopbackMp3Server {
 public:
  explicit LoopbackMp3Server(std::string body);
  ~LoopbackMp3Server();
  LoopbackMp3Server(const LoopbackMp3Server&) = delete;
  LoopbackMp3Server& operator=(const LoopbackMp3Server&) = delete;

  std::string url(const std::string& path) const;
  void resume();

 private:
  std::string body_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
  std::mutex mutex_;
  std::condition_variable resumed_;
  bool flowing_ = false;
  bool closing_ = false;
};

}  // namespace lumora::test
