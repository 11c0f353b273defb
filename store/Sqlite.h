#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace GestalPrivate {

// True when the file at `path` can be opened for reading. The databases test this before opening,
// because opening creates a missing file.
bool fileIsReadable(const std::string& path);

// An open SQLite connection, closed by the destructor.
class SqliteConnection {
 public:
  // Opens (and creates when missing) the database file. On failure closes what was opened and
  // throws std::runtime_error("Can't open database: <SQLite's message>\n").
  explicit SqliteConnection(const std::string& path);
  ~SqliteConnection();
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  sqlite3* handle() const { return db_; }

  // Runs one or more statements that return no rows. Returns true on success; otherwise stores
  // SQLite's message in `error`.
  bool exec(const std::string& sql, std::string& error);

  // Closes the connection early (the destructor then does nothing).
  void close();

 private:
  sqlite3* db_ = nullptr;
};

// One prepared statement with bound parameters, finalised by the destructor, so an exception
// thrown while reading rows never leaves a statement open.
class SqliteStatement {
 public:
  SqliteStatement(const SqliteConnection& connection, std::string_view sql);
  ~SqliteStatement();
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  // Parameters are numbered from 1. Integers stay integers and texts stay texts in the file.
  SqliteStatement& bind(int position, int64_t value);
  SqliteStatement& bind(int position, std::string_view text);

  // Advances to the next row: true when a row is ready, false when the statement is done or
  // failed (see failed()).
  bool step();
  // Steps until done; returns false on failure.
  bool run();

  bool failed() const { return !error_.empty(); }
  // SQLite's message for the first failure (preparing, binding or stepping).
  const std::string& error() const { return error_; }

  int columnCount() const;
  // Position of the column named exactly `name`, or -1.
  int column(std::string_view name) const;
  bool isNull(int column) const;
  // The column's value as text (an integer column gives its decimal text).
  std::string text(int column) const;

 private:
  void recordError();

  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
  std::string error_;
};

// The texts that tell what happens while a versioned database file is opened.
struct SchemaMessages {
  const char* createTables;   // the statements that create the tables and set user_version
  const char* versionFormat;  // printed with the version of an existing file, e.g. "... %d\n"
  const char* createError;    // printed with SQLite's message when creation fails, "... %s\n"
  const char* createFailure;  // the exception text when creation fails
  const char* createSuccess;  // printed when the tables were created
};

// Opens the database file at `path`. An existing file is accepted whatever its user_version,
// which is printed; a missing file is created with its tables. On failure the error is printed
// and std::runtime_error thrown; a file whose tables could not be created is removed again.
std::unique_ptr<SqliteConnection> openVersionedDatabase(const std::string& path,
                                                        const SchemaMessages& messages);

}  // namespace GestalPrivate
