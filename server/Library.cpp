#include "Library.h"

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "LibraryCatalogue.h"
#include "LibraryJail.h"
#include "TextEncodings.h"

namespace lumora::server {

Library::Library(std::string root, std::string indexFile, CurrentCatalogue& served,
                 std::function<bool()> stopAsked, std::string readerProgram)
    : root_(std::move(root)),
      indexFile_(std::move(indexFile)),
      served_(served),
      stopAsked_(std::move(stopAsked)),
      // The scan's threads, and one for the covers that requests ask for meanwhile.
      readers_(std::move(readerProgram), ReadingThreads() + 1) {}

Library::~Library() {
  stopping_ = true;
  watch_.Wake();
  if (follower_.joinable()) follower_.join();
}

bool Library::Start(std::string* error) {
  if (!watch_.wakes()) {
    if (error) *error = "cannot make an event descriptor";
    return false;
  }
  if (!watch_.watching()) {
    check_.Start(PeriodicCheck::kInterval);
    std::fprintf(stderr,
                 "lumora-server: cannot watch the library's folders (%s); looking for changes"
                 " every %lld s instead\n",
                 watch_.failure().c_str(),
                 static_cast<long long>(PeriodicCheck::kInterval.count()));
  }
  realRoot_ = RealPath(root_);
  if (!realRoot_.empty() && !index_.Open(indexFile_, realRoot_, error)) return false;
  Rescan({});
  follower_ = std::thread([this] { Follow(); });
  return true;
}

void Library::RescanAll() {
  rescanAll_ = true;
  watch_.Wake();
}

bool Library::Rescan(const std::vector<ScanArea>& areas) {
  const auto start = Clock::now();
  const bool everything = areas.empty();
  if (everything) {
    const std::string real = RealPath(root_);
    if (real != realRoot_) {
      std::string error;
      if (!real.empty() && !index_.Open(indexFile_, real, &error)) {
        std::fprintf(stderr, "lumora-server: library index: %s\n", error.c_str());
        return false;
      }
      realRoot_ = real;
    }
    if (realRoot_.empty()) {
      // Nothing to serve until it comes (back).
      watch_.Clear();
      links_.clear();
      served_.Set(std::make_shared<const Catalogue>());
      return false;
    }
  }
  std::vector<ScanArea> scanned = everything ? std::vector<ScanArea>{{"", true}} : areas;
  // A link to a changed file is read again with it, though its own folder did not change.
  if (!everything)
    for (const auto& [link, target] : index_.FileLinks()) {
      auto holds = [&](const ScanArea& a) { return a.Holds(target); };
      const std::size_t slash = link.rfind('/');
      if (std::any_of(areas.begin(), areas.end(), holds))
        scanned.push_back({slash == std::string::npos ? "" : link.substr(0, slash), false});
    }
  ScanOutcome outcome = ScanAreas(
      realRoot_, index_, scanned, [&](const std::string& folder) { watch_.Add(realRoot_, folder); },
      [&] { return stopping_ || stopAsked_(); }, readers_);
  readers_.Trim(1);
  if (outcome.stopped) return false;
  if (everything) check_.Looked();
  if (!outcome.indexFailure.empty()) {
    writeBackWait_ = kFirstWriteBack;
    writeBackAt_ = Clock::now() + writeBackWait_;
    std::fprintf(stderr,
                 "lumora-server: cannot write the library index (%s); serving it from memory and"
                 " writing it again in %lld s\n",
                 outcome.indexFailure.c_str(),
                 static_cast<long long>(
                     std::chrono::duration_cast<std::chrono::seconds>(writeBackWait_).count()));
  }
  watch_.Prune(scanned, outcome.folders);
  const std::vector<FolderLink> before = links_;
  links_.erase(std::remove_if(links_.begin(), links_.end(),
                              [&](const FolderLink& l) {
                                return std::any_of(
                                    scanned.begin(), scanned.end(),
                                    [&](const ScanArea& a) { return a.Holds(l.link); });
                              }),
               links_.end());
  links_.insert(links_.end(), outcome.links.begin(), outcome.links.end());
  // Reading a file may itself raise an event (a reader that opens files for writing); a rescan
  // that finds nothing new serves what is served.
  if (!everything && !outcome.indexChanged && links_ == before) return true;

  auto next = std::make_shared<const Catalogue>(BuildLibraryCatalogue(realRoot_, index_, links_));
  const std::size_t songs = next->songs.size();
  served_.Set(std::move(next));
  // The scan's and the old catalogue's memory goes back to the system, not to the next scan.
  malloc_trim(0);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::fprintf(stderr,
               "lumora-server: %s scanned in %.2f s: %zu songs, %d files read, left out %ld files"
               " that do not open as audio\n",
               everything ? "library" : "changed folders", seconds, songs, outcome.filesRead,
               static_cast<long>(index_.Refused()));
  return true;
}

void Library::Follow() {
  if (index_.InMemory()) writeBackAt_ = Clock::now() + writeBackWait_;
  while (!stopping_) {
    FolderWatch::Events events;
    const bool came = watch_.Wait(WaitMs(), events);
    if (stopping_) break;
    WriteBackWhenDue();
    if (!came) {
      // Nothing happened: the time of a look at the whole library, or at a missing root.
      if (realRoot_.empty() || check_.MsUntilDue() == 0) Rescan({});
      continue;
    }
    // Gather until the folder is quiet, but never longer than kGatherMs.
    const auto end = Clock::now() + std::chrono::milliseconds(kGatherMs);
    while (!stopping_ && !rescanAll_) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
      if (left <= 0 || !watch_.Wait(static_cast<int>(std::min<long>(left, kQuietMs)), events))
        break;
    }
    if (stopping_) break;
    if (rescanAll_.exchange(false) || events.everything)
      Rescan({});
    else if (!events.areas.empty())
      Rescan(events.areas);
  }
}

