#include "CoverCache.h"

#include <sys/stat.h>

namespace lumora::server {

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
      bytes_ -= it->picture->bytes.size();
      entries_.erase(it);
      break;
    }
  }
  // Read outside the lock: other covers are answered meanwhile.
  std::optional<Picture> read = ReadEmbeddedPicture(songFile);
  if (!read) return nullptr;
  auto picture = std::make_shared<const Picture>(std::move(*read));
  if (picture->bytes.size() > kMaxBytes) return picture;
  std::lock_guard lock(mutex_);
  entries_.push_front({songFile, st.st_size, mtimeNs, picture});
  bytes_ += picture->bytes.size();
  while (entries_.size() > kMaxPictures || bytes_ > kMaxBytes) {
    bytes_ -= entries_.back().picture->bytes.size();
    entries_.pop_back();
  }
  return picture;
}

}  // namespace lumora::server
