#pragma once
// The last few embedded pictures asked for, so that a page of covers does not open one file many
// times; bounded in count and in bytes, and never a picture of a file changed since.
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "SongFile.h"

namespace lumora::server {

class CoverCache {
 public:
  // The picture songFile holds; nullptr when it holds none.
  std::shared_ptr<const Picture> Get(const std::string& songFile);

  static constexpr std::size_t kMaxPictures = 16;
  static constexpr std::size_t kMaxBytes = 4 << 20;

 private:
  struct Entry {
    std::string file;
    std::int64_t size = 0, mtimeNs = 0;
    std::shared_ptr<const Picture> picture;
  };
  std::mutex mutex_;
  std::list<Entry> entries_;  // the most recently asked first
  std::size_t bytes_ = 0;
};

}  // namespace lumora::server
