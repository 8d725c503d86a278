#include "accounts/Store.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <utility>

#include "accounts/Secrets.h"
#include "base/SqlStatement.h"

namespace lumora::server {

namespace {

constexpr std::int64_t kSessionIdleSeconds = std::int64_t{kSessionIdleDays} * 24 * 3600;

std::int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

const std::vector<Account>& DemoAccounts() {
  static const std::vector<Account> accounts = {
      {1001, "13800000001", "plain@lumora.test", "", "小鹿听歌", 0},
      {1011, "13800000011", "vip@lumora.test", "", "夜莺", 11},
      {1010, "13800000010", "pack@lumora.test", "", "Music Pack 用户", 10},
  };
  return accounts;
}

Store::~Store() {
  if (db_) sqlite3_close(db_);
}

bool Store::Failed(std::string* error) {
  if (error) *error = sqlite3_errmsg(db_);
  return false;
}

bool Store::Exec(const char* sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    if (error) *error = message ? message : "sqlite error";
    sqlite3_free(message);
    return false;
  }
  return true;
}

// The first form kept the MD5 text itself, which a login took as it was, and session tokens
// in the clear. Run inside Open's transaction.
bool Store::Migrate(std::string* error) {
  bool old = false;
  {
    SqlStatement s(db_, "SELECT 1 FROM pragma_table_info('accounts') WHERE name = 'md5_password'");
    old = s.Step();
  }
  if (!old) return true;
  std::vector<std::pair<std::int64_t, std::string>> accounts;
  {
    SqlStatement s(db_, "SELECT uid, md5_password FROM accounts");
    while (s.Step()) accounts.emplace_back(s.Int(0), s.Text(1));
  }
  if (!Exec("ALTER TABLE accounts ADD COLUMN password_hash TEXT NOT NULL DEFAULT '';", error))
    return false;
  for (const auto& [uid, md5] : accounts) {
    SqlStatement s(db_, "UPDATE accounts SET password_hash = ? WHERE uid = ?");
    s.Bind(1, HashPassword(md5));
    s.Bind(2, uid);
    if (!s.Done()) return Failed(error);
  }
  std::vector<std::string> tokens;
  {
    SqlStatement s(db_, "SELECT token FROM sessions");
    while (s.Step()) tokens.push_back(s.Text(0));
  }
  for (const std::string& token : tokens) {
    SqlStatement s(db_, "UPDATE sessions SET token = ? WHERE token = ?");
    s.Bind(1, TokenDigest(token));
    s.Bind(2, token);
    if (!s.Done()) return Failed(error);
  }
  return Exec(
      "ALTER TABLE accounts DROP COLUMN md5_password;"
      "ALTER TABLE sessions ADD COLUMN last_used INTEGER NOT NULL DEFAULT 0;"
      "UPDATE sessions SET last_used = created;",
      error);
}

bool Store::Open(const std::string& path, std::string* error) {
  std::lock_guard lock(mutex_);
  if (OpenWritable(path, error)) return true;
  // On a full disk (or in a read-only folder) what is stored can still be read: the service
  // goes on, and every login, logout and like is refused (500) as any write the disk refuses,
  // until the next start.
  sqlite3_close(db_);
  db_ = nullptr;
  std::string uri = "file:";
  for (char c : path)
    uri += c == '?' ? "%3F" : c == '#' ? "%23" : c == '%' ? "%25" : std::string(1, c);
  if (sqlite3_open_v2((uri + "?immutable=1").c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                      nullptr) != SQLITE_OK ||
      !SqlStatement(db_, "SELECT count(*) FROM accounts").Step())
    return false;
  std::fprintf(stderr,
               "lumora-server: cannot write the accounts' database (%s); serving what it holds,"
               " and refusing logins, logouts and likes until a start with room to write\n",
               error ? error->c_str() : "");
  return true;
}

bool Store::OpenWritable(const std::string& path, std::string* error) {
  // An older version left them readable by all; new journals take the database's mode.
  for (const char* tail : {"", "-wal", "-shm"}) chmod((path + tail).c_str(), 0600);
  if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
    if (error) *error = db_ ? sqlite3_errmsg(db_) : "cannot open database";
    return false;
  }
  sqlite3_busy_timeout(db_, 5000);
  if (!Exec("PRAGMA journal_mode=WAL; PRAGMA secure_delete=ON; BEGIN IMMEDIATE;", error))
    return false;
  if (!Migrate(error) ||
      !Exec("CREATE TABLE IF NOT EXISTS accounts(uid INTEGER PRIMARY KEY, phone TEXT UNIQUE,"
            " email TEXT UNIQUE, nickname TEXT NOT NULL, vip_type INTEGER NOT NULL DEFAULT 0,"
            " password_hash TEXT NOT NULL);"
            "CREATE TABLE IF NOT EXISTS sessions(token TEXT PRIMARY KEY, uid INTEGER NOT NULL,"
            " created INTEGER NOT NULL, last_used INTEGER NOT NULL);"
            "CREATE TABLE IF NOT EXISTS likes(uid INTEGER NOT NULL, song_id TEXT NOT NULL,"
            " created INTEGER NOT NULL, PRIMARY KEY(uid, song_id));",
            error)) {
    Exec("ROLLBACK;", nullptr);
    return false;
  }
  for (const Account& a : DemoAccounts()) {
    SqlStatement known(db_, "SELECT 1 FROM accounts WHERE uid = ?");
    known.Bind(1, static_cast<std::int64_t>(a.uid));
    if (known.Step()) continue;
    SqlStatement s(db_,
                   "INSERT INTO accounts(uid, phone, email, password_hash, nickname, vip_type)"
                   " VALUES(?,?,?,?,?,?)");
    s.Bind(1, static_cast<std::int64_t>(a.uid));
    s.Bind(2, a.phone);
    s.Bind(3, a.email);
    s.Bind(4, HashPassword(kDemoPasswordMd5));
    s.Bind(5, a.nickname);
    s.Bind(6, static_cast<std::int64_t>(a.vipType));
    if (!s.Done()) {
      Failed(error);
      Exec("ROLLBACK;", nullptr);
      return false;
    }
  }
  // Pages from before the migration leave the journal for the database file, where
  // secure_delete has zeroed what was replaced.
  return Exec("COMMIT; PRAGMA wal_checkpoint(TRUNCATE);", error);
}

