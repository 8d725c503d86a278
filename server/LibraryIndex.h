#pragma once
// The saved index of a served library: one row per audio file, keyed by its path below the
// library's real root, with the size and modification time it had when its tags were read.
// It lives in its own SQLite file beside the accounts' database: it can be thrown away and made
// again at any time, and a long scan's writes never hold up a login.
#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "SongFile.h"

namespace lumora::server {

struct IndexedFile {
  std::string path;    // below the root, "/"-separated
  std::string target;  // for a link to a file inside the library: that file; else empty
  std::int64_t size = 0;
  std::int64_t mtimeNs = 0;
  std::uint64_t id = 0;
  std::optional<SongFileTags> tags;  // nullopt: the reader refused the file

  const std::string& file() const { return target.empty() ? path : target; }
};

class LibraryIndex {
 public:
  LibraryIndex() = default;
  ~LibraryIndex();
  LibraryIndex(const LibraryIndex&) = delete;
  LibraryIndex& operator=(const LibraryIndex&) = delete;

  // Opens (creating when absent) the index file; an index of another root is emptied.
  bool Open(const std::string& file, const std::string& realRoot, std::string* error);

  // The rows directly in dir ("" is the root), or anywhere below it when recursive, without
  // their tags (TagsOf reads those).
  std::vector<IndexedFile> Under(const std::string& dir, bool recursive);
  std::optional<SongFileTags> TagsOf(const std::string& path);
  // The links to files inside the library: (path, target).
  std::vector<std::pair<std::string, std::string>> FileLinks();
  // Every row with its tags, in path order.
  void ForEach(const std::function<void(const IndexedFile&)>& each);
  // How many files the reader refused.
  std::int64_t Refused();
  bool IdTaken(std::uint64_t id);

  struct Move {
    std::string from;
    IndexedFile to;  // its tags stay those of the row
  };
  // Removes the rows of gone, writes those of changed and moves those of moved, in one
  // transaction.
  bool Apply(const std::vector<std::string>& gone, const std::vector<IndexedFile>& changed,
             const std::vector<Move>& moved);

 private:
  bool Exec(const char* sql, std::string* error);

  sqlite3* db_ = nullptr;
};

}  // namespace lumora::server
