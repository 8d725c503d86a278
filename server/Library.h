#pragma once
// A user's library served while it changes: the first scan from the saved index before the
// server listens, then a thread that follows the folder and puts a new catalogue in place after
// each change. Events are gathered until the folder has been quiet for kQuietMs (at most
// kGatherMs), so an album copied in costs one rescan; a change is seen well within 2 s. Where
// the folders cannot be watched, the whole library is looked at every PeriodicCheck::kInterval.
// It reads the files through its tag readers and answers for what the catalogue does not hold:
// the songs' lyrics and the albums' covers.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Catalogue.h"
#include "CoverCache.h"
#include "FolderWatch.h"
#include "LibraryIndex.h"
#include "PeriodicCheck.h"
#include "TagReader.h"

namespace lumora::server {

class Library {
 public:
  // root: the folder served (it may not exist yet); indexFile: the saved index; stopAsked:
  // whether the program is being stopped, so that a long scan (the first one) ends early;
  // readerProgram: the program that reads tags (TagReader.h).
  Library(std::string root, std::string indexFile, CurrentCatalogue& served,
          std::function<bool()> stopAsked, std::string readerProgram);
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // Opens the index, scans and serves what it finds, then follows the folder.
  bool Start(std::string* error);
  // Rescans everything (SIGHUP), from any thread.
  void RescanAll();

  // A song's lyric: what its file holds (kept by the scan), else the .lrc file beside it, read
  // beneath root up to kMaxLyricBytes; empty when it has none. From any thread.
  std::string Lyric(const std::string& root, const Song& song);
  // The cover of an album whose song is songFile (CoverCache). From any thread.
  std::shared_ptr<const Picture> Cover(const std::string& root, const std::string& songFile,
                                       bool embedded);

  static constexpr int kQuietMs = 300;
  static constexpr int kGatherMs = 1000;
  // How often a missing root is looked for.
  static constexpr int kMissingRootPollMs = 1000;
  // While the index file cannot be written: the first try again, doubling up to the last.
  static constexpr std::chrono::seconds kFirstWriteBack{10}, kLastWriteBack{600};

 private:
  using Clock = std::chrono::steady_clock;
  // Scans areas (everything when empty) and serves the result; false when the root is missing
  // or the scan was stopped.
  bool Rescan(const std::vector<ScanArea>& areas);
  void Follow();
  // How long the follower may wait for events before something else is due; -1: no end.
  int WaitMs() const;
  void WriteBackWhenDue();

  const std::string root_, indexFile_;
  CurrentCatalogue& served_;
  const std::function<bool()> stopAsked_;
  std::string realRoot_;  // empty while the root is missing
  TagReaders readers_;
  CoverCache covers_{readers_};
  LibraryIndex index_;
  FolderWatch watch_;
  PeriodicCheck check_;
  Clock::time_point writeBackAt_;
  Clock::duration writeBackWait_ = kFirstWriteBack;
  std::vector<FolderLink> links_;
  std::atomic<bool> stopping_{false}, rescanAll_{false};
  std::thread follower_;
};

}  // namespace lumora::server
