#pragma once
// A user's library served while it changes: the saved index served at once, then a thread that
// scans the folder (a first scan serves what it has read so far), follows it and puts a new
// catalogue in place after each change. Events are gathered until the folder has been quiet for
// kQuietMs (at most kGatherMs), so an album copied in costs one rescan; a change is seen well
// within 2 s. Where events cannot tell (no inotify, folders past the watch limit, a network file
// system) the whole library is looked at by size and modification time at an interval. A root
// that is absent, unreadable, or empty where the index holds songs is a share not mounted: the
// index stays served, and the root is looked for every kMissingRootPollMs.
// It reads the files through its tag readers and answers for what the catalogue does not hold:
// the songs' lyrics and the albums' covers.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/Catalogue.h"
#include "library/CoverCache.h"
#include "library/FolderWatch.h"
#include "library/LibraryCatalogue.h"
#include "library/LibraryIndex.h"
#include "library/LoudnessSurvey.h"
#include "library/PeriodicCheck.h"
#include "songfiles/TagReader.h"

namespace lumora::server {

struct FollowOptions {
  // How often the whole library is looked at where events cannot tell; zero: never.
  std::chrono::seconds checkEvery = PeriodicCheck::kInterval;
  // At most this many folders are watched; -1: as many as the system allows.
  int maxWatches = -1;
};

class Library {
 public:
  // root: the folder served (it may not exist yet); indexFile: the saved index; readerProgram:
  // the program that reads tags (TagReader.h).
  Library(std::string root, std::string indexFile, CurrentCatalogue& served,
          std::string readerProgram, FollowOptions options = {});
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // Opens the index, then serves it, scans and follows the folder on a thread of its own.
  bool Start(std::string* error);
  // Rescans everything (SIGHUP), from any thread.
  void RescanAll();

  // A song's lyric: what its file holds (kept by the scan), else the .lrc file beside it, read
  // beneath root up to kMaxLyricBytes; empty when it has none. From any thread.
  std::string Lyric(const std::string& root, const Song& song);
  // A song's loudness, from its tags or measured after the scan; nullopt while it is not known.
  // From any thread.
  std::optional<ReplayGain> Gain(const Song& song) { return index_.Gain(song.id); }
  // An album of cat's cover (CoverCache). From any thread.
  std::shared_ptr<const Picture> Cover(const Catalogue& cat, const Album& album);

  static constexpr int kQuietMs = 300;
  static constexpr int kGatherMs = 1000;
  // How often a missing root is looked for.
  static constexpr int kMissingRootPollMs = 1000;
  // A long scan serves what it has read this long after it starts, then at doubling waits.
  static constexpr std::chrono::seconds kFirstServe{1}, kLastServe{8};
  // While the index file cannot be written: the first try again, doubling up to the last.
  static constexpr std::chrono::seconds kFirstWriteBack{10}, kLastWriteBack{600};

 private:
  using Clock = std::chrono::steady_clock;
  // Scans areas (everything when empty) and serves the result; false when the root is missing
  // or the scan was stopped. The loudness survey rests meanwhile.
  bool Rescan(const std::vector<ScanArea>& areas);
  bool ScanAndServe(const std::vector<ScanArea>& areas);
  // Whether the root is there to be scanned, the index opened for it; else says why once.
  bool RootHere();
  void Missing(const std::string& why);
  // Serves the catalogue of the index: the album folders written since the last time built
  // again, or everything; the number of songs.
  std::size_t Serve(bool everything = false);
  // Has the whole library looked at every checkEvery, saying why once.
  void CheckNowAndThen(const std::string& why);
  void Follow();
  // How long the follower may wait for events before something else is due; -1: no end.
  int WaitMs() const;
  void WriteBackWhenDue();

  const std::string root_, given_, indexFile_;
  CurrentCatalogue& served_;
  const FollowOptions options_;
  // What is served; while the root is missing, what it was (from the index), or empty.
  std::string realRoot_;
  bool missing_ = false, saidUnwatched_ = false, saidNetwork_ = false;
  bool servedIndex_ = false;  // a catalogue was made from the index
  TagReaders readers_;
  CoverCache covers_{readers_};
  LibraryIndex index_;
  LoudnessSurvey survey_;
  FolderWatch watch_;
  PeriodicCheck check_;
  Clock::time_point writeBackAt_;
  Clock::duration writeBackWait_ = kFirstWriteBack;
  std::vector<FolderLink> links_;
  LibraryCatalogue catalogue_;  // the follower's
  std::atomic<bool> stopping_{false}, rescanAll_{false};
  std::thread follower_;
};

}  // namespace lumora::server
