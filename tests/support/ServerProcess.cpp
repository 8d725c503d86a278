#include "support/ServerProcess.h"

#include <fcntl.h>
#include <httplib.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "net/UrlEncode.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace lumora::test {

namespace {

std::string Times(int times) { return times >= 0 ? "&times=" + std::to_string(times) : ""; }

}  // namespace

ServerProcess::ServerProcess() : ServerProcess(Options{}) {}

ServerProcess::ServerProcess(Options options) : options_(std::move(options)) {
  dataDir_ = options_.dataDir;
  if (dataDir_.empty()) {
    std::random_device rd;
    fs::path root = buildDir() / "test-tmp";
    do {
      dataDir_ = root / ("server" + std::to_string(rd()));
    } while (fs::exists(dataDir_));
    ownsDataDir_ = true;
  }
  fs::create_directories(dataDir_);
}

ServerProcess::~ServerProcess() {
  stop();
  std::error_code ec;
  if (!logFile_.empty()) {
    fs::remove(logFile_, ec);
    fs::remove(logFile_.string() + ".stderr", ec);
  }
  if (ownsDataDir_) fs::remove_all(dataDir_, ec);
}

fs::path ServerProcess::demoDir() {
  // One folder for the whole build tree, whatever folder a test runs in.
  const char* dir = std::getenv("LUMORA_BINARY_DIR");
  fs::path root = dir && *dir ? fs::path(dir) : fs::path(LUMORA_BUILD_TREE);
  return root / "test-data" / "demo";
}

fs::path ServerProcess::executable() {
  const char* env = std::getenv("LUMORA_SERVER");
  if (env && *env) return env;
  return LUMORA_SERVER_EXECUTABLE;
}

bool ServerProcess::start() {
  if (running()) return true;
  std::random_device rd;
  logFile_ = dataDir_ / ("stdout-" + std::to_string(rd()) + ".log");
  std::vector<std::string> args = {
      executable().string(),         "--host", "127.0.0.1",       "--port",
      std::to_string(options_.port), "--data", dataDir_.string(), "--test-controls"};
  if (options_.library.empty()) {
    args.insert(args.end(), {"--test-catalogue", "--demo-dir", demoDir().string()});
  } else {
    args.insert(args.end(), {"--library", options_.library.string()});
  }
  args.insert(args.end(), options_.extraArgs.begin(), options_.extraArgs.end());

  const std::string errFile = logFile_.string() + ".stderr";
  pid_ = fork();
  if (pid_ < 0) return false;
  if (pid_ == 0) {
    // Its own files for stdout and stderr: a pipe inherited from the test runner would keep
    // the runner waiting on a server that outlived a crashed test.
    int fd = open(logFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) dup2(fd, STDOUT_FILENO);
    if (err >= 0) dup2(err, STDERR_FILENO);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (options_.beforeStart) options_.beforeStart();
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  const std::string marker = "lumora-server listening on http://127.0.0.1:";
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (std::chrono::steady_clock::now() < deadline) {
    std::string out = output();
    std::size_t at = out.find(marker);
    const bool await = !options_.library.empty() && options_.awaitLibrary;
    const std::string err = await ? errors() : "";
    const bool served = !await || err.find("library scanned in") != std::string::npos ||
                        err.find("of its index until it comes back") != std::string::npos;
    if (at != std::string::npos && out.find('\n', at) != std::string::npos && served) {
      port_ = std::atoi(out.c_str() + at + marker.size());
      return port_ > 0;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  stop();
  return false;
}

int ServerProcess::stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
  port_ = 0;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string ServerProcess::baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::string ServerProcess::output() const {
  std::ifstream in(logFile_, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ServerProcess::errors() const {
  std::ifstream in(logFile_.string() + ".stderr", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> ServerProcess::requestLog() const {
  std::vector<std::string> lines;
  std::stringstream in(output());
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("lumora-server ", 0) != 0 && !line.empty()) lines.push_back(line);
  return lines;
}

std::vector<std::string> ServerProcess::requestsTo(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const std::string& line : requestLog()) {
    std::size_t space = line.find(' ');
    if (space != std::string::npos && line.compare(space + 1, prefix.size(), prefix) == 0)
      found.push_back(line);
  }
  return found;
}

std::size_t ServerProcess::playableSongStarts() const {
  const std::string membersOnly = std::string("id=") + kMembersOnlySongId + "&";
  std::size_t starts = 0;
  for (const std::string& line : requestsTo("/song/url"))
    if (line.find(membersOnly) == std::string::npos) ++starts;
  return starts;
}

std::optional<ServerProcess::Reply> ServerProcess::get(const std::string& target) const {
  httplib::Client client("127.0.0.1", port_);
  client.set_read_timeout(30, 0);
  auto res = client.Get(target.c_str());
  if (!res) return std::nullopt;
  return Reply{res->status, res->body};
}

std::optional<ServerProcess::Reply> ServerProcess::post(const std::string& target) const {
  httplib::Client client("127.0.0.1", port_);
  client.set_read_timeout(30, 0);
  auto res = client.Post(target.c_str());
  if (!res) return std::nullopt;
  return Reply{res->status, res->body};
}

bool ServerProcess::control(const std::string& query) {
  auto reply = post("/__control/" + query);
  return reply && reply->status == 200;
}

bool ServerProcess::addDelay(const std::string& path, int ms, int times) {
  return control("fault?path=" + UrlEncode(path, 1) + "&delay_ms=" + std::to_string(ms) +
                 Times(times));
}

bool ServerProcess::failWith(const std::string& path, int status, int times) {
  return control("fault?path=" + UrlEncode(path, 1) + "&status=" + std::to_string(status) +
                 Times(times));
}

bool ServerProcess::answerWith(const std::string& path, const std::string& body, int status,
                               int times) {
  return control("fault?path=" + UrlEncode(path, 1) + "&body=" + UrlEncode(body, 1) +
                 (status ? "&status=" + std::to_string(status) : "") + Times(times));
}

bool ServerProcess::cutAfter(const std::string& path, long bytes, int times) {
  return control("fault?path=" + UrlEncode(path, 1) + "&cut_after=" + std::to_string(bytes) +
                 Times(times));
}

bool ServerProcess::stallAfter(const std::string& path, long bytes, int ms, int times) {
  return control("fault?path=" + UrlEncode(path, 1) + "&stall_after=" + std::to_string(bytes) +
                 "&stall_ms=" + std::to_string(ms) + Times(times));
}

bool ServerProcess::clearFaults() { return control("reset"); }

}  // namespace lumora::test
