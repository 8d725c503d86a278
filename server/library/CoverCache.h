#pragma once
// The album covers asked for last: a song's embedded picture (read by a tag reader), else the
// picture file in its folder, else in its album's folder (cover.*, folder.*, front.*: jpg, jpeg
// or png, any case; the album's folder holds its disc folders), each read
// beneath the library's root and only as Picture.h allows. Bounded in count and in bytes, and
// never a picture of a file changed since, so a page of covers does not open one file many times.
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "songfiles/Picture.h"
#include "songfiles/TagReader.h"

namespace lumora::server {

class CoverCache {
 public:
  explicit CoverCache(TagReaders& readers) : readers_(readers) {}

  // The cover of the song at songFile, inside root: its embedded picture (when the scan found
  // one), else its folder's, else albumFolder's; nullptr when none is one to show.
  std::shared_ptr<const Picture> Get(const std::string& root, const std::string& songFile,
                                     bool embedded, const std::string& albumFolder);

  static constexpr std::size_t kMaxPictures = 64;
  static constexpr std::size_t kMaxBytes = 32 << 20;

 private:
  // What file (open at fd) holds as it is now: from the cache, else read() and kept.
  std::shared_ptr<const Picture> Cached(const std::string& file, int fd,
                                        const std::function<std::optional<Picture>()>& read);
  std::shared_ptr<const Picture> FolderPicture(const std::string& root, const std::string& dir);

  struct Entry {
    std::string file;
    std::int64_t size = 0, mtimeNs = 0;
    std::shared_ptr<const Picture> picture;
  };
  TagReaders& readers_;
  std::mutex mutex_;
  std::list<Entry> entries_;  // the most recently asked first
  std::size_t bytes_ = 0;
};

}  // namespace lumora::server
