#include "LibraryScan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <set>
#include <thread>

#include "LibraryCatalogue.h"

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

// Walks dir below realRoot without following links: a link to a file inside the library is a
// song of its own; a link to a folder inside it is recorded, not walked (its target is walked
// where it lies); a link that leads out of the library is passed over.
void Walk(const std::string& realRoot, const std::string& dir, bool recursive,
          const std::function<void(const std::string&)>& entering,
          const std::function<bool()>& stopAsked, std::map<std::string, FileStamp>& files,
          ScanOutcome& out) {
  out.stopped = out.stopped || stopAsked();
  if (out.stopped) return;
  const std::string full = dir.empty() ? realRoot : realRoot + "/" + dir;
  entering(dir);
  DIR* d = opendir(full.c_str());
  if (!d) return;
  out.folders.push_back(dir);
  std::vector<std::string> subfolders;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string rel = Join(dir, name), path = full + "/" + name;
    // The entry's type spares a stat of every folder and every picture or text file.
    if (e->d_type == DT_DIR) {
      subfolders.push_back(rel);
      continue;
    }
    if (e->d_type == DT_REG && !SongFileFormat(name)) continue;
    struct stat st {};
    if (fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      subfolders.push_back(rel);
    } else if (S_ISREG(st.st_mode) && SongFileFormat(name)) {
      files[rel] = {st.st_size, MtimeNs(st), ""};
    } else if (S_ISLNK(st.st_mode)) {
      const std::string target = RealPath(path);
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
  if (recursive)
    for (const std::string& sub : subfolders)
      Walk(realRoot, sub, true, entering, stopAsked, files, out);
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

// Reads the files' tags on a few threads: opening and parsing files is most of a first scan.
// ReadSongFile is called on several threads at once: it must keep no state between calls.
void ReadTags(const std::string& realRoot, std::vector<IndexedFile>& files,
              const std::function<bool()>& stopAsked) {
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i = next++; i < files.size() && !stopAsked(); i = next++)
      files[i].tags = ReadSongFile(realRoot + "/" + files[i].file());
  };
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> helpers(files.size() < 32 ? 0 : std::min(cores, 4u) - 1);
  for (std::thread& t : helpers) t = std::thread(work);
  work();
  for (std::thread& t : helpers) t.join();
}

bool SameSong(const SongFileTags& a, const SongFileTags& b) {
  return a.durationMs == b.durationMs && a.title == b.title && a.artists == b.artists &&
         a.album == b.album && a.track == b.track;
}

}  // namespace

std::string RealPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return "";
  std::string text = real;
  free(real);
  return text;
}

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
                      const std::function<bool()>& stopAsked) {
  ScanOutcome out;
  std::map<std::string, FileStamp> found;
  std::map<std::string, IndexedFile> known;
  for (const ScanArea& area : Merged(areas)) {
    Walk(realRoot, area.dir, area.recursive, entering, stopAsked, found, out);
    for (IndexedFile& f : index.Under(area.dir, area.recursive)) known[f.path] = std::move(f);
  }
  std::vector<IndexedFile> changed, fresh;
  for (const auto& [path, stamp] : found) {
    auto row = known.find(path);
    if (row == known.end()) {
      fresh.push_back({path, stamp.target, stamp.size, stamp.mtimeNs, 0, std::nullopt});
    } else {
      IndexedFile& f = row->second;
      if (f.size != stamp.size || f.mtimeNs != stamp.mtimeNs || f.target != stamp.target) {
        f.size = stamp.size;
        f.mtimeNs = stamp.mtimeNs;
        f.target = stamp.target;
        changed.push_back(std::move(f));
      }
      known.erase(row);
    }
  }
  // What is left in known vanished; a fresh file may be one of them, moved: of the same size, and
  // of the same modification time (a rename: its row moves as it is) or the same tags (a copy).
  std::multimap<std::int64_t, const IndexedFile*> vanished;
  for (const auto& [path, row] : known) vanished.emplace(row.size, &row);
  auto findMoved = [&](const IndexedFile& f, const auto& same) {
    auto [from, to] = vanished.equal_range(f.size);
    auto it = std::find_if(from, to, [&](const auto& entry) { return same(*entry.second); });
    return it == to ? vanished.end() : it;
  };
  std::vector<LibraryIndex::Move> moves;
  std::vector<IndexedFile> added;
  for (IndexedFile& f : fresh) {
    auto renamed = findMoved(f, [&](const IndexedFile& old) { return old.mtimeNs == f.mtimeNs; });
    if (renamed == vanished.end()) {
      added.push_back(std::move(f));
      continue;
    }
    f.id = renamed->second->id;
    moves.push_back({renamed->second->path, std::move(f)});
    vanished.erase(renamed);
  }
  out.filesRead = static_cast<int>(changed.size() + added.size());
  ReadTags(realRoot, changed, stopAsked);
  ReadTags(realRoot, added, stopAsked);
  out.stopped = out.stopped || stopAsked();
  if (out.stopped) return out;

  std::set<std::uint64_t> used;
  std::vector<std::string> gone;
  for (IndexedFile& f : added) {
    auto copied = findMoved(f, [&](const IndexedFile& old) {
      if (!f.tags) return false;
      auto tags = index.TagsOf(old.path);
      return tags && SameSong(*f.tags, *tags);
    });
    if (copied != vanished.end()) {
      f.id = copied->second->id;
      gone.push_back(copied->second->path);
      vanished.erase(copied);
    } else {
      f.id = StableId("song:" + f.path);
      for (int n = 1; used.count(f.id) || index.IdTaken(f.id); ++n)
        f.id = StableId("song:" + f.path + "#" + std::to_string(n));
    }
    used.insert(f.id);
    changed.push_back(std::move(f));
  }
  for (const auto& [size, row] : vanished) gone.push_back(row->path);
  index.Apply(gone, changed, moves);
  out.indexChanged = !gone.empty() || !changed.empty() || !moves.empty();
  return out;
}

}  // namespace lumora::server
