#pragma once
// The loudness of the songs whose tags say nothing of it, found after the scans, a few songs at
// a time, on one thread and in one reader of its own at the lowest CPU and I/O priority, and kept
// in the index. It rests while a scan runs: a scan and the serving of its catalogue come first,
// and a song measured meanwhile is written once the scan is over.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "library/LibraryIndex.h"
#include "songfiles/TagReader.h"

namespace lumora::server {

class LoudnessSurvey {
 public:
  LoudnessSurvey(LibraryIndex& index, std::string readerProgram);
  ~LoudnessSurvey();
  LoudnessSurvey(const LoudnessSurvey&) = delete;
  LoudnessSurvey& operator=(const LoudnessSurvey&) = delete;

  // A scan begins: nothing is written to the index until Resume.
  void Pause();
  // A scan of the library beneath realRoot is over: the songs it left unmeasured are measured.
  void Resume(const std::string& realRoot);

  // Songs measured between two writes to the index.
  static constexpr int kBatch = 16;

 private:
  void Run();
  // Measures one song beneath root.
  MeasuredGain Measure(const std::string& root, const IndexedRow& row);

  LibraryIndex& index_;
  TagReaders reader_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string root_;          // empty: paused
  bool rescanned_ = false;    // a scan ended since the last look for unmeasured songs
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace lumora::server
