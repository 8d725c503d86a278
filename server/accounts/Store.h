#pragma once
// Accounts, sessions and likes in an SQLite database, so they outlive a restart. Neither
// passwords nor session tokens are kept as such (see Secrets.h); sessions end after
// kSessionIdleDays without use, and an account keeps at most kSessionsPerAccount of them.
#include <sqlite3.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace lumora::server {

struct Account {
  std::uint64_t uid = 0;
  std::string phone;
  std::string email;
  std::string passwordHash;  // HashPassword of the lower-case hex MD5 the player sends
  std::string nickname;
  int vipType = 0;  // 0 plain, 10 music package, 11 member
};

// The demo accounts every database starts with; their passwords are all "lumora123".
const std::vector<Account>& DemoAccounts();
inline constexpr const char* kDemoPassword = "lumora123";
inline constexpr const char* kDemoPasswordMd5 = "98a6619f9bc9cdd67e27e884d758da4b";

inline constexpr int kSessionIdleDays = 30;
inline constexpr int kSessionsPerAccount = 8;

class Store {
 public:
  Store() = default;
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Opens (creating when absent, readable by its owner only) the database file, brings an
  // older one to the present form (passwords hashed, tokens digested) and seeds the demo
  // accounts. One that cannot be written is opened for reading only, and says so.
  bool Open(const std::string& path, std::string* error);

  std::optional<Account> AccountByPhone(const std::string& phone);
  std::optional<Account> AccountByEmail(const std::string& email);
  std::optional<Account> AccountById(std::uint64_t uid);

  // A fresh random session token for the account; its oldest sessions beyond
  // kSessionsPerAccount end, as do all sessions unused for kSessionIdleDays. nullopt, with
  // nothing changed, when it could not be stored.
  std::optional<std::string> CreateSession(std::uint64_t uid);
  std::optional<Account> AccountBySession(const std::string& token);
  // The writes say whether they were stored (a full disk, a read-only file: false).
  bool EndSession(const std::string& token);

  bool AddLike(std::uint64_t uid, std::uint64_t songId);
  std::vector<std::uint64_t> Likes(std::uint64_t uid);

 private:
  // sql takes key as ?1 and, when it has a ?2, after.
  std::optional<Account> QueryAccount(const char* sql, const std::string& key,
                                      std::int64_t after = 0);
  bool Exec(const char* sql, std::string* error);
  bool Failed(std::string* error);  // false, with SQLite's latest message in error
  bool Migrate(std::string* error);
  bool OpenWritable(const std::string& path, std::string* error);

  std::mutex mutex_;
  sqlite3* db_ = nullptr;
};

}  // namespace lumora::server
