#include "library/Library.h"

#include <dirent.h>
#include <malloc.h>
#include <pthread.h>
#include <sys/vfs.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/OpenBeneath.h"
#include "songfiles/TextEncodings.h"

namespace lumora::server {

namespace {

// File systems whose changes made elsewhere (on the server of the share) send no events here.
bool OnNetworkFileSystem(const std::string& path) {
  struct statfs fs {};
  if (statfs(path.c_str(), &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x65735546:  // FUSE (sshfs and the like)
    case 0x01021997:  // 9p
    case 0x00C36400:  // Ceph
    case 0x5346414F:  // AFS
      return true;
    default:
      return false;
  }
}

// Why a root cannot be scanned: absent, unreadable, or empty (a mount point without its share);
// empty when it can.
std::string RootMissing(const std::string& realRoot) {
  if (realRoot.empty()) return "does not exist";
  DIR* d = opendir(realRoot.c_str());
  if (!d) return std::string("cannot be read (") + std::strerror(errno) + ")";
  bool empty = true;
  while (dirent* e = readdir(d))
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
      empty = false;
      break;
    }
  closedir(d);
  return empty ? "is empty" : "";
}

}  // namespace

Library::Library(std::string root, std::string indexFile, CurrentCatalogue& served,
                 std::string readerProgram, FollowOptions options)
    : root_(std::move(root)),
      given_(std::filesystem::absolute(root_).lexically_normal().string()),
      indexFile_(std::move(indexFile)),
      served_(served),
      options_(options),
      // The scan's threads, and one for the covers that requests ask for meanwhile.
      readers_(readerProgram, ReadingThreads() + 1),
      survey_(index_, std::move(readerProgram)) {
  watch_.SetLimit(options_.maxWatches);
}

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
  if (!watch_.watching())
    CheckNowAndThen("cannot watch the library's folders (" + watch_.failure() + ")");
  // A share not mounted yet is served from the index it left.
  realRoot_ = RealPath(root_);
  if (realRoot_.empty()) realRoot_ = LibraryIndex::SavedRoot(indexFile_, given_);
  if (!realRoot_.empty() && !index_.Open(indexFile_, realRoot_, given_, error)) return false;
  // Until the index is served, requests are asked to come back rather than told of no songs.
  if (!realRoot_.empty() && index_.Rows() > 0) served_.Loading();
  follower_ = std::thread([this] {
    // Named, so that a look at the server's threads tells what a change costs.
    pthread_setname_np(pthread_self(), "library");
    // The index is served before the disk is looked at; the server listens meanwhile.
    if (!realRoot_.empty() && index_.Rows() > 0) Serve();
    Rescan({});
    Follow();
  });
  return true;
}

void Library::RescanAll() {
  rescanAll_ = true;
  watch_.Wake();
}

void Library::CheckNowAndThen(const std::string& why) {
  if (options_.checkEvery.count() > 0 && !check_.on()) check_.Start(options_.checkEvery);
  if (options_.checkEvery.count() > 0)
    std::fprintf(stderr, "lumora-server: %s; looking at the whole library every %lld s\n",
                 why.c_str(), static_cast<long long>(options_.checkEvery.count()));
  else
    std::fprintf(stderr, "lumora-server: %s; changes there are seen at the next SIGHUP\n",
                 why.c_str());
}

void Library::Missing(const std::string& why) {
  if (missing_) return;
  missing_ = true;
  watch_.Clear();
  links_.clear();
  std::fprintf(stderr,
               "lumora-server: the library %s %s; serving the %zu songs of its index until it"
               " comes back\n",
               root_.c_str(), why.c_str(), served_.Get()->songCount());
}

