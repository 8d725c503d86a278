#include "library/CoverCache.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <tuple>
#include <vector>

#include "base/OpenBeneath.h"
#include "common/Text.h"

namespace lumora::server {

namespace {

std::size_t Size(const std::shared_ptr<const Picture>& picture) {
  return picture ? picture->bytes.size() : 0;
}

// How a folder's picture file ranks: cover, folder, front; -1 for any other file.
int Rank(const std::string& name) {
  const std::string lower = ToLowerAscii(name);
  const std::size_t dot = lower.rfind('.');
  if (dot == std::string::npos) return -1;
  const std::string ext = lower.substr(dot + 1), stem = lower.substr(0, dot);
  if (ext != "jpg" && ext != "jpeg" && ext != "png") return -1;
  return stem == "cover" ? 0 : stem == "folder" ? 1 : stem == "front" ? 2 : -1;
}

}  // namespace

std::shared_ptr<const Picture> CoverCache::Get(const std::string& root, const std::string& songFile,
                                               bool embedded, const std::string& albumFolder) {
  const std::string dir = songFile.substr(0, songFile.rfind('/'));
  auto folders = [&]() {
    auto picture = FolderPicture(root, dir);
    return picture || albumFolder.empty() || albumFolder == dir ? picture
                                                                : FolderPicture(root, albumFolder);
  };
  if (!embedded) return folders();
  const int fd = OpenFileBeneath(root, songFile);
  if (fd < 0) return nullptr;
  // A file without a picture is kept too, so that its album's cover does not open it each time.
  auto picture = Cached(songFile, fd, [&] {
    std::optional<Picture> picture;
    std::string why;
    if (!readers_.ReadPicture(fd, songFile.substr(songFile.rfind('/') + 1), &picture, &why))
      std::fprintf(stderr, "lumora-server: no picture from %s: %s\n", songFile.c_str(),
                   why.c_str());
    return picture;
  });
  close(fd);
  return picture ? picture : folders();
}

std::shared_ptr<const Picture> CoverCache::FolderPicture(const std::string& root,
                                                         const std::string& dir) {
  const int fd = OpenFolderBeneath(root, dir == root ? "" : dir.substr(root.size() + 1));
  DIR* d = fd < 0 ? nullptr : fdopendir(fd);
  if (!d) {
    if (fd >= 0) close(fd);
    return nullptr;
  }
  // The lowest rank, then the first name, whatever order the folder lists them in.
  std::vector<std::tuple<int, std::string>> found;
  while (dirent* e = readdir(d))
    if (const int rank = Rank(e->d_name); rank >= 0) found.emplace_back(rank, e->d_name);
  closedir(d);
  std::sort(found.begin(), found.end());
  for (const auto& [rank, name] : found) {
    const std::string file = dir + "/" + name;
    const int picture = OpenFileBeneath(root, file);
    if (picture < 0) continue;
    auto kept = Cached(file, picture, [&]() -> std::optional<Picture> {
      auto bytes = ReadOpenFile(picture, kMaxPictureBytes);
      return bytes ? KeptPicture(std::move(*bytes)) : std::nullopt;
    });
    close(picture);
    if (kept) return kept;
  }
  return nullptr;
}

std::shared_ptr<const Picture> CoverCache::Cached(
    const std::string& file, int fd, const std::function<std::optional<Picture>()>& read) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return nullptr;
  const std::int64_t mtimeNs = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  {
    std::lock_guard lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->file != file) continue;
      if (it->size == st.st_size && it->mtimeNs == mtimeNs) {
        entries_.splice(entries_.begin(), entries_, it);
        return it->picture;
      }
      bytes_ -= Size(it->picture);
      entries_.erase(it);
      break;
    }
  }
  // Read outside the lock: other covers are answered meanwhile.
  std::optional<Picture> got = read();
  auto picture = got ? std::make_shared<const Picture>(std::move(*got)) : nullptr;
  std::lock_guard lock(mutex_);
  entries_.push_front({file, st.st_size, mtimeNs, picture});
  bytes_ += Size(picture);
  while (entries_.size() > kMaxPictures || bytes_ > kMaxBytes) {
    bytes_ -= Size(entries_.back().picture);
    entries_.pop_back();
  }
  return picture;
}

}  // namespace lumora::server
