#include "support/LoopbackMp3Server.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>

namespace lumora::test {

LoopbackMp3Server::LoopbackMp3Server(std::string body)
    : body_(std::move(body)), server_(std::make_unique<httplib::Server>()) {
  server_->Get("/song.mp3", [this](const httplib::Request&, httplib::Response& res) {
    res.set_content(body_, "audio/mpeg");
  });
  server_->Get("/page.html", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(std::string(2000, 'a'), "text/html");
  });
  server_->Get("/stall.mp3", [this](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(body_.size(), "audio/mpeg",
                             [this](size_t offset, size_t length, httplib::DataSink& sink) {
                               if (offset >= body_.size() / 2) {
                                 std::unique_lock lock(mutex_);
                                 resumed_.wait(lock, [this] { return flowing_ || closing_; });
                                 if (closing_) return false;
                               }
                               size_t n = std::min<size_t>({length, 4096, body_.size() - offset});
                               return sink.write(body_.data() + offset, n);
                             });
  });
  port_ = server_->bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // stop() is a no-op until the accept loop runs, so wait for it.
  while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackMp3Server::~LoopbackMp3Server() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  resumed_.notify_all();
  server_->stop();
  thread_.join();
}

std::string LoopbackMp3Server::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackMp3Server::resume() {
  {
    std::lock_guard lock(mutex_);
    flowing_ = true;
  }
  resumed_.notify_all();
}

}  // namespace lumora::test
