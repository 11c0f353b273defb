#include "store/Sqlite.h"
#include "core/Log.h"
#include "core/NumberText.h"
#include "store/ReadAhead.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string_view>

namespace GestalPrivate {

bool fileIsReadable(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

bool isEnvironmentalFault(int resultCode) {
  switch (resultCode & 0xFF) {
    case SQLITE_FULL:
    case SQLITE_READONLY:
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_NOMEM:
    case SQLITE_PERM:
    case SQLITE_PROTOCOL:
    case SQLITE_NOLFS:
      return true;
    default:
      return false;
  }
}

StoreFault::StoreFault(const std::string& path, const std::string& message, int resultCode)
    : std::runtime_error(path + ": " + message), resultCode_(resultCode) {}

SqliteConnection::SqliteConnection(const std::string& path) : path_(path) {
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                      readAheadFileSystem()) != SQLITE_OK) {
    std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
    close();
    throw std::runtime_error("Can't open database: " + message + "\n");
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMillis);
  // What a rolled back transaction wrote may be in caches of the file; they must not outlive it.
  sqlite3_rollback_hook(
      db_, [](void* self) { ++static_cast<SqliteConnection*>(self)->generation_; }, this);
}

SqliteConnection::~SqliteConnection() {
  close();
}

void SqliteConnection::close() {
  if (db_ != nullptr) {
    for (auto& [sql, kept] : statements_) sqlite3_finalize(kept.statement);
    statements_.clear();
    sqlite3_close(db_);
    db_ = nullptr;
  }
}

int SqliteConnection::prepare(std::string_view sql, sqlite3_stmt** statement,
                              KeptStatement** kept) {
  *kept = nullptr;
  auto found = statements_.find(sql);
  if (found != statements_.end() && !found->second.inUse) {
    found->second.inUse = true;
    *statement = found->second.statement;
    *kept = &found->second;
    return SQLITE_OK;
  }
  const bool keep = found == statements_.end();
  const int rc = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()),
                                    keep ? SQLITE_PREPARE_PERSISTENT : 0, statement, nullptr);
  if (rc == SQLITE_OK && keep && *statement != nullptr) {
    *kept = &statements_.emplace(std::string(sql), KeptStatement{*statement, true}).first->second;
  }
  return rc;
}

void SqliteConnection::giveBack(KeptStatement* kept) {
  sqlite3_reset(kept->statement);
  sqlite3_clear_bindings(kept->statement);
  kept->inUse = false;
}

uint64_t SqliteConnection::generation() {
  if (scopeDepth_ > 0 && generationChecked_) return generation_;
  int64_t version = -1;
  {
    SqliteStatement pragma(*this, "PRAGMA data_version");
    if (pragma.step()) version = leadingInteger(pragma.textView(0)).value_or(-1);
  }
  // A version that cannot be read never matches, so nothing cached is trusted.
  if (version < 0 || version != dataVersion_) ++generation_;
  dataVersion_ = version;
  generationChecked_ = scopeDepth_ > 0;
  return generation_;
}

bool SqliteConnection::exec(const std::string& sql, std::string& error) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  error = message != nullptr ? message : sqlite3_errmsg(db_);
  sqlite3_free(message);
  return false;
}

void SqliteConnection::checkFault(int resultCode) {
  if (throwsFaults_ && isEnvironmentalFault(resultCode)) fault(resultCode);
}

void SqliteConnection::fault(int resultCode) {
  faulted_ = true;
  throw StoreFault(path_, sqlite3_errmsg(db_), resultCode);
}

void SqliteConnection::beginWriteIfScoped() {
  if (scopeDepth_ == 0 || sqlite3_get_autocommit(db_) == 0) return;
  const int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fault(rc);
  // Another process may have committed since the call last asked.
  generationChecked_ = false;
}

SqliteTransaction::SqliteTransaction(SqliteConnection& connection) : connection_(connection) {
  if (connection_.scopeDepth_++ == 0) {
    connection_.faulted_ = false;
    connection_.generationChecked_ = false;
  }
}

SqliteTransaction::~SqliteTransaction() {
  if (done_ || --connection_.scopeDepth_ != 0) return;
  sqlite3* db = connection_.db_;
  if (sqlite3_get_autocommit(db) != 0) return;
  // The call is failing and its exception is on its way to the host: what it wrote stays unless
  // the connection failed.
  if (!connection_.faulted_ && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) {
    return;
  }
  if (sqlite3_get_autocommit(db) == 0) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteTransaction::commit() {
  if (done_) return;
  done_ = true;
  sqlite3* db = connection_.db_;
  if (--connection_.scopeDepth_ != 0 || sqlite3_get_autocommit(db) != 0) return;
  const int rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) return;
  StoreFault failure(connection_.path_, sqlite3_errmsg(db), rc);
  connection_.faulted_ = true;
  // A commit that could not take its lock leaves the transaction open.
  if (sqlite3_get_autocommit(db) == 0) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  throw failure;
}

