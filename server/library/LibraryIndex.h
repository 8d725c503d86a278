#pragma once
// The saved index of a served library: one row per audio file, keyed by its path below the
// library's real root, with the size and modification time it had when its tags were read, a
// fingerprint of its content and the lyric it holds. It lives in its own SQLite file beside the
// accounts' database: it can be thrown away and made again at any time, and a long scan's writes
// never hold up a login.
//
// A damaged file is moved aside and made again, keeping the ids it can still read (so the likes
// that name them stay); a file that cannot be written (a full disk, a lock held elsewhere, a
// read-only folder) leaves the index in memory, filled from the file where it can be read, until
// WriteBack gets it into the file again. Each of these says so on stderr.
#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "songfiles/SongFile.h"

namespace lumora::server {

// A row without its tags: what a scan holds of each file it compares (a tenth of the size).
struct IndexedRow {
  std::string path;    // below the root, "/"-separated
  std::string target;  // for a link to a file inside the library: that file; else empty
  std::int64_t size = 0;
  std::int64_t mtimeNs = 0;
  std::uint64_t id = 0;
  std::uint64_t fingerprint = 0;  // of a few of its blocks; 0: not read

  const std::string& file() const { return target.empty() ? path : target; }
};

struct IndexedFile : IndexedRow {
  std::optional<SongFileTags> tags;  // nullopt: the reader refused the file
};

struct MeasuredGain;

class LibraryIndex {
 public:
  // Where a row's gain came from; NULL in the file until its loudness is known.
  enum GainFrom { kGainUnmeasurable = 0, kGainFromTags = 1, kGainMeasured = 2 };
  LibraryIndex() = default;
  ~LibraryIndex();
  LibraryIndex(const LibraryIndex&) = delete;
  LibraryIndex& operator=(const LibraryIndex&) = delete;

  // Opens (creating when absent) the index file; an index of another root is emptied, one of an
  // older form is converted keeping its ids. given: the root as the user named it. False only
  // when not even memory can hold it.
  bool Open(const std::string& file, const std::string& realRoot, const std::string& given,
            std::string* error);
  // The real root an index file was made for, when it was made for the root named given; else
  // empty. It serves a library whose root cannot be resolved now (a share not mounted).
  static std::string SavedRoot(const std::string& file, const std::string& given);

  // The rows directly in dir ("" is the root), or anywhere below it when recursive, without
  // their tags.
  std::vector<IndexedRow> Under(const std::string& dir, bool recursive);
  // The links to files inside the library: (path, target).
  std::vector<std::pair<std::string, std::string>> FileLinks();
  // Every row (below dir, when given; of the paths wanted, when given) with its tags but the
  // lyric, in path order.
  void ForEach(const std::function<void(const IndexedFile&)>& each, const std::string& dir = "",
               const std::function<bool(const std::string& path)>& wanted = nullptr);
  // How many files the reader refused; how many rows there are.
  std::int64_t Refused();
  std::int64_t Rows();
  bool IdTaken(std::uint64_t id);
  // The lyric a song's file holds; empty when none. From any thread.
  std::string Lyric(std::uint64_t id);

  // Removes the rows of gone and writes those of changed, in one transaction. When the file
  // refuses them, failure says why and the index carries on in memory with them written there;
  // false only when that fails too.
  bool Apply(const std::vector<std::string>& gone, const std::vector<IndexedFile>& changed,
             std::string* failure);
  bool InMemory() const { return inMemory_; }
  // The paths Apply removed or wrote since the last call.
  std::vector<std::string> TakeWritten();

  // Up to most songs whose loudness is not known yet, in path order. From any thread.
  std::vector<IndexedRow> Unmeasured(int most);
  // Keeps what was found of each, in one transaction; a row whose file changed since is left
  // alone. From any thread.
  bool SetGains(const std::vector<MeasuredGain>& measured, std::string* error);
  // A song's gain, when it is known. From any thread.
  std::optional<ReplayGain> Gain(std::uint64_t id);
  // Puts the index in memory into its file again; false, with error, while it cannot.
  bool WriteBack(std::string* error);

 private:
  bool Prepare(sqlite3* db, std::string* error);
  bool ToMemory(std::string* error);
  void Use(sqlite3* db, bool inMemory);

  std::string file_, root_, given_;
  sqlite3* db_ = nullptr;
  bool inMemory_ = false;
  std::shared_mutex swap_;  // held shared by Lyric, alone where db_ changes
  std::mutex writing_;      // one transaction at a time on db_, whichever thread writes
  std::vector<std::string> written_;  // by Apply, under writing_
};

struct MeasuredGain {
  IndexedRow row;
  std::optional<ReplayGain> gain;  // nullopt: it could not be measured
  LibraryIndex::GainFrom from = LibraryIndex::kGainMeasured;
};

}  // namespace lumora::server
