#include "library/FolderWatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <set>

namespace lumora::server {

namespace {

// Written files are seen when closed, and a tagger that writes a copy and renames it over the
// old file is a move; a folder's own removal or move is seen in its parent.
constexpr std::uint32_t kMask = IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF |
                                IN_ONLYDIR | IN_DONT_FOLLOW;

}  // namespace

FolderWatch::FolderWatch()
    : inotify_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      failure_(inotify_ < 0 ? std::strerror(errno) : ""),
      wake_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

FolderWatch::~FolderWatch() {
  if (inotify_ >= 0) close(inotify_);
  if (wake_ >= 0) close(wake_);
}

bool FolderWatch::Add(const std::string& realRoot, const std::string& folder) {
  if (inotify_ < 0) return true;  // the caller knows: watching() is false
  if (limit_ >= 0 && folders_.size() >= static_cast<std::size_t>(limit_)) {
    // A folder watched already (moved, or walked again) takes no watch of its own.
    auto named = From(folder);
    if (named == byName_.end() || named->first != folder) return false;
  }
  const std::string path = folder.empty() ? realRoot : realRoot + "/" + folder;
  // A folder moved inside the library keeps its watch, now under its new name.
  const int wd = inotify_add_watch(inotify_, path.c_str(), kMask);
  if (wd >= 0) Name(wd, folder);
  return wd >= 0 || errno != ENOSPC;
}

void FolderWatch::Name(int wd, const std::string& folder) {
  auto [it, fresh] = folders_.try_emplace(wd, folder);
  if (!fresh) {
    byName_.erase({it->second, wd});
    it->second = folder;
  }
  byName_.insert({folder, wd});
}

FolderWatch::ByName::const_iterator FolderWatch::From(const std::string& folder) const {
  return byName_.lower_bound({folder, INT_MIN});
}

void FolderWatch::Forget(int wd) {
  auto it = folders_.find(wd);
  if (it == folders_.end()) return;
  byName_.erase({it->second, wd});
  folders_.erase(it);
}

void FolderWatch::Prune(const std::vector<ScanArea>& areas,
                        const std::vector<std::string>& folders) {
  const std::set<std::string> found(folders.begin(), folders.end());
  std::vector<int> gone;
  auto drop = [&](auto from, auto to) {
    for (; from != to; ++from)
      if (!found.count(from->first)) gone.push_back(from->second);
  };
  // Only the folders within the areas are looked at: a change in one folder of a big library
  // costs what that folder holds.
  for (const ScanArea& a : areas) {
    if (!a.recursive) continue;
    if (a.dir.empty()) {
      drop(byName_.begin(), byName_.end());
      continue;
    }
    drop(From(a.dir), byName_.upper_bound({a.dir, INT_MAX}));
    // Below it: from "dir/" to "dir0" ('0' comes right after '/').
    drop(From(a.dir + "/"), From(a.dir + "0"));
  }
  for (int wd : gone)
    if (folders_.count(wd)) {
      inotify_rm_watch(inotify_, wd);
      Forget(wd);
    }
}

void FolderWatch::Clear() {
  for (const auto& [wd, folder] : folders_) inotify_rm_watch(inotify_, wd);
  folders_.clear();
  byName_.clear();
}

bool FolderWatch::Wait(int timeoutMs, Events& events) {
  pollfd fds[2] = {{inotify_, POLLIN, 0}, {wake_, POLLIN, 0}};
  if (poll(fds, 2, timeoutMs) <= 0) return false;
  if (fds[1].revents & POLLIN) {
    std::uint64_t count = 0;
    if (read(wake_, &count, sizeof count) > 0) events.woken = true;
  }
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    ssize_t n = read(inotify_, buffer, sizeof buffer);
    if (n <= 0) break;
    for (char* at = buffer; at < buffer + n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(at);
      at += sizeof(inotify_event) + e->len;
      if (e->mask & IN_Q_OVERFLOW) {
        events.everything = true;
        continue;
      }
      auto folder = folders_.find(e->wd);
      if (folder == folders_.end()) continue;
      const std::string dir = folder->second;
      if (e->mask & IN_IGNORED) {
        Forget(e->wd);
        continue;
      }
      if (e->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
        // Its parent reports the same; the root has no parent to do so.
        if (dir.empty()) events.everything = true;
        continue;
      }
      const std::string name = e->len ? std::string(e->name) : std::string();
      const std::string path = dir.empty() ? name : dir + "/" + name;
      if ((e->mask & IN_ISDIR) && (e->mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)))
        events.areas.push_back({path, true});
      else
        events.areas.push_back({dir, false});
    }
  }
  return true;
}

void FolderWatch::Wake() {
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(wake_, &one, sizeof one);
}

}  // namespace lumora::server