SqliteReadScope::SqliteReadScope(SqliteConnection& connection) : connection_(connection) {
  if (connection_.scopeDepth_++ == 0) connection_.generationChecked_ = false;
  if (sqlite3_get_autocommit(connection_.db_) != 0) {
    sqlite3_exec(connection_.db_, "BEGIN", nullptr, nullptr, nullptr);
  }
}

SqliteReadScope::~SqliteReadScope() {
  if (--connection_.scopeDepth_ != 0 || sqlite3_get_autocommit(connection_.db_) != 0) return;
  // Nothing was written, so ending the transaction only lets the shared lock go.
  if (sqlite3_exec(connection_.db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    sqlite3_exec(connection_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
}

SqliteStatement::SqliteStatement(SqliteConnection& connection, std::string_view sql)
    : connection_(connection) {
  const int rc = connection_.prepare(sql, &statement_, &kept_);
  if (rc != SQLITE_OK) recordError(rc);
}

SqliteStatement::~SqliteStatement() {
  if (kept_ != nullptr) {
    SqliteConnection::giveBack(kept_);
  } else {
    sqlite3_finalize(statement_);
  }
}

void SqliteStatement::recordError(int resultCode) {
  connection_.checkFault(resultCode);
  if (error_.empty()) error_ = sqlite3_errmsg(connection_.handle());
  if (error_.empty()) error_ = "unknown error";
}

SqliteStatement& SqliteStatement::bind(int position, int64_t value) {
  if (statement_ == nullptr) return *this;
  const int rc = sqlite3_bind_int64(statement_, position, value);
  if (rc != SQLITE_OK) recordError(rc);
  return *this;
}

namespace {

int bindText(sqlite3_stmt* statement, int position, std::string_view text,
             sqlite3_destructor_type lifetime) {
  return sqlite3_bind_text64(statement, position, text.data(), text.size(), lifetime, SQLITE_UTF8);
}

}  // namespace

SqliteStatement& SqliteStatement::bind(int position, std::string_view text) {
  if (statement_ == nullptr) return *this;
  const int rc = bindText(statement_, position, text, SQLITE_TRANSIENT);
  if (rc != SQLITE_OK) recordError(rc);
  return *this;
}

SqliteStatement& SqliteStatement::bindUncopied(int position, std::string_view text) {
  if (statement_ == nullptr) return *this;
  const int rc = bindText(statement_, position, text, SQLITE_STATIC);
  if (rc != SQLITE_OK) recordError(rc);
  return *this;
}

bool SqliteStatement::step() {
  if (statement_ == nullptr || failed()) return false;
  if (!started_) {
    started_ = true;
    if (sqlite3_stmt_readonly(statement_) == 0) connection_.beginWriteIfScoped();
  }
  const int rc = sqlite3_step(statement_);
  if (rc == SQLITE_ROW) return true;
  if (rc != SQLITE_DONE) recordError(rc);
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
  return std::string(textView(column));
}

std::string_view SqliteStatement::textView(int column) const {
  const unsigned char* value = sqlite3_column_text(statement_, column);
  if (value == nullptr) return std::string_view();
  return std::string_view(reinterpret_cast<const char*>(value),
                          static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
}

int SqliteStatement::type(int column) const {
  return sqlite3_column_type(statement_, column);
}

int64_t SqliteStatement::int64(int column) const {
  return sqlite3_column_int64(statement_, column);
}

int64_t SqliteStatement::integer(int column, const char* table, int64_t min, int64_t max) const {
  const std::string value = text(column);
  std::size_t i = 0;
  while (i < value.size() && (value[i] == ' ' || (value[i] >= '\t' && value[i] <= '\r'))) ++i;
  const bool negative = i < value.size() && value[i] == '-';
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) ++i;
  const std::size_t digits = i;
  // Accumulated as a negative number, whose range holds every int64_t.
  int64_t number = 0;
  bool inRange = true;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    const int digit = value[i] - '0';
    if (number < (INT64_MIN + digit) / 10) inRange = false;
    if (inRange) number = number * 10 - digit;
  }
  if (i == digits) {
    corruptRow(table, std::string(sqlite3_column_name(statement_, column)) + " '" + value +
                          "' is not a decimal integer");
  }
  if (!negative && number == INT64_MIN) inRange = false;
  if (!negative) number = -number;
  if (!inRange || number < min || number > max) {
    corruptRow(table, std::string(sqlite3_column_name(statement_, column)) + " '" + value +
                          "' is out of range");
  }
  return number;
}

void SqliteStatement::corruptRow(const char* table, const std::string& problem) const {
  const int rowid = column("rowid");
  const std::string row = rowid >= 0 ? "row " + text(rowid) : "a row";
  throw std::runtime_error(connection_.path() + ": table " + table + ", " + row + ": " + problem);
}

namespace {

std::string schemaOf(sqlite3* db) {
  std::string schema;
  sqlite3_stmt* statement = nullptr;
  const char* sql = "select type, name, tbl_name, sql from sqlite_master order by rowid";
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) return std::string();
  while (sqlite3_step(statement) == SQLITE_ROW) {
    for (int column = 0; column < 4; ++column) {
      const unsigned char* text = sqlite3_column_text(statement, column);
      schema += text != nullptr ? reinterpret_cast<const char*>(text) : "NULL";
      schema += '\n';
    }
  }
  const bool complete = sqlite3_finalize(statement) == SQLITE_OK;
  if (!complete ||
      sqlite3_prepare_v2(db, "PRAGMA encoding", -1, &statement, nullptr) != SQLITE_OK) {
    return std::string();
  }
  if (sqlite3_step(statement) == SQLITE_ROW) {
    schema += reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
  }
  sqlite3_finalize(statement);
  return schema;
}

}  // namespace

std::string schemaOf(SqliteConnection& connection) {
  return schemaOf(connection.handle());
}

std::string schemaMadeBy(const char* createTables) {
  sqlite3* db = nullptr;
  std::string schema;
  if (sqlite3_open(":memory:", &db) == SQLITE_OK &&
      sqlite3_exec(db, createTables, nullptr, nullptr, nullptr) == SQLITE_OK) {
    schema = schemaOf(db);
  }
  sqlite3_close(db);
  return schema;
}

namespace {

constexpr std::string_view kCreatingInfix = ".creating-";

// A name in the same directory as `path` that no other creation (of this or another process)
// uses.
std::string temporaryNameFor(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + std::string(kCreatingInfix) + std::to_string(::getpid()) + "-" +
         std::to_string(counter++);
}

// Removes what creations of `path` by processes that no longer run left behind (the process was
// killed between building and linking): "<name>.creating-<pid>-<n>" and its journal. A creation
// takes milliseconds, so a file younger than a minute stays too: its process may run where this
// one cannot see it (another PID namespace or machine sharing the directory).
void removeLeftoversOfDeadCreations(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  const std::string prefix = target.filename().string() + std::string(kCreatingInfix);
  std::error_code error;
  fs::path directory = target.parent_path();
  if (directory.empty()) directory = ".";
  for (fs::directory_iterator entry(directory, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    pid_t pid = 0;
    const char* digits = name.data() + prefix.size();
    auto [rest, parsed] = std::from_chars(digits, name.data() + name.size(), pid);
    if (parsed != std::errc() || rest == digits || *rest != '-' || pid <= 0) continue;
    std::error_code unknownAge;
    const auto modified = entry->last_write_time(unknownAge);
    if (unknownAge || fs::file_time_type::clock::now() - modified < std::chrono::minutes(1)) {
      continue;
    }
    if (::kill(pid, 0) != 0 && errno == ESRCH) std::remove(entry->path().c_str());
  }
}

// Makes the new directory entry durable.
void syncDirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

enum class Created { Yes, ByAnotherProcess };

// Builds the file with its tables under a temporary name and links it to `path`, which never
// replaces a file that exists there. Throws (after printing) when the tables cannot be created.
Created createDatabase(const std::string& path, const SchemaMessages& messages) {
  removeLeftoversOfDeadCreations(path);
  const std::string temporary = temporaryNameFor(path);
  try {
    SqliteConnection building(temporary);
    logLine(LogLevel::Info, "creating DB tables");
    std::string error;
    if (!building.exec(messages.createTables, error)) {
      logFormat(LogLevel::Error, messages.createError, error.c_str());
      throw std::runtime_error(messages.createFailure);
    }
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
  int linked = ::link(temporary.c_str(), path.c_str());
  const int linkError = errno;
  if (linked != 0 && linkError != EEXIST) {
    // A file system without hard links: renaming is the next best, and only races with another
    // process creating the same file in the same instant.
    linked = std::rename(temporary.c_str(), path.c_str());
  }
  std::remove(temporary.c_str());
  if (linked != 0 && linkError == EEXIST) return Created::ByAnotherProcess;
  if (linked != 0) {
    logFormat(LogLevel::Error, messages.createError, std::strerror(linkError));
    throw std::runtime_error(messages.createFailure);
  }
  syncDirectoryOf(path);
  logLine(LogLevel::Info, messages.createSuccess);
  return Created::Yes;
}

}  // namespace

std::unique_ptr<SqliteConnection> openVersionedDatabase(const std::string& path,
                                                        const SchemaMessages& messages) {
  // Opening creates a missing file, so existence must be tested first.
  const bool existed =
      fileIsReadable(path) || createDatabase(path, messages) == Created::ByAnotherProcess;
  auto connection = std::make_unique<SqliteConnection>(path);

  if (existed) {
    int version = 0;
    std::string error;
    {
      SqliteStatement pragma(*connection, "PRAGMA user_version;");
      if (pragma.step()) version = static_cast<int>(leadingInteger(pragma.text(0)).value_or(0));
      if (pragma.failed()) error = pragma.error();
    }
    if (!error.empty()) {
      logFormat(LogLevel::Error, "get DB schema version error: %s", error.c_str());
      throw std::runtime_error("check DB schema version failed");
    }
    logFormat(LogLevel::Info, messages.versionFormat, version);
  }
  connection->throwEnvironmentalFaults();
  return connection;
}

}  // namespace GestalPrivate
