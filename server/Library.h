#pragma once
// A user's library served while it changes: the first scan from the saved index before the
// server listens, then a thread that follows the folder and puts a new catalogue in place after
// each change. Events are gathered until the folder has been quiet for kQuietMs (at most
// kGatherMs), so an album copied in costs one rescan; a change is seen well within 2 s.
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "Catalogue.h"
#include "FolderWatch.h"
#include "LibraryIndex.h"

namespace lumora::server {

class Library {
 public:
  // root: the folder served (it may not exist yet); indexFile: the saved index; stopAsked:
  // whether the program is being stopped, so that a long scan (the first one) ends early.
  Library(std::string root, std::string indexFile, CurrentCatalogue& served,
          std::function<bool()> stopAsked);
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // Opens the index, scans and serves what it finds, then follows the folder.
  bool Start(std::string* error);
  // Rescans everything (SIGHUP), from any thread.
  void RescanAll();

  static constexpr int kQuietMs = 300;
  static constexpr int kGatherMs = 1000;
  // How often a missing root is looked for.
  static constexpr int kMissingRootPollMs = 1000;

 private:
  // Scans areas (everything when empty) and serves the result; false when the root is missing
  // or the scan was stopped.
  bool Rescan(const std::vector<ScanArea>& areas);
  void Follow();

  const std::string root_, indexFile_;
  CurrentCatalogue& served_;
  const std::function<bool()> stopAsked_;
  std::string realRoot_;  // empty while the root is missing
  LibraryIndex index_;
  FolderWatch watch_;
  std::vector<FolderLink> links_;
  std::atomic<bool> stopping_{false}, rescanAll_{false};
  std::thread follower_;
};

}  // namespace lumora::server
