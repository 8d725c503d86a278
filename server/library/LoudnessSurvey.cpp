#include "library/LoudnessSurvey.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "base/OpenBeneath.h"

namespace lumora::server {

LoudnessSurvey::LoudnessSurvey(LibraryIndex& index, std::string readerProgram)
    : index_(index), reader_(std::move(readerProgram), 1) {
  thread_ = std::thread([this] {
    pthread_setname_np(pthread_self(), "loudness");
    Run();
  });
}

LoudnessSurvey::~LoudnessSurvey() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  reader_.Interrupt();
  thread_.join();
}

void LoudnessSurvey::Pause() {
  std::lock_guard lock(mutex_);
  root_.clear();
}

void LoudnessSurvey::Resume(const std::string& realRoot) {
  {
    std::lock_guard lock(mutex_);
    root_ = realRoot;
    rescanned_ = true;
  }
  changed_.notify_all();
}

MeasuredGain LoudnessSurvey::Measure(const std::string& root, const IndexedRow& row) {
  MeasuredGain m{row, std::nullopt};
  const std::string path = root + "/" + row.file();
  const int fd = OpenFileBeneath(root, path);
  if (fd < 0) return m;  // gone since the scan: the next one removes it
  std::string why;
  const bool measured = reader_.MeasureGain(fd, path.substr(path.rfind('/') + 1), &m.gain, &why);
  std::lock_guard lock(mutex_);
  if (!measured && !stopping_)  // a reader ended by the server's stop is no fault of the file
    std::fprintf(stderr, "lumora-server: cannot measure the loudness of %s: %s\n", path.c_str(),
                 why.c_str());
  close(fd);
  return m;
}

void LoudnessSurvey::Run() {
  // This thread only waits for its reader, which yields to everything itself.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
  std::vector<MeasuredGain> done;  // measured, not written yet
  int measured = 0;
  auto start = std::chrono::steady_clock::now();
  // Writes what was measured; false when the index refuses it.
  auto keep = [&] {
    std::string error;
    const bool kept = done.empty() || index_.SetGains(done, &error);
    if (!kept)
      std::fprintf(stderr,
                   "lumora-server: cannot keep the songs' loudness in the index (%s); measuring"
                   " them again after the next scan\n",
                   error.c_str());
    done.clear();
    return kept;
  };
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    changed_.wait(lock, [&] { return stopping_ || (!root_.empty() && rescanned_); });
    if (stopping_) break;
    rescanned_ = false;
    if (measured == 0) start = std::chrono::steady_clock::now();
    // What was measured during a scan is written first, so it is not looked for again.
    bool more = keep();
    while (more) {
      const std::string root = root_;
      lock.unlock();
      const std::vector<IndexedRow> rows = index_.Unmeasured(kBatch);
      more = rows.size() == kBatch;
      for (const IndexedRow& row : rows) {
        {
          std::lock_guard look(mutex_);
          if (stopping_ || root_ != root) break;
        }
        done.push_back(Measure(root, row));
        ++measured;
      }
      lock.lock();
      if (stopping_ || root_ != root) break;  // paused: the rest waits for the scan's end
      more = keep() && more;
      if (!more && measured > 0) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::fprintf(stderr, "lumora-server: measured the loudness of %d songs in %.1f s\n",
                     measured, seconds);
        measured = 0;
      }
    }
  }
}

}  // namespace lumora::server