std::optional<Account> Store::QueryAccount(const char* sql, const std::string& key,
                                           std::int64_t after) {
  std::lock_guard lock(mutex_);
  SqlStatement s(db_, sql);
  s.Bind(1, key);
  if (s.Parameters() > 1) s.Bind(2, after);
  if (!s.Step()) return std::nullopt;
  Account a;
  a.uid = static_cast<std::uint64_t>(s.Int(0));
  a.phone = s.Text(1);
  a.email = s.Text(2);
  a.passwordHash = s.Text(3);
  a.nickname = s.Text(4);
  a.vipType = static_cast<int>(s.Int(5));
  return a;
}

#define ACCOUNT_COLUMNS "a.uid, a.phone, a.email, a.password_hash, a.nickname, a.vip_type"

std::optional<Account> Store::AccountByPhone(const std::string& phone) {
  return QueryAccount("SELECT " ACCOUNT_COLUMNS " FROM accounts a WHERE a.phone = ?", phone);
}

std::optional<Account> Store::AccountByEmail(const std::string& email) {
  return QueryAccount("SELECT " ACCOUNT_COLUMNS " FROM accounts a WHERE lower(a.email) = lower(?)",
                      email);
}

std::optional<Account> Store::AccountById(std::uint64_t uid) {
  return QueryAccount("SELECT " ACCOUNT_COLUMNS " FROM accounts a WHERE a.uid = ?",
                      std::to_string(uid));
}

std::optional<Account> Store::AccountBySession(const std::string& token) {
  if (token.empty()) return std::nullopt;
  const std::string digest = TokenDigest(token);
  const std::int64_t now = NowSeconds();
  auto account = QueryAccount("SELECT " ACCOUNT_COLUMNS
                              " FROM sessions s JOIN accounts a ON a.uid = s.uid"
                              " WHERE s.token = ? AND s.last_used > ?",
                              digest, now - kSessionIdleSeconds);
  if (account) {
    // At most one write a minute per session: the disuse counts in days.
    std::lock_guard lock(mutex_);
    SqlStatement s(db_, "UPDATE sessions SET last_used = ? WHERE token = ? AND last_used < ?");
    s.Bind(1, now);
    s.Bind(2, digest);
    s.Bind(3, now - 60);
    // A touch that cannot be written (a full disk) costs at most an earlier end of the
    // session; what is answered was read, not written.
    static_cast<void>(s.Done());
  }
  return account;
}

std::optional<std::string> Store::CreateSession(std::uint64_t uid) {
  const std::string token = RandomHex(24);
  const std::int64_t now = NowSeconds();
  std::lock_guard lock(mutex_);
  // All or nothing: a session that is not stored is not handed out, and a failed clean-up
  // takes the new session back with it.
  if (!Exec("BEGIN IMMEDIATE;", nullptr)) return std::nullopt;
  SqlStatement s(db_, "INSERT INTO sessions(token, uid, created, last_used) VALUES(?,?,?,?)");
  s.Bind(1, TokenDigest(token));
  s.Bind(2, static_cast<std::int64_t>(uid));
  s.Bind(3, now);
  s.Bind(4, now);
  SqlStatement expired(db_, "DELETE FROM sessions WHERE last_used <= ?");
  expired.Bind(1, now - kSessionIdleSeconds);
  SqlStatement surplus(db_,
                       "DELETE FROM sessions WHERE uid = ?1 AND rowid NOT IN (SELECT rowid FROM"
                       " sessions WHERE uid = ?1 ORDER BY created DESC, rowid DESC LIMIT ?2)");
  surplus.Bind(1, static_cast<std::int64_t>(uid));
  surplus.Bind(2, static_cast<std::int64_t>(kSessionsPerAccount));
  if (s.Done() && expired.Done() && surplus.Done() && Exec("COMMIT;", nullptr)) return token;
  Exec("ROLLBACK;", nullptr);
  return std::nullopt;
}

bool Store::EndSession(const std::string& token) {
  std::lock_guard lock(mutex_);
  SqlStatement s(db_, "DELETE FROM sessions WHERE token = ?");
  s.Bind(1, TokenDigest(token));
  return s.Done();
}

bool Store::AddLike(std::uint64_t uid, std::uint64_t songId) {
  std::lock_guard lock(mutex_);
  SqlStatement s(db_, "INSERT OR REPLACE INTO likes(uid, song_id, created) VALUES(?,?,?)");
  s.Bind(1, static_cast<std::int64_t>(uid));
  s.Bind(2, std::to_string(songId));
  s.Bind(3, NowSeconds());
  return s.Done();
}
std::vector<std::uint64_t> Store::Likes(std::uint64_t uid) {
  std::lock_guard lock(mutex_);
  SqlStatement s(db_, "SELECT song_id FROM likes WHERE uid = ? ORDER BY created DESC, rowid DESC");
  s.Bind(1, static_cast<std::int64_t>(uid));
  std::vector<std::uint64_t> ids;
  while (s.Step()) ids.push_back(std::stoull(s.Text(0)));
  return ids;
}

}  // namespace lumora::server
