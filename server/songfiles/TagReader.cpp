#include "songfiles/TagReader.h"

#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <new>
#include <thread>

#include "songfiles/Latin1TagHandlers.h"
#include "songfiles/Loudness.h"
#include "songfiles/ReaderWire.h"

extern char** environ;

namespace lumora::server {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kTags = 'T', kPicture = 'P', kGain = 'G';
constexpr int kReaderSocket = 3;  // where a reader finds its end of the socket
constexpr std::size_t kMaxName = 4096;
constexpr int kOutOfMemory = 3;  // a reader's exit status when a file took all its memory

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // its shadow memory takes terabytes of address space
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Reads size bytes; false at the end of the stream, an error, or the deadline (late set).
bool ReadAll(int fd, char* into, std::size_t size, Clock::time_point deadline, bool* late) {
  while (size > 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1,
                           deadline == Clock::time_point::max()
                               ? -1
                               : static_cast<int>(std::clamp<long>(left.count(), 0, 60000)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) *late = true;
    if (ready <= 0) return false;
    const ssize_t n = read(fd, into, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    into += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// A message of one buffer, with room for a descriptor beside it.
struct FdMessage {
  FdMessage(void* data, std::size_t size) : iov{data, size} {
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
  }
  FdMessage(const FdMessage&) = delete;
  FdMessage& operator=(const FdMessage&) = delete;

  iovec iov;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  msghdr msg{};
};

// A request: its length (4 bytes), its kind and the file's name, with the file's descriptor.
bool SendRequest(int socket, char kind, int fd, const std::string& name) {
  std::string request(4, '\0');
  const auto size = static_cast<std::uint32_t>(name.size() + 1);
  std::memcpy(request.data(), &size, 4);
  request += kind;
  request += name;
  FdMessage m(request.data(), request.size());
  cmsghdr* c = CMSG_FIRSTHDR(&m.msg);
  c->cmsg_level = SOL_SOCKET;
  c->cmsg_type = SCM_RIGHTS;
  c->cmsg_len = CMSG_LEN(sizeof(int));
  std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
  const ssize_t sent = sendmsg(socket, &m.msg, MSG_NOSIGNAL);
  return sent >= 4 && WriteAll(socket, request.data() + sent, request.size() - sent);
}

// The reader's side of SendRequest; false when the socket closed.
bool ReceiveRequest(int socket, char* kind, int* fd, std::string* name) {
  std::uint32_t size = 0;
  FdMessage m(&size, sizeof size);
  if (recvmsg(socket, &m.msg, MSG_WAITALL | MSG_CMSG_CLOEXEC) != sizeof size) return false;
  cmsghdr* c = CMSG_FIRSTHDR(&m.msg);
  if (!c || c->cmsg_type != SCM_RIGHTS || size == 0 || size > kMaxName + 1) return false;
  std::memcpy(fd, CMSG_DATA(c), sizeof *fd);
  std::string payload(size, '\0');
  bool late = false;
  if (!ReadAll(socket, payload.data(), size, Clock::time_point::max(), &late)) return false;
  *kind = payload[0];
  *name = payload.substr(1);
  return true;
}

std::string Status(int status) {
  if (WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemory)
    return "the tag reader ran out of its " + std::to_string(TagReaders::kMemoryMiB) + " MiB";
  if (WIFSIGNALED(status))
    return "the tag reader ended on signal " + std::to_string(WTERMSIG(status)) + " (" +
           strsignal(WTERMSIG(status)) + ")";
  return "the tag reader ended with status " + std::to_string(WEXITSTATUS(status));
}

void Limit(int resource, rlim_t soft) {
  rlimit now{};
  getrlimit(resource, &now);
  now.rlim_cur = std::min(soft, now.rlim_max);
  setrlimit(resource, &now);
}

// The address space the reader has taken so far: its program and libraries.
rlim_t AddressSpace() {
  std::ifstream statm("/proc/self/statm");
  rlim_t pages = 0;
  statm >> pages;
  return pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
}

// The reader yields to everything else: the lowest CPU priority and the idle I/O class, for its
// threads to come too (the decoder's).
void YieldToAll() {
  setpriority(PRIO_PROCESS, 0, 19);
  constexpr int kWhoProcess = 1, kClassIdle = 3, kClassShift = 13;
  syscall(SYS_ioprio_set, kWhoProcess, 0, kClassIdle << kClassShift);
}

}  // namespace

TagReaders::TagReaders(std::string program, unsigned most)
    : program_(std::move(program)), most_(std::max(1u, most)) {}

TagReaders::~TagReaders() { Trim(0); }

bool TagReaders::ReadTags(int fd, const std::string& name, std::optional<SongFileTags>* tags,
                          std::string* why) {
  return Read(kTags, fd, name, why,
              [&](std::string_view answer) { return DecodeTags(answer, tags); });
}

bool TagReaders::ReadPicture(int fd, const std::string& name, std::optional<Picture>* picture,
                             std::string* why) {
  return Read(kPicture, fd, name, why,
              [&](std::string_view answer) { return DecodePicture(answer, picture); });
}

bool TagReaders::MeasureGain(int fd, const std::string& name, std::optional<ReplayGain>* gain,
                              std::string* why) {
  return Read(kGain, fd, name, why,
              [&](std::string_view answer) { return DecodeGain(answer, gain); });
}

bool TagReaders::Read(char kind, int fd, const std::string& name, std::string* why,
                      const std::function<bool(std::string_view)>& decode) {
  std::string answer;
  if (!Ask(kind, fd, name, &answer, why)) return false;
  if (decode(answer)) return true;
  *why = "the tag reader answered nonsense";
  return false;
}

bool TagReaders::Ask(char kind, int fd, const std::string& name, std::string* answer,
                     std::string* why) {
  std::optional<Reader> reader;
  {
    std::unique_lock lock(mutex_);
    freed_.wait(lock, [&] { return !idle_.empty() || running_ < most_; });
    if (!idle_.empty()) {
      reader = idle_.back();
      idle_.pop_back();
    } else {
      ++running_;
    }
  }
  auto give = [&](bool keep) {
    std::lock_guard lock(mutex_);
    if (keep)
      idle_.push_back(*reader);
    else
      --running_;
    freed_.notify_one();
  };
  // A reader that ended while idle takes no request: one more try, with a new one.
  for (int tries = 0; !reader || !SendRequest(reader->socket, kind, fd, name); ++tries) {
    if (reader) End(*reader, true, nullptr);
    if (tries == 2) *why = "no tag reader took the request";
    reader = tries < 2 ? Start(why) : std::nullopt;
    if (!reader) {
      give(false);
      return false;
    }
  }
  bool interrupted = false;
  {
    std::lock_guard lock(mutex_);
    interrupted = interrupted_;
    if (!interrupted) busy_.push_back(reader->pid);
  }
  if (interrupted) {
    End(*reader, true, nullptr);
    give(false);
    *why = "the server is stopping";
    return false;
  }
  const auto deadline =
      Clock::now() + std::chrono::seconds(kind == kGain ? kMeasureWithin : kAnswerWithin);
  std::uint32_t size = 0;
  bool late = false;
  bool ok = ReadAll(reader->socket, reinterpret_cast<char*>(&size), sizeof size, deadline, &late);
  if (ok && size > kMaxAnswerBytes) {
    ok = false;
    *why = "the tag reader's answer was too long";
    End(*reader, true, nullptr);
  } else if (ok) {
    answer->resize(size);
    ok = ReadAll(reader->socket, answer->data(), size, deadline, &late);
  }
  {
    // Reaped below: from here on its number may go to another process.
    std::lock_guard lock(mutex_);
    busy_.erase(std::find(busy_.begin(), busy_.end(), reader->pid));
  }
  if (!ok && late) {
    *why = "the tag reader gave no answer within " +
           std::to_string(kind == kGain ? kMeasureWithin : kAnswerWithin) + " s";
    End(*reader, true, nullptr);
  } else if (!ok && reader->socket >= 0) {
    End(*reader, false, why);
  }
  give(ok);
  return ok;
}

std::optional<TagReaders::Reader> TagReaders::Start(std::string* why) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
    *why = std::string("cannot start a tag reader: ") + std::strerror(errno);
    return std::nullopt;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], kReaderSocket);
  posix_spawn_file_actions_addclosefrom_np(&actions, kReaderSocket + 1);
  // The server's threads block its stop signals; a reader has none blocked.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  std::string argument = kTagReaderArgument;
  std::string program = program_;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = -1;
  const int error = posix_spawn(&pid, program_.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(ends[1]);
  if (error != 0) {
    close(ends[0]);
    *why = "cannot start a tag reader (" + program_ + "): " + std::strerror(error);
    return std::nullopt;
  }
  return Reader{pid, ends[0]};
}

void TagReaders::End(Reader& reader, bool kill, std::string* why) {
  close(reader.socket);
  reader.socket = -1;
  int status = 0;
  if (!kill) {
    // It closed its end: it is ending (which takes a sanitizer's report a while); a reader that
    // stays is ended too.
    for (int i = 0; i < 1000 && waitpid(reader.pid, &status, WNOHANG) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill = waitpid(reader.pid, &status, WNOHANG) == 0;
  }
  if (kill) {
    ::kill(reader.pid, SIGKILL);
    waitpid(reader.pid, &status, 0);
  }
  if (why) *why = Status(status);
}

void TagReaders::Interrupt() {
  std::lock_guard lock(mutex_);
  interrupted_ = true;
  for (pid_t pid : busy_) ::kill(pid, SIGKILL);
}

void TagReaders::Trim(unsigned keep) {
  std::vector<Reader> ending;
  {
    std::lock_guard lock(mutex_);
    while (idle_.size() > keep) {
      ending.push_back(idle_.back());
      idle_.pop_back();
      --running_;
    }
  }
  // A reader ends at the end of its socket.
  for (Reader& r : ending) End(r, false, nullptr);
}

int RunTagReader(int socket) {
  // No death signal from the parent: it is sent when the thread that started the reader ends,
  // and a scan's helper threads end while the readers they started serve on. A reader ends at
  // the end of its socket, which the server's end closes however it stops.
  Limit(RLIMIT_CORE, 0);
  Limit(RLIMIT_STACK, rlim_t{TagReaders::kStackMiB} << 20);
  if (!kSanitized) Limit(RLIMIT_AS, AddressSpace() + (rlim_t{TagReaders::kMemoryMiB} << 20));
  // The buffers of one file serve the next: given back to the system after each file, they cost
  // a page fault for every page of every file.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  InstallLatin1TagHandlers();
  for (;;) {
    // Between scans a reader waits with nothing of the last files left on its hands.
    pollfd next{socket, POLLIN, 0};
    if (poll(&next, 1, 200) == 0) malloc_trim(0);
    char kind = 0;
    int fd = -1;
    std::string name;
    if (!ReceiveRequest(socket, &kind, &fd, &name)) return 0;
    // The time limit is for each file alone: SIGXCPU ends a reader that spends longer.
    rusage used{};
    getrusage(RUSAGE_SELF, &used);
    Limit(RLIMIT_CPU, static_cast<rlim_t>(
                          used.ru_utime.tv_sec + used.ru_stime.tv_sec + 1 +
                          (kind == kGain ? TagReaders::kCpuPerMeasure : TagReaders::kCpuPerFile)));
    std::string answer;
    try {
      if (kind == kGain) {
        YieldToAll();
        answer = EncodeGain(TaggedOrMeasuredGain(fd, name));
        close(fd);
      } else {
        answer = kind == kTags ? EncodeTags(ReadSongFile(fd, name))
                               : EncodePicture(ReadEmbeddedPicture(fd, name));
      }
    } catch (const std::bad_alloc&) {
      _exit(kOutOfMemory);  // what the file left behind goes with the reader
    }
    const auto size = static_cast<std::uint32_t>(answer.size());
    if (!WriteAll(socket, reinterpret_cast<const char*>(&size), sizeof size) ||
        !WriteAll(socket, answer.data(), answer.size()))
      return 0;
  }
}

}  // namespace lumora::server
