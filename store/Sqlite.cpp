#include "store/Sqlite.h"
#include "core/Log.h"

#include <cstdio>
#include <stdexcept>

namespace GestalPrivate {

bool fileIsReadable(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

SqliteConnection::SqliteConnection(const std::string& path) {
  if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) {
    std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
    close();
    throw std::runtime_error("Can't open database: " + message + "\n");
  }
}

SqliteConnection::~SqliteConnection() {
  close();
}

void SqliteConnection::close() {
  if (db_ != nullptr) {
    sqlite3_close(db_);
    db_ = nullptr;
  }
}

bool SqliteConnection::exec(const std::string& sql, std::string& error) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  error = message != nullptr ? message : sqlite3_errmsg(db_);
  sqlite3_free(message);
  return false;
}

SqliteStatement::SqliteStatement(const SqliteConnection& connection, std::string_view sql)
    : db_(connection.handle()) {
  if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr) !=
      SQLITE_OK) {
    recordError();
  }
}

SqliteStatement::~SqliteStatement() {
  sqlite3_finalize(statement_);
}

void SqliteStatement::recordError() {
  if (error_.empty()) error_ = sqlite3_errmsg(db_);
  if (error_.empty()) error_ = "unknown error";
}

SqliteStatement& SqliteStatement::bind(int position, int64_t value) {
  if (statement_ != nullptr && sqlite3_bind_int64(statement_, position, value) != SQLITE_OK) {
    recordError();
  }
  return *this;
}

SqliteStatement& SqliteStatement::bind(int position, std::string_view text) {
  if (statement_ != nullptr && sqlite3_bind_text64(statement_, position, text.data(), text.size(),
                                                   SQLITE_TRANSIENT, SQLITE_UTF8) != SQLITE_OK) {
    recordError();
  }
  return *this;
}

bool SqliteStatement::step() {
  if (statement_ == nullptr || failed()) return false;
  int rc = sqlite3_step(statement_);
  if (rc == SQLITE_ROW) return true;
  if (rc != SQLITE_DONE) recordError();
  return false;
}

bool SqliteStatement::run() {
  while (step()) {
  }
  return !failed();
}

int SqliteStatement::columnCount() const {
  return statement_ != nullptr ? sqlite3_column_count(statement_) : 0;
}

int SqliteStatement::column(std::string_view name) const {
  for (int i = 0, n = columnCount(); i < n; ++i) {
    const char* columnName = sqlite3_column_name(statement_, i);
    if (columnName != nullptr && name == columnName) return i;
  }
  return -1;
}

bool SqliteStatement::isNull(int column) const {
  return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

std::string SqliteStatement::text(int column) const {
  const unsigned char* value = sqlite3_column_text(statement_, column);
  if (value == nullptr) return std::string();
  return std::string(reinterpret_cast<const char*>(value),
                     static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
}

std::unique_ptr<SqliteConnection> openVersionedDatabase(const std::string& path,
                                                        const SchemaMessages& messages) {
  // Opening creates a missing file, so existence must be tested first.
  const bool existed = fileIsReadable(path);
  auto connection = std::make_unique<SqliteConnection>(path);

  if (existed) {
    int version = 0;
    std::string error;
    {
      SqliteStatement pragma(*connection, "PRAGMA user_version;");
      if (pragma.step()) version = std::stoi(pragma.text(0), nullptr, 10);
      if (pragma.failed()) error = pragma.error();
    }
    if (!error.empty()) {
      logFormat(LogLevel::Error, "get DB schema version error: %s", error.c_str());
      throw std::runtime_error("check DB schema version failed");
    }
    logFormat(LogLevel::Info, messages.versionFormat, version);
    return connection;
  }

  logLine(LogLevel::Info, "creating DB tables");
  std::string error;
  if (!connection->exec(messages.createTables, error)) {
    logFormat(LogLevel::Error, messages.createError, error.c_str());
    connection->close();
    std::remove(path.c_str());
    throw std::runtime_error(messages.createFailure);
  }
  logLine(LogLevel::Info, messages.createSuccess);
  return connection;
}

}  // namespace GestalPrivate
