#pragma once
// Watches the folders of a library with inotify and turns what happened in them into the areas a
// rescan must look at: a folder whose files changed, or a whole folder that came or went.
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "library/LibraryScan.h"

namespace lumora::server {

class FolderWatch {
 public:
  FolderWatch();
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // Whether folders can be watched (an inotify instance was had); why not, when not.
  bool watching() const { return inotify_ >= 0; }
  const std::string& failure() const { return failure_; }
  // Whether Wait can be woken (Wake); without it the watch is no use at all.
  bool wakes() const { return wake_ >= 0; }

  // Watches at most max folders (-1: as many as the system allows).
  void SetLimit(int max) { limit_ = max; }
  // Watches a folder below realRoot ("" is the root itself); false when it is left unwatched
  // for want of watches.
  bool Add(const std::string& realRoot, const std::string& folder);
  // After a scan of areas that found folders: the folders watched there and gone stop being
  // watched.
  void Prune(const std::vector<ScanArea>& areas, const std::vector<std::string>& folders);
  // Stops watching everything (the root went away).
  void Clear();

  struct Events {
    std::vector<ScanArea> areas;
    bool everything = false;  // the kernel dropped events, or the root itself went
    bool woken = false;       // Wake() was called
  };
  // Waits up to timeoutMs (-1: without end) for changes and adds them to events; false when
  // nothing came within the time.
  bool Wait(int timeoutMs, Events& events);
  // Makes a Wait return at once, from any thread.
  void Wake();

 private:
  int inotify_ = -1;
  std::string failure_;
  int wake_ = -1;
  // A watched folder's name changes, the watch is renamed: both lists say so.
  void Name(int wd, const std::string& folder);
  void Forget(int wd);
  using ByName = std::set<std::pair<std::string, int>>;
  // The first watch of folder, or of the folders after it by name.
  ByName::const_iterator From(const std::string& folder) const;

  std::map<int, std::string> folders_;  // watch -> folder below the root
  ByName byName_;                       // the same by folder, for a folder's subtree
  int limit_ = -1;
};

}  // namespace lumora::server
