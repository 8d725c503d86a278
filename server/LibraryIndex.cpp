#include "LibraryIndex.h"

#include "SqlStatement.h"

namespace lumora::server {

namespace {

// Index rows whose form differs are dropped; the next scan reads their files again.
constexpr int kSchema = 2;
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

}  // namespace

LibraryIndex::~LibraryIndex() {
  if (db_) sqlite3_close(db_);
}

bool LibraryIndex::Exec(const char* sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  if (error) *error = message ? message : "sqlite error";
  sqlite3_free(message);
  return false;
}

bool LibraryIndex::Open(const std::string& file, const std::string& realRoot, std::string* error) {
  if (db_) sqlite3_close(db_);
  db_ = nullptr;
  if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK) {
    if (error) *error = db_ ? sqlite3_errmsg(db_) : "cannot open the library index";
    return false;
  }
  // A lost write costs one file read again at the next start, never the accounts.
  if (!Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
            "CREATE TABLE IF NOT EXISTS facts(name TEXT PRIMARY KEY, value TEXT NOT NULL);",
            error))
    return false;
  std::string root, schema;
  {
    SqlStatement r(db_, "SELECT name, value FROM facts");
    while (r.Step()) (r.Text(0) == "root" ? root : schema) = r.Text(1);
  }
  if (root != realRoot || schema != std::to_string(kSchema)) {
    if (!Exec("DROP TABLE IF EXISTS files;", error)) return false;
    SqlStatement r(db_,
                   "INSERT OR REPLACE INTO facts(name, value) VALUES('root', ?1), ('schema', ?2)");
    r.Bind(1, realRoot);
    r.Bind(2, std::to_string(kSchema));
    if (!r.Done()) {
      if (error) *error = sqlite3_errmsg(db_);
      return false;
    }
  }
  // duration_ms is NULL for a file the reader refused.
  return Exec(
      "CREATE TABLE IF NOT EXISTS files(path BLOB PRIMARY KEY, size INTEGER NOT NULL,"
      " mtime_ns INTEGER NOT NULL, id INTEGER NOT NULL, duration_ms INTEGER, title BLOB,"
      " artists BLOB, album BLOB, album_artist BLOB, compilation INTEGER, disc INTEGER,"
      " track INTEGER, genre BLOB, has_picture INTEGER, extension TEXT, mime TEXT,"
      " target BLOB NOT NULL);"
      "CREATE INDEX IF NOT EXISTS files_by_id ON files(id);",
      error);
}

std::vector<IndexedFile> LibraryIndex::Under(const std::string& dir, bool recursive) {
  const std::string prefix = dir.empty() ? "" : dir + "/";
  // Every path that starts with prefix sorts between prefix and prefix with its "/" raised by one.
  SqlStatement r(db_, dir.empty() ? "SELECT path, size, mtime_ns, id, target FROM files"
                                  : "SELECT path, size, mtime_ns, id, target FROM files"
                                    " WHERE path >= ?1 AND path < ?2");
  if (!dir.empty()) {
    r.Bind(1, prefix);
    r.Bind(2, dir + "0");
  }
  std::vector<IndexedFile> rows;
  while (r.Step()) {
    IndexedFile f;
    f.path = r.Text(0);
    if (!recursive && f.path.find('/', prefix.size()) != std::string::npos) continue;
    f.size = r.Int(1);
    f.mtimeNs = r.Int(2);
    f.id = static_cast<std::uint64_t>(r.Int(3));
    f.target = r.Text(4);
    rows.push_back(std::move(f));
  }
  return rows;
}

std::vector<std::pair<std::string, std::string>> LibraryIndex::FileLinks() {
  SqlStatement r(db_, "SELECT path, target FROM files WHERE length(target) > 0");
  std::vector<std::pair<std::string, std::string>> links;
  while (r.Step()) links.emplace_back(r.Text(0), r.Text(1));
  return links;
}

std::optional<SongFileTags> LibraryIndex::TagsOf(const std::string& path) {
  SqlStatement r(db_, (std::string("SELECT ") + kColumns + " FROM files WHERE path = ?1").c_str());
  r.Bind(1, path);
  return r.Step() ? ReadTags(r) : std::nullopt;
}

void LibraryIndex::ForEach(const std::function<void(const IndexedFile&)>& each) {
  SqlStatement r(db_, (std::string("SELECT ") + kColumns + " FROM files ORDER BY path").c_str());
  while (r.Step()) {
    IndexedFile f;
    f.path = r.Text(0);
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

bool LibraryIndex::IdTaken(std::uint64_t id) {
  SqlStatement r(db_, "SELECT 1 FROM files WHERE id = ?1");
  r.Bind(1, static_cast<std::int64_t>(id));
  return r.Step();
}

bool LibraryIndex::Apply(const std::vector<std::string>& gone,
                         const std::vector<IndexedFile>& changed, const std::vector<Move>& moved) {
  if (gone.empty() && changed.empty() && moved.empty()) return true;
  if (!Exec("BEGIN IMMEDIATE;", nullptr)) return false;
  bool ok = true;
  for (const std::string& path : gone) {
    SqlStatement r(db_, "DELETE FROM files WHERE path = ?1");
    r.Bind(1, path);
    ok = r.Done() && ok;
  }
  for (const Move& m : moved) {
    SqlStatement r(
        db_, "UPDATE files SET path = ?2, size = ?3, mtime_ns = ?4, target = ?5 WHERE path = ?1");
    r.Bind(1, m.from);
    r.Bind(2, m.to.path);
    r.Bind(3, m.to.size);
    r.Bind(4, m.to.mtimeNs);
    r.Bind(5, m.to.target);
    ok = r.Done() && ok;
  }
  for (const IndexedFile& f : changed) {
    SqlStatement r(db_, (std::string("INSERT OR REPLACE INTO files(") + kColumns +
                         ") VALUES(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14,?15,?16,?17)")
                            .c_str());
    r.Bind(1, f.path);
    r.Bind(2, f.size);
    r.Bind(3, f.mtimeNs);
    r.Bind(4, static_cast<std::int64_t>(f.id));
    r.Bind(17, f.target);
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
    }
    ok = r.Done() && ok;
  }
  return Exec(ok ? "COMMIT;" : "ROLLBACK;", nullptr) && ok;
}

}  // namespace lumora::server