int Library::WaitMs() const {
  int wait = realRoot_.empty() ? kMissingRootPollMs : check_.MsUntilDue();
  if (index_.InMemory()) {
    const auto due =
        std::chrono::duration_cast<std::chrono::milliseconds>(writeBackAt_ - Clock::now());
    const int ms = static_cast<int>(std::max<long>(0, due.count()));
    wait = wait < 0 ? ms : std::min(wait, ms);
  }
  return wait;
}

void Library::WriteBackWhenDue() {
  if (!index_.InMemory() || Clock::now() < writeBackAt_) return;
  std::string error;
  if (index_.WriteBack(&error)) {
    std::fprintf(stderr, "lumora-server: the library index is written to %s again\n",
                 indexFile_.c_str());
    return;
  }
  writeBackWait_ = std::min<Clock::duration>(writeBackWait_ * 2, kLastWriteBack);
  writeBackAt_ = Clock::now() + writeBackWait_;
  std::fprintf(stderr,
               "lumora-server: cannot write the library index yet (%s); trying again in %lld s\n",
               error.c_str(),
               static_cast<long long>(
                   std::chrono::duration_cast<std::chrono::seconds>(writeBackWait_).count()));
}

std::string Library::Lyric(const std::string& root, const Song& song) {
  if (std::string lyric = index_.Lyric(song.id); !lyric.empty()) return lyric;
  const std::string& audio = song.audioFile;
  const std::size_t dot = audio.rfind('.');
  for (const char* ext : {".lrc", ".LRC"})
    if (auto bytes = ReadFileBeneath(root, audio.substr(0, dot) + ext, kMaxLyricBytes))
      return DecodeTextFile(*bytes);
  return "";
}

std::shared_ptr<const Picture> Library::Cover(const std::string& root, const std::string& songFile,
                                              bool embedded) {
  return covers_.Get(root, songFile, embedded);
}

}  // namespace lumora::server