bool Library::RootHere() {
  const std::string real = RealPath(root_);
  std::string why = RootMissing(real);
  // An empty folder is a library of no songs when the index holds none.
  if (why == "is empty" && (real != realRoot_ || index_.Rows() == 0)) why.clear();
  if (!why.empty()) {
    Missing(why);
    return false;
  }
  if (real != realRoot_) {
    std::string error;
    if (!index_.Open(indexFile_, real, given_, &error)) {
      std::fprintf(stderr, "lumora-server: library index: %s\n", error.c_str());
      return false;
    }
    realRoot_ = real;
  }
  if (missing_) {
    missing_ = false;
    std::fprintf(stderr, "lumora-server: the library %s is back; looking at it\n", root_.c_str());
  }
  if (!saidNetwork_ && OnNetworkFileSystem(realRoot_)) {
    saidNetwork_ = true;
    CheckNowAndThen(
        "the library is on a network file system, whose changes made elsewhere send"
        " no events");
  }
  return true;
}

std::size_t Library::Serve(bool everything) {
  const std::vector<std::string> written = index_.TakeWritten();
  everything = everything || !catalogue_.BuiltFor(realRoot_);
  std::shared_ptr<const Catalogue> next =
      everything ? catalogue_.Build(realRoot_, index_, links_) : catalogue_.Update(index_, written);
  const std::size_t songs = next->songCount();
  served_.Set(std::move(next));
  servedIndex_ = true;
  // A whole old catalogue's memory goes back to the system, not to the next scan.
  if (everything) malloc_trim(0);
  return songs;
}

bool Library::Rescan(const std::vector<ScanArea>& areas) {
  survey_.Pause();
  const bool scanned = ScanAndServe(areas);
  if (scanned) survey_.Resume(realRoot_);
  return scanned;
}

bool Library::ScanAndServe(const std::vector<ScanArea>& areas) {
  const auto start = Clock::now();
  const bool everything = areas.empty();
  // A folder that cannot be opened is gone only while its root is there.
  if (!RootHere()) return false;
  std::vector<ScanArea> scanned = everything ? std::vector<ScanArea>{{"", true}} : areas;
  // A link to a changed file is read again with it, though its own folder did not change.
  if (!everything)
    for (const auto& [link, target] : index_.FileLinks()) {
      auto holds = [&](const ScanArea& a) { return a.Holds(target); };
      const std::size_t slash = link.rfind('/');
      if (std::any_of(areas.begin(), areas.end(), holds))
        scanned.push_back({slash == std::string::npos ? "" : link.substr(0, slash), false});
    }
  // A long scan serves what it has read so far, now and then.
  auto serveWait = std::chrono::duration_cast<Clock::duration>(kFirstServe);
  auto serveAt = start + serveWait;
  auto committed = [&] {
    const auto now = Clock::now();
    if (now < serveAt) return;
    Serve();
    // Serving costs a fifth of the scan at most: a catalogue of many songs takes a while.
    serveWait = std::min<Clock::duration>(serveWait * 2, kLastServe);
    serveAt = Clock::now() + std::max<Clock::duration>(serveWait, (Clock::now() - now) * 4);
  };
  ScanOutcome outcome = ScanAreas(
      realRoot_, index_, scanned,
      [&](const std::string& folder) {
        if (!watch_.Add(realRoot_, folder) && !saidUnwatched_) {
          saidUnwatched_ = true;
          CheckNowAndThen(
              "no more folders can be watched (fs.inotify.max_user_watches or"
              " --max-watches)");
        }
      },
      [&] { return stopping_.load(); }, readers_, committed);
  readers_.Trim(1);
  if (outcome.rootUnreadable) Missing("cannot be read");
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
  // that finds nothing new serves what is served (a restart: the index it served at once).
  const bool same = servedIndex_ && !outcome.indexChanged && links_ == before;
  if (same && !everything) return true;

  const std::size_t songs = same ? served_.Get()->songCount() : Serve(links_ != before);
  // What a whole scan held of the folder's files goes back to the system.
  if (everything) malloc_trim(0);
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
      if (missing_ || check_.MsUntilDue() == 0) Rescan({});
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
  int wait = missing_ ? kMissingRootPollMs : check_.MsUntilDue();
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

std::shared_ptr<const Picture> Library::Cover(const Catalogue& cat, const Album& album) {
  const Song* song = cat.FindSong(album.coverSongId);
  if (!song) return nullptr;
  return covers_.Get(cat.root(), song->audioFile, album.coverEmbedded, album.folder);
}

}  // namespace lumora::server
