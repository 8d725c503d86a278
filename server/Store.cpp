#include "Store.h"

#include <chrono>
#include <random>

namespace lumora::server {

namespace {

struct Statement {
  sqlite3_stmt* stmt = nullptr;
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr); }
  ~Statement() { sqlite3_finalize(stmt); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  void Bind(int i, const std::string& text) {
    sqlite3_bind_text(stmt, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  void Bind(int i, std::int64_t value) { sqlite3_bind_int64(stmt, i, value); }
  std::string Text(int col) {
    const unsigned char* t = sqlite3_column_text(stmt, col);
    return t ? reinterpret_cast<const char*>(t) : "";
  }
};

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

bool Store::Exec(const char* sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    if (error) *error = message ? message : "sqlite error";
    sqlite3_free(message);
    return false;
  }
  return true;
}

bool Store::Open(const std::string& path, std::string* error) {
  std::lock_guard lock(mutex_);
  if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
    if (error) *error = db_ ? sqlite3_errmsg(db_) : "cannot open database";
    return false;
  }
  sqlite3_busy_timeout(db_, 5000);
  if (!Exec("PRAGMA journal_mode=WAL;"
            "CREATE TABLE IF NOT EXISTS accounts(uid INTEGER PRIMARY KEY, phone TEXT UNIQUE,"
            " email TEXT UNIQUE, md5_password TEXT NOT NULL, nickname TEXT NOT NULL,"
            " vip_type INTEGER NOT NULL DEFAULT 0);"
            "CREATE TABLE IF NOT EXISTS sessions(token TEXT PRIMARY KEY, uid INTEGER NOT NULL,"
            " created INTEGER NOT NULL);"
            "CREATE TABLE IF NOT EXISTS likes(uid INTEGER NOT NULL, song_id TEXT NOT NULL,"
            " created INTEGER NOT NULL, PRIMARY KEY(uid, song_id));",
            error))
    return false;
  for (const Account& a : DemoAccounts()) {
    Statement s(db_,
                "INSERT OR IGNORE INTO accounts(uid, phone, email, md5_password, nickname,"
                " vip_type) VALUES(?,?,?,?,?,?)");
    s.Bind(1, static_cast<std::int64_t>(a.uid));
    s.Bind(2, a.phone);
    s.Bind(3, a.email);
    s.Bind(4, std::string(kDemoPasswordMd5));
    s.Bind(5, a.nickname);
    s.Bind(6, static_cast<std::int64_t>(a.vipType));
    if (sqlite3_step(s.stmt) != SQLITE_DONE) {
      if (error) *error = sqlite3_errmsg(db_);
      return false;
    }
  }
  return true;
}

std::optional<Account> Store::QueryAccount(const char* sql, const std::string& key) {
  std::lock_guard lock(mutex_);
  Statement s(db_, sql);
  s.Bind(1, key);
  if (sqlite3_step(s.stmt) != SQLITE_ROW) return std::nullopt;
  Account a;
  a.uid = static_cast<std::uint64_t>(sqlite3_column_int64(s.stmt, 0));
  a.phone = s.Text(1);
  a.email = s.Text(2);
  a.md5Password = s.Text(3);
  a.nickname = s.Text(4);
  a.vipType = sqlite3_column_int(s.stmt, 5);
  return a;
}

#define ACCOUNT_COLUMNS "a.uid, a.phone, a.email, a.md5_password, a.nickname, a.vip_type"

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
  return QueryAccount("SELECT " ACCOUNT_COLUMNS
                      " FROM sessions s JOIN accounts a ON a.uid = s.uid WHERE s.token = ?",
                      token);
}

std::string Store::CreateSession(std::uint64_t uid) {
  static const char hex[] = "0123456789abcdef";
  std::random_device rd;
  std::string token;
  for (int i = 0; i < 48; ++i) token += hex[rd() & 15];
  std::lock_guard lock(mutex_);
  Statement s(db_, "INSERT INTO sessions(token, uid, created) VALUES(?,?,?)");
  s.Bind(1, token);
  s.Bind(2, static_cast<std::int64_t>(uid));
  s.Bind(3, NowSeconds());
  sqlite3_step(s.stmt);
  return token;
}

void Store::EndSession(const std::string& token) {
  std::lock_guard lock(mutex_);
  Statement s(db_, "DELETE FROM sessions WHERE token = ?");
  s.Bind(1, token);
  sqlite3_step(s.stmt);
}

void Store::AddLike(std::uint64_t uid, std::uint64_t songId) {
  std::lock_guard lock(mutex_);
  Statement s(db_, "INSERT OR REPLACE INTO likes(uid, song_id, created) VALUES(?,?,?)");
  s.Bind(1, static_cast<std::int64_t>(uid));
  s.Bind(2, std::to_string(songId));
  s.Bind(3, NowSeconds());
  sqlite3_step(s.stmt);
}

std::vector<std::uint64_t> Store::Likes(std::uint64_t uid) {
  std::lock_guard lock(mutex_);
  Statement s(db_, "SELECT song_id FROM likes WHERE uid = ? ORDER BY created DESC, rowid DESC");
  s.Bind(1, static_cast<std::int64_t>(uid));
  std::vector<std::uint64_t> ids;
  while (sqlite3_step(s.stmt) == SQLITE_ROW) ids.push_back(std::stoull(s.Text(0)));
  return ids;
}

}  // namespace lumora::server
