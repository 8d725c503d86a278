#include "library/LibraryScan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <deque>
#include <map>
#include <set>
#include <thread>

#include "base/OpenBeneath.h"
#include "library/LibraryCatalogue.h"
#include "library/PathNames.h"

namespace lumora::server {

namespace {

struct FileStamp {
  std::int64_t size = 0, mtimeNs = 0;
  std::string target;  // what a link leads to, below the root
};

std::int64_t MtimeNs(const struct stat& st) {
  return std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
}

std::string Join(const std::string& dir, const std::string& name) {
  return dir.empty() ? name : dir + "/" + name;
}

// Walks an area below realRoot, each folder opened beneath the root through no link: a link to a
// file inside the library is a song of its own; a link to a folder inside it is recorded, not
// walked (its target is walked where it lies); a link that leads out of the library is passed
// over. A folder too deep to be named in a path is passed over too.
void Walk(const std::string& realRoot, const ScanArea& area,
          const std::function<void(const std::string&)>& entering,
          const std::function<bool()>& stopAsked, std::map<std::string, FileStamp>& files,
          ScanOutcome& out) {
  for (std::vector<std::string> folders{area.dir}; !folders.empty();) {
    out.stopped = out.stopped || stopAsked();
    if (out.stopped) return;
    const std::string dir = std::move(folders.back());
    folders.pop_back();
    entering(dir);
    const int fd = OpenFolderBeneath(realRoot, dir);
    DIR* d = fd < 0 ? nullptr : fdopendir(fd);
    if (!d) {
      if (fd >= 0) close(fd);
      // Its files are not gone: they cannot be seen (a share that went, a mode changed).
      out.rootUnreadable = out.rootUnreadable || dir.empty();
      continue;
    }
    out.folders.push_back(dir);
    const std::string full = dir.empty() ? realRoot : realRoot + "/" + dir;
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      const std::string rel = Join(dir, name);
      // The entry's type spares a stat of every folder and every picture or text file.
      struct stat st {};
      if (e->d_type == DT_DIR) {
        st.st_mode = S_IFDIR;
      } else if (e->d_type == DT_REG && !SongFileFormat(name)) {
        continue;
      } else if (fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        continue;
      }
      if (S_ISDIR(st.st_mode)) {
        if (area.recursive) folders.push_back(rel);
      } else if (S_ISREG(st.st_mode) && SongFileFormat(name)) {
        files[rel] = {st.st_size, MtimeNs(st), ""};
      } else if (S_ISLNK(st.st_mode)) {
        const std::string target = RealPath(full + "/" + name);
        struct stat ts {};
        if (stat(target.c_str(), &ts) != 0 || target.rfind(realRoot + "/", 0) != 0) continue;
        const std::string to = target.substr(realRoot.size() + 1);
        if (S_ISREG(ts.st_mode) && SongFileFormat(name))
          files[rel] = {ts.st_size, MtimeNs(ts), to};
        else if (S_ISDIR(ts.st_mode) && !IsWithin(to, rel))  // a link to its own ancestor loops
          out.links.push_back({rel, to});
      }
    }
    closedir(d);
  }
}

// A recursive area covers everything below it; an area covered by another is dropped.
std::vector<ScanArea> Merged(std::vector<ScanArea> areas) {
  std::vector<ScanArea> kept;
  std::sort(areas.begin(), areas.end(), [](const ScanArea& a, const ScanArea& b) {
    return a.dir != b.dir ? a.dir < b.dir : a.recursive > b.recursive;
  });
  for (const ScanArea& a : areas) {
    bool covered = std::any_of(kept.begin(), kept.end(), [&](const ScanArea& k) {
      return k.dir == a.dir || (k.recursive && IsWithin(k.dir, a.dir));
    });
    if (!covered) kept.push_back(a);
  }
  return kept;
}

// A hash of a file's size and three of its blocks (start, middle, end): two files that differ in
// their tags or their audio differ here, so a song moved is told from another of its size.
std::uint64_t Fingerprint(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return 0;
  constexpr off_t kBlock = 4096;
  std::uint64_t h = 0x9E3779B97F4A7C15ull ^ static_cast<std::uint64_t>(st.st_size);
  for (off_t at : {off_t{0}, st.st_size / 2, st.st_size - kBlock}) {
    std::uint64_t words[kBlock / 8] = {};
    const ssize_t n = pread(fd, words, sizeof words, std::max<off_t>(0, at));
    for (ssize_t i = 0; i < (n + 7) / 8; ++i) {
      h = (h ^ words[i]) * 0x100000001B3ull;
      h ^= h >> 29;
    }
  }
  return h | 1;  // 0 stands for a file not read
}

// Opens a file beneath the root, takes its fingerprint, has a reader read its tags and takes what
// they lack from its path; a file that cannot be opened so (gone, or swapped for a link out since
// the walk) is refused without a modification time, so that the next look reads it again should
// it come back as it was (a folder moved out and back while it was scanned); a file that ends its
// reader is refused with one line on stderr.
void ReadFile(const std::string& realRoot, IndexedFile& f, TagReaders& readers) {
  const std::string path = realRoot + "/" + f.file();
  f.tags.reset();
  const int fd = OpenFileBeneath(realRoot, path);
  if (fd < 0) {
    f.mtimeNs = -1;
    return;
  }
  f.fingerprint = Fingerprint(fd);
  std::string why;
  if (!readers.ReadTags(fd, path.substr(path.rfind('/') + 1), &f.tags, &why))
    std::fprintf(stderr, "lumora-server: left out %s: %s\n", path.c_str(), why.c_str());
  if (f.tags) NameFromPath(f.path, *f.tags);
  close(fd);
}

void ReadFiles(const std::string& realRoot, std::vector<IndexedFile>& files,
               const std::function<bool()>& stopAsked, TagReaders& readers) {
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i = next++; i < files.size() && !stopAsked(); i = next++)
      ReadFile(realRoot, files[i], readers);
  };
  std::vector<std::thread> helpers(files.size() < 32 ? 0 : ReadingThreads() - 1);
  for (std::thread& t : helpers) t = std::thread(work);
  work();
  for (std::thread& t : helpers) t.join();
}

}  // namespace

