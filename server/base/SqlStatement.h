#pragma once
// One prepared SQLite statement, finalised with its scope. A statement that failed to prepare
// steps to nothing: Step() is false and Done() reports the write as not done.
#include <sqlite3.h>

#include <cstdint>
#include <string>

namespace lumora::server {

class SqlStatement {
 public:
  SqlStatement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~SqlStatement() { sqlite3_finalize(stmt_); }
  SqlStatement(const SqlStatement&) = delete;
  SqlStatement& operator=(const SqlStatement&) = delete;

  void Bind(int i, const std::string& text) {
    sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  void Bind(int i, std::int64_t value) { sqlite3_bind_int64(stmt_, i, value); }
  void Bind(int i, double value) { sqlite3_bind_double(stmt_, i, value); }
  int Parameters() const { return sqlite3_bind_parameter_count(stmt_); }
  // The next row of a query.
  bool Step() { return stmt_ && sqlite3_step(stmt_) == SQLITE_ROW; }
  // One step of a write: true when it is done.
  bool Done() { return stmt_ && sqlite3_step(stmt_) == SQLITE_DONE; }
  std::string Text(int col) const {
    const auto* text = static_cast<const char*>(sqlite3_column_blob(stmt_, col));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)))
                : std::string();
  }
  std::int64_t Int(int col) const { return sqlite3_column_int64(stmt_, col); }
  double Real(int col) const { return sqlite3_column_double(stmt_, col); }
  bool Null(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace lumora::server
