#include "library/LibraryIndex.h"

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <utility>

#include "base/SqlStatement.h"

namespace lumora::server {

namespace {

// Index rows of another form, or read by an older reader, are converted: their ids stay, their
// files are read again. 4: code pages beside GBK, names from paths, MP3 lengths from frames, and
// each song's loudness.
constexpr int kSchema = 4;
// How long a write waits for a lock held elsewhere before it counts as failed.
constexpr int kBusyMs = 2000;
constexpr int kOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
constexpr char kArtistSeparator = '\x1f';

std::string JoinArtists(const std::vector<std::string>& artists) {
  std::string text;
  for (const std::string& a : artists)
    text += (text.empty() ? "" : std::string(1, kArtistSeparator)) + a;
  return text;
}

std::vector<std::string> SplitArtists(const std::string& text) {
  std::vector<std::string> artists;
  for (std::size_t at = 0; !text.empty() && at <= text.size();) {
    std::size_t end = text.find(kArtistSeparator, at);
    if (end == std::string::npos) end = text.size();
    artists.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return artists;
}

constexpr const char* kColumns =
    "path, size, mtime_ns, id, duration_ms, title, artists, album, album_artist, compilation,"
    " disc, track, genre, has_picture, extension, mime, target";

// A row without its tags, as the scan and the loudness survey hold it.
constexpr const char* kRowColumns = "path, size, mtime_ns, id, target, fingerprint";

IndexedRow RowOf(const SqlStatement& r) {
  IndexedRow f;
  f.path = r.Text(0);
  f.size = r.Int(1);
  f.mtimeNs = r.Int(2);
  f.id = static_cast<std::uint64_t>(r.Int(3));
  f.target = r.Text(4);
  f.fingerprint = static_cast<std::uint64_t>(r.Int(5));
  return f;
}

// The figures of a row's ReplayGain, bound from the given parameter on.
void BindGain(SqlStatement& r, int first, const ReplayGain& gain) {
  for (const std::optional<double>* figure :
       {&gain.trackGain, &gain.trackPeak, &gain.albumGain, &gain.albumPeak}) {
    if (*figure) r.Bind(first, **figure);
    ++first;
  }
}

std::optional<double> Figure(const SqlStatement& r, int column) {
  return r.Null(column) ? std::nullopt : std::optional<double>(r.Real(column));
}

// The tags of a row selected with kColumns; nullopt for a file the reader refused.
std::optional<SongFileTags> ReadTags(const SqlStatement& r) {
  if (r.Null(4)) return std::nullopt;
  SongFileTags t;
  t.durationMs = r.Int(4);
  t.title = r.Text(5);
  t.artists = SplitArtists(r.Text(6));
  t.album = r.Text(7);
  t.albumArtist = r.Text(8);
  t.compilation = r.Int(9) != 0;
  t.disc = static_cast<int>(r.Int(10));
  t.track = static_cast<int>(r.Int(11));
  t.genre = r.Text(12);
  t.hasPicture = r.Int(13) != 0;
  t.extension = r.Text(14);
  t.mime = r.Text(15);
  return t;
}

bool Exec(sqlite3* db, const char* sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  if (error) *error = message ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  return false;
}

// The index file opened for reading and writing and checked; nullptr, with error, when it
// cannot be, and damaged set when that is because its content is broken.
sqlite3* OpenFile(const std::string& file, std::string* error, bool* damaged) {
  sqlite3* db = nullptr;
  *damaged = false;
  bool ok = sqlite3_open_v2(file.c_str(), &db, kOpenFlags, nullptr) == SQLITE_OK;
  if (ok) {
    sqlite3_busy_timeout(db, kBusyMs);
    // A lost write costs one file read again at the next start, never the accounts.
    ok = Exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", error);
  }
  if (ok) {
    // A file cut short or overwritten in part opens well and fails somewhere in the middle.
    // (A check that cannot run at all, on a full disk say, tells nothing of the content.)
    SqlStatement check(db, "PRAGMA quick_check(1)");
    ok = check.Step() && check.Text(0) == "ok";
    if (!ok && !check.Text(0).empty()) {
      *damaged = true;
      *error = check.Text(0);
    }
  }
  if (ok) return db;
  const int code = db ? sqlite3_errcode(db) & 0xFF : SQLITE_CANTOPEN;
  *damaged = *damaged || code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
  if (error->empty()) *error = db ? sqlite3_errmsg(db) : "cannot open it";
  sqlite3_close(db);
  return nullptr;
}

// The rows that can still be read from an index (their path, id, size and link), each id once;
// their files are read again (no modification time matches -1).
std::vector<IndexedFile> Salvage(sqlite3* db) {
  std::vector<IndexedFile> rows;
  std::set<std::uint64_t> ids;
  SqlStatement r(db, "SELECT path, id, size, target FROM files");
  while (r.Step()) {
    IndexedFile f;
    f.path = r.Text(0);
    f.id = static_cast<std::uint64_t>(r.Int(1));
    f.size = r.Int(2);
    f.mtimeNs = -1;
    f.target = r.Text(3);
    if (ids.insert(f.id).second) rows.push_back(std::move(f));
  }
  return rows;
}

// Removes the rows of gone and writes those of changed, in one transaction.
bool WriteRows(sqlite3* db, const std::vector<std::string>& gone,
               const std::vector<IndexedFile>& changed, std::string* error) {
  if (gone.empty() && changed.empty()) return true;
  if (!Exec(db, "BEGIN IMMEDIATE;", error)) return false;
  bool ok = true;
  for (const std::string& path : gone) {
    SqlStatement r(db, "DELETE FROM files WHERE path = ?1");
    r.Bind(1, path);
    ok = ok && r.Done();
  }
  for (const IndexedFile& f : changed) {
    if (!ok) break;
    SqlStatement r(db, (std::string("INSERT OR REPLACE INTO files(") + kColumns +
                        ", fingerprint, lyric, gain_from, track_gain, track_peak, album_gain,"
                        " album_peak) VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,"
                        "?16,?17,?18,?19,?20,?21,?22,?23,?24)")
                           .c_str());
    r.Bind(1, f.path);
    r.Bind(2, f.size);
    r.Bind(3, f.mtimeNs);
    r.Bind(4, static_cast<std::int64_t>(f.id));
    r.Bind(17, f.target);
    r.Bind(18, static_cast<std::int64_t>(f.fingerprint));
    if (const auto& t = f.tags) {
      r.Bind(5, t->durationMs);
      r.Bind(6, t->title);
      r.Bind(7, JoinArtists(t->artists));
      r.Bind(8, t->album);
      r.Bind(9, t->albumArtist);
      r.Bind(10, std::int64_t{t->compilation});
      r.Bind(11, std::int64_t{t->disc});
      r.Bind(12, std::int64_t{t->track});
      r.Bind(13, t->genre);
      r.Bind(14, std::int64_t{t->hasPicture});
      r.Bind(15, t->extension);
      r.Bind(16, t->mime);
      if (!t->lyric.empty()) r.Bind(19, t->lyric);
      // A song without a figure of its own waits for the measurement (gain_from NULL).
      if (!t->gain.empty()) {
        r.Bind(20, std::int64_t{LibraryIndex::kGainFromTags});
        BindGain(r, 21, t->gain);
      }
    }
    ok = r.Done();
  }
  if (!ok && error) *error = sqlite3_errmsg(db);
  return Exec(db, ok ? "COMMIT;" : "ROLLBACK;", ok ? error : nullptr) && ok;
}

// Copies the database src into dst; SQLITE_DONE when it is all there.
int Copy(sqlite3* src, sqlite3* dst) {
  sqlite3_backup* backup = sqlite3_backup_init(dst, "main", src, "main");
  if (!backup) return sqlite3_errcode(dst);
  sqlite3_backup_step(backup, -1);
  return sqlite3_backup_finish(backup) == SQLITE_OK ? SQLITE_DONE : sqlite3_errcode(dst);
}

// The rows that can still be read from an index file (see Salvage).
std::vector<IndexedFile> SalvageFile(const std::string& file) {
  sqlite3* db = nullptr;
  std::vector<IndexedFile> rows;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK)
    rows = Salvage(db);
  sqlite3_close(db);
  return rows;
}

// What an index file holds, where it can be read, copied into db.
void LoadFile(const std::string& file, sqlite3* db) {
  sqlite3* from = nullptr;
  if (sqlite3_open_v2(file.c_str(), &from, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK)
    Copy(from, db);
  sqlite3_close(from);
}

// Moves a damaged index and its journal aside, where a person may look at them.
void MoveAside(const std::string& file, const std::string& aside) {
  std::error_code ec;
  std::filesystem::rename(file, aside, ec);
  std::filesystem::rename(file + "-wal", aside + "-wal", ec);
  std::filesystem::remove(file + "-shm", ec);
}

}  // namespace

LibraryIndex::~LibraryIndex() {
  if (db_) sqlite3_close(db_);
}

void LibraryIndex::Use(sqlite3* db, bool inMemory) {
  std::unique_lock lock(swap_);
  if (db_) sqlite3_close(db_);
  db_ = db;
  inMemory_ = inMemory;
}

std::string LibraryIndex::SavedRoot(const std::string& file, const std::string& given) {
  sqlite3* db = nullptr;
  std::string root, named;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    SqlStatement r(db, "SELECT name, value FROM facts WHERE name IN ('root', 'given')");
    while (r.Step()) (r.Text(0) == "root" ? root : named) = r.Text(1);
  }
  sqlite3_close(db);
  // An index from before the name was kept: its root, when it is the name.
  return named == given || (named.empty() && root == given) ? root : "";
}

bool LibraryIndex::Open(const std::string& file, const std::string& realRoot,
                        const std::string& given, std::string* error) {
  file_ = file;
  root_ = realRoot;
  given_ = given;
  std::string why;
  bool damaged = false;
  sqlite3* db = OpenFile(file, &why, &damaged);
  std::vector<IndexedFile> kept;
  if (!db && damaged) {
    kept = SalvageFile(file);
    const std::string aside = file + ".damaged";
    MoveAside(file, aside);
    std::fprintf(stderr,
                 "lumora-server: the library index was damaged (%s); moved it to %s and making it"
                 " again, keeping the ids of the %zu songs that could be read from it\n",
                 why.c_str(), aside.c_str(), kept.size());
    why.clear();
    db = OpenFile(file, &why, &damaged);
  }
  if (db && Prepare(db, &why) && WriteRows(db, {}, kept, &why)) {
    Use(db, false);
    return true;
  }
  sqlite3_close(db);
  std::fprintf(stderr,
               "lumora-server: cannot write the library index %s (%s); keeping it in memory until"
               " it can be written\n",
               file.c_str(), why.c_str());
  sqlite3* memory = nullptr;
  if (sqlite3_open_v2(":memory:", &memory, kOpenFlags, nullptr) != SQLITE_OK) {
    if (error) *error = "no memory for the library index";
    sqlite3_close(memory);
    return false;
  }
  if (!damaged) LoadFile(file, memory);
  Use(memory, true);
  return Prepare(memory, error) && WriteRows(memory, {}, kept, error);
}

bool LibraryIndex::Prepare(sqlite3* db, std::string* error) {
  if (!Exec(db, "CREATE TABLE IF NOT EXISTS facts(name TEXT PRIMARY KEY, value TEXT NOT NULL);",
            error))
    return false;
  std::string root, schema, given;
  {
    SqlStatement r(db, "SELECT name, value FROM facts");
    while (r.Step())
      (r.Text(0) == "root" ? root : r.Text(0) == "given" ? given : schema) = r.Text(1);
  }
  if (given != given_) {
    SqlStatement r(db, "INSERT OR REPLACE INTO facts(name, value) VALUES('given', ?1)");
    r.Bind(1, given_);
    if (!r.Done()) {
      if (error) *error = sqlite3_errmsg(db);
      return false;
    }
  }
  std::vector<IndexedFile> kept;
  if (root != root_ || schema != std::to_string(kSchema)) {
    if (root == root_) kept = Salvage(db);  // an older form: its ids stay
    if (!Exec(db, "DROP TABLE IF EXISTS files;", error)) return false;
    SqlStatement r(db,
                   "INSERT OR REPLACE INTO facts(name, value) VALUES('root', ?1), ('schema', ?2)");
    r.Bind(1, root_);
    r.Bind(2, std::to_string(kSchema));
    if (!r.Done()) {
      if (error) *error = sqlite3_errmsg(db);
      return false;
    }
  }
  // duration_ms is NULL for a file the reader refused.
  if (!Exec(db,
            "CREATE TABLE IF NOT EXISTS files(path BLOB PRIMARY KEY, size INTEGER NOT NULL,"
            " mtime_ns INTEGER NOT NULL, id INTEGER NOT NULL, duration_ms INTEGER, title BLOB,"
            " artists BLOB, album BLOB, album_artist BLOB, compilation INTEGER, disc INTEGER,"
            " track INTEGER, genre BLOB, has_picture INTEGER, extension TEXT, mime TEXT,"
            " target BLOB NOT NULL, fingerprint INTEGER NOT NULL, lyric BLOB, gain_from INTEGER,"
            " track_gain REAL, track_peak REAL, album_gain REAL, album_peak REAL);"
            "CREATE INDEX IF NOT EXISTS files_by_id ON files(id);"
            "CREATE INDEX IF NOT EXISTS files_unmeasured ON files(path)"
            " WHERE gain_from IS NULL AND duration_ms IS NOT NULL;"
            // Links and refused files are few: counted and listed without a look at every row.
            "CREATE INDEX IF NOT EXISTS files_links ON files(path) WHERE length(target) > 0;"
            "CREATE INDEX IF NOT EXISTS files_refused ON files(path) WHERE duration_ms IS NULL;",
            error))
    return false;
  return WriteRows(db, {}, kept, error);
}

std::vector<IndexedRow> LibraryIndex::Under(const std::string& dir, bool recursive) {
  const std::string prefix = dir.empty() ? "" : dir + "/";
  // Every path that starts with prefix sorts between prefix and prefix with its "/" raised by one.
  SqlStatement r(db_, (std::string("SELECT ") + kRowColumns + " FROM files" +
                       (dir.empty() ? "" : " WHERE path >= ?1 AND path < ?2"))
                          .c_str());
  if (!dir.empty()) {
    r.Bind(1, prefix);
    r.Bind(2, dir + "0");
  }
  std::vector<IndexedRow> rows;
  while (r.Step())
    if (recursive || r.Text(0).find('/', prefix.size()) == std::string::npos)
      rows.push_back(RowOf(r));
  return rows;
}

std::vector<std::pair<std::string, std::string>> LibraryIndex::FileLinks() {
  SqlStatement r(db_, "SELECT path, target FROM files WHERE length(target) > 0");
  std::vector<std::pair<std::string, std::string>> links;
  while (r.Step()) links.emplace_back(r.Text(0), r.Text(1));
  return links;
}

void LibraryIndex::ForEach(const std::function<void(const IndexedFile&)>& each,
                           const std::string& dir,
                           const std::function<bool(const std::string& path)>& wanted) {
  SqlStatement r(db_, (std::string("SELECT ") + kColumns + " FROM files" +
                       (dir.empty() ? "" : " WHERE path >= ?1 AND path < ?2") + " ORDER BY path")
                          .c_str());
  if (!dir.empty()) {
    r.Bind(1, dir + "/");
    r.Bind(2, dir + "0");
  }
  while (r.Step()) {
    IndexedFile f;
    f.path = r.Text(0);
    if (wanted && !wanted(f.path)) continue;
    if (wanted && !wanted(f.path)) continue;
    f.size = r.Int(1);
    f.mtimeNs = r.Int(2);
    f.id = static_cast<std::uint64_t>(r.Int(3));
    f.target = r.Text(16);
    f.tags = ReadTags(r);
    each(f);
  }
}

std::int64_t LibraryIndex::Refused() {
  SqlStatement r(db_, "SELECT count(*) FROM files WHERE duration_ms IS NULL");
  return r.Step() ? r.Int(0) : 0;
}

std::int64_t LibraryIndex::Rows() {
  if (!db_) return 0;
  SqlStatement r(db_, "SELECT count(*) FROM files");
  return r.Step() ? r.Int(0) : 0;
}

bool LibraryIndex::IdTaken(std::uint64_t id) {
  SqlStatement r(db_, "SELECT 1 FROM files WHERE id = ?1");
  r.Bind(1, static_cast<std::int64_t>(id));
  return r.Step();
}

bool LibraryIndex::Apply(const std::vector<std::string>& gone,
                         const std::vector<IndexedFile>& changed, std::string* failure) {
  std::lock_guard writing(writing_);
  written_.insert(written_.end(), gone.begin(), gone.end());
  for (const IndexedFile& f : changed) written_.push_back(f.path);
  if (WriteRows(db_, gone, changed, failure)) return true;
  std::string error;
  return !inMemory_ && ToMemory(&error) && WriteRows(db_, gone, changed, &error);
}

std::vector<std::string> LibraryIndex::TakeWritten() {
  std::lock_guard writing(writing_);
  return std::exchange(written_, {});
}

bool LibraryIndex::ToMemory(std::string* error) {
  sqlite3* memory = nullptr;
  if (sqlite3_open_v2(":memory:", &memory, kOpenFlags, nullptr) != SQLITE_OK ||
      Copy(db_, memory) != SQLITE_DONE) {
    *error = sqlite3_errmsg(memory);
    sqlite3_close(memory);
    return false;
  }
  Use(memory, true);
  return true;
}

bool LibraryIndex::WriteBack(std::string* error) {
  std::lock_guard writing(writing_);
  if (!inMemory_) return true;
  bool damaged = false;
  sqlite3* file = OpenFile(file_, error, &damaged);
  if (!file) return false;
  if (const int done = Copy(db_, file); done != SQLITE_DONE) {
    *error = sqlite3_errstr(done);
    sqlite3_close(file);
    return false;
  }
  Use(file, false);
  return true;
}

std::string LibraryIndex::Lyric(std::uint64_t id) {
  std::shared_lock lock(swap_);
  SqlStatement r(db_, "SELECT lyric FROM files WHERE id = ?1 AND lyric IS NOT NULL");
  r.Bind(1, static_cast<std::int64_t>(id));
  return r.Step() ? r.Text(0) : "";
}

std::vector<IndexedRow> LibraryIndex::Unmeasured(int most) {
  std::shared_lock lock(swap_);
  SqlStatement r(db_,
                 (std::string("SELECT ") + kRowColumns +
                  " FROM files WHERE gain_from IS NULL AND duration_ms IS NOT NULL"
                  " ORDER BY path LIMIT ?1")
                     .c_str());
  r.Bind(1, std::int64_t{most});
  std::vector<IndexedRow> rows;
  while (r.Step()) rows.push_back(RowOf(r));
  return rows;
}

bool LibraryIndex::SetGains(const std::vector<MeasuredGain>& measured, std::string* error) {
  std::lock_guard writing(writing_);
  std::shared_lock lock(swap_);
  if (!Exec(db_, "BEGIN IMMEDIATE;", error)) return false;
  bool ok = true;
  for (const MeasuredGain& m : measured) {
    // Only the file as it was measured: one changed meanwhile is measured again.
    SqlStatement r(db_,
                   "UPDATE files SET gain_from = ?1, track_gain = ?2, track_peak = ?3,"
                   " album_gain = ?4, album_peak = ?5 WHERE path = ?6 AND size = ?7 AND"
                   " mtime_ns = ?8");
    r.Bind(1, std::int64_t{m.gain ? m.from : kGainUnmeasurable});
    if (m.gain) BindGain(r, 2, *m.gain);
    r.Bind(6, m.row.path);
    r.Bind(7, m.row.size);
    r.Bind(8, m.row.mtimeNs);
    ok = ok && r.Done();
  }
  if (!ok && error) *error = sqlite3_errmsg(db_);
  return Exec(db_, ok ? "COMMIT;" : "ROLLBACK;", ok ? error : nullptr) && ok;
}

std::optional<ReplayGain> LibraryIndex::Gain(std::uint64_t id) {
  std::shared_lock lock(swap_);
  SqlStatement r(db_,
                 "SELECT track_gain, track_peak, album_gain, album_peak FROM files WHERE id = ?1"
                 " AND gain_from > 0");
  r.Bind(1, static_cast<std::int64_t>(id));
  if (!r.Step()) return std::nullopt;
  ReplayGain gain{Figure(r, 0), Figure(r, 1), Figure(r, 2), Figure(r, 3)};
  return gain.empty() ? std::nullopt : std::optional<ReplayGain>(gain);
}

}  // namespace lumora::server