unsigned ReadingThreads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 4u); }

bool IsWithin(const std::string& dir, const std::string& path) {
  return dir.empty() || path == dir || path.rfind(dir + "/", 0) == 0;
}

bool ScanArea::Holds(const std::string& path) const {
  if (recursive) return IsWithin(dir, path);
  const std::size_t slash = path.rfind('/');
  return (slash == std::string::npos ? "" : path.substr(0, slash)) == dir;
}

ScanOutcome ScanAreas(const std::string& realRoot, LibraryIndex& index,
                      const std::vector<ScanArea>& areas,
                      const std::function<void(const std::string& folder)>& entering,
                      const std::function<bool()>& stopAsked, TagReaders& readers,
                      const std::function<void()>& committed) {
  ScanOutcome out;
  std::map<std::string, FileStamp> found;
  std::map<std::string, IndexedRow> known;
  for (const ScanArea& area : Merged(areas)) {
    Walk(realRoot, area, entering, stopAsked, found, out);
    for (IndexedRow& f : index.Under(area.dir, area.recursive)) known[f.path] = std::move(f);
  }
  out.stopped = out.stopped || out.rootUnreadable;
  if (out.stopped) return out;
  // Changed files first, then fresh ones (id 0); a batch leaves the front, so that what a long
  // scan has read no longer takes room while its catalogue grows.
  std::deque<IndexedRow> work, fresh;
  for (auto& [path, stamp] : found) {
    auto row = known.find(path);
    if (row == known.end()) {
      fresh.push_back({path, std::move(stamp.target), stamp.size, stamp.mtimeNs, 0, 0});
      continue;
    }
    IndexedRow& f = row->second;
    if (f.size != stamp.size || f.mtimeNs != stamp.mtimeNs || f.target != stamp.target) {
      f.size = stamp.size;
      f.mtimeNs = stamp.mtimeNs;
      f.target = stamp.target;
      work.push_back(std::move(f));
    }
    known.erase(row);
  }
  found.clear();
  for (IndexedRow& f : fresh) work.push_back(std::move(f));
  fresh = std::deque<IndexedRow>();  // its room freed now, not at the end: "= {}" would keep it
  out.filesRead = static_cast<int>(work.size());

  // What is left in known vanished; a fresh file with the fingerprint of one of them is that
  // file moved or copied, and keeps its id.
  std::multimap<std::uint64_t, const IndexedRow*> vanished;  // by fingerprint
  std::set<std::string> gone;
  for (const auto& [path, row] : known) {
    if (row.fingerprint) vanished.emplace(row.fingerprint, &row);
    gone.insert(path);
  }
  // Read and written in batches: a scan cut short keeps what it read, and the next one goes on
  // from there.
  while (!work.empty()) {
    std::vector<IndexedFile> batch(std::min(work.size(), kScanBatch));
    for (IndexedFile& f : batch) {
      static_cast<IndexedRow&>(f) = std::move(work.front());
      work.pop_front();
    }
    ReadFiles(realRoot, batch, stopAsked, readers);
    out.stopped = stopAsked();
    if (out.stopped) return out;
    std::vector<std::string> moved;
    // Ids of earlier batches are in the index by now.
    std::set<std::uint64_t> used;
    for (IndexedFile& f : batch) {
      if (f.id) continue;
      auto was = f.fingerprint ? vanished.find(f.fingerprint) : vanished.end();
      if (was != vanished.end()) {
        f.id = was->second->id;
        moved.push_back(was->second->path);
        gone.erase(was->second->path);
        vanished.erase(was);
      } else {
        f.id = StableId("song:" + f.path);
        for (int n = 1; used.count(f.id) || index.IdTaken(f.id); ++n)
          f.id = StableId("song:" + f.path + "#" + std::to_string(n));
      }
      used.insert(f.id);
    }
    index.Apply(moved, batch, &out.indexFailure);
    out.indexChanged = true;
    if (committed) committed();
  }
  if (!gone.empty()) {
    index.Apply({gone.begin(), gone.end()}, {}, &out.indexFailure);
    out.indexChanged = true;
  }
  return out;
}

}  // namespace lumora::server
