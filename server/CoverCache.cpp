#include "CoverCache.h"

#include <sys/stat.h>

namespace lumora::server {

namespace {

std::size_t Size(const std::shared_ptr<const Picture>& picture) {
  return picture ? picture->bytes.size() : 0;
}

}  // namespace

std::shared_ptr<const Picture> CoverCache::Get(const std::string& songFile) {
  struct stat st {};
  if (stat(songFile.c_str(), &st) != 0) return nullptr;
  const std::int64_t mtimeNs = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  {
    std::lock_guard lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->file != songFile) continue;
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
  // A file without a picture is kept too, so that its album's cover does not open it each time.
  std::optional<Picture> read = ReadEmbeddedPicture(songFile);
  auto picture = read ? std::make_shared<const Picture>(std::move(*read)) : nullptr;
  if (Size(picture) > kMaxBytes) return picture;
  std::lock_guard lock(mutex_);
  entries_.push_front({songFile, st.st_size, mtimeNs, picture});
  bytes_ += Size(picture);
  while (entries_.size() > kMaxPictures || bytes_ > kMaxBytes) {
    bytes_ -= Size(entries_.back().picture);
    entries_.pop_back();
  }
  return picture;
}

}  // namespace lumora::server
