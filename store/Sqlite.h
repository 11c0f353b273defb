#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

namespace GestalPrivate {

// True when the file at `path` can be opened for reading. The databases test this before opening,
// because opening creates a missing file.
bool fileIsReadable(const std::string& path);

// How long a statement waits for a lock that another connection or process holds before it fails
// with SQLITE_BUSY.
constexpr int kBusyTimeoutMillis = 5000;

// Whether a store keeps what it read of its file between calls. The library's stores do; the
// variant of the library built for comparison keeps nothing and asks the file for every answer.
enum class Caching { Off, On };

// True for the SQLite result codes that come from the machine rather than from the statement or
// the file's contents: full disk, read-only or unopenable file, I/O error, a lock held beyond the
// wait, a damaged file, no memory.
bool isEnvironmentalFault(int resultCode);

// A statement of a store failed for an environmental reason (see isEnvironmentalFault). The call
// that ran it rolls its writes back and fails; what() is "<file path>: <SQLite's message>".
class StoreFault : public std::runtime_error {
 public:
  StoreFault(const std::string& path, const std::string& message, int resultCode);
  int resultCode() const { return resultCode_; }

 private:
  int resultCode_;
};

// An open SQLite connection, closed by the destructor. Every connection waits up to
// kBusyTimeoutMillis for locks, reads its file through readAheadFileSystem, and keeps the
// statements it prepares for reuse.
class SqliteConnection {
 public:
  // Opens (and creates when missing) the database file. On failure closes what was opened and
  // throws std::runtime_error("Can't open database: <SQLite's message>\n").
  explicit SqliteConnection(const std::string& path);
  ~SqliteConnection();
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  sqlite3* handle() const { return db_; }
  const std::string& path() const { return path_; }

  // Runs one or more statements that return no rows. Returns true on success; otherwise stores
  // SQLite's message in `error`.
  bool exec(const std::string& sql, std::string& error);

  // Closes the connection early (the destructor then does nothing).
  void close();

  // From now on a statement failing for an environmental reason throws StoreFault instead of
  // reporting an SQL error. The stores that the engine writes turn this on once they are open.
  void throwEnvironmentalFaults() { throwsFaults_ = true; }
  bool throwsEnvironmentalFaults() const { return throwsFaults_; }
  // Throws StoreFault for `resultCode` when it is environmental and faults are thrown.
  void checkFault(int resultCode);

  // The state of the file as this connection sees it, for caches of its contents: a number that
  // changes when another connection or process has committed to the file and when this connection
  // rolls a transaction back, and stays the same across this connection's own statements. Inside a
  // call scope the file is asked (PRAGMA data_version) once, and again once the call holds the
  // write lock; outside call scopes on every use.
  uint64_t generation();

  // Rows changed by the last statement that wrote, and the rowid of the last row inserted.
  int64_t changes() const { return sqlite3_changes64(db_); }
  int64_t lastInsertRowid() const { return sqlite3_last_insert_rowid(db_); }

 private:
  friend class SqliteStatement;
  friend class SqliteTransaction;
  friend class SqliteReadScope;

  // A prepared statement kept for the next statement with the same text.
  struct KeptStatement {
    sqlite3_stmt* statement = nullptr;
    bool inUse = false;
  };
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>()(text);
    }
  };

  // Prepares `sql`, or lends the kept statement of that text when it is free. `kept` is set when
  // the statement must be given back (giveBack) rather than finalised. Returns SQLite's code.
  int prepare(std::string_view sql, sqlite3_stmt** statement, KeptStatement** kept);
  static void giveBack(KeptStatement* kept);

  // Called before a statement that writes: inside a call's transaction scope, opens the write
  // transaction unless it is open already.
  void beginWriteIfScoped();
  // Throws StoreFault with SQLite's message and remembers that the call's writes must not stay.
  [[noreturn]] void fault(int resultCode);

  std::string path_;
  sqlite3* db_ = nullptr;
  bool throwsFaults_ = false;
  int scopeDepth_ = 0;
  bool faulted_ = false;
  std::unordered_map<std::string, KeptStatement, TextHash, std::equal_to<>> statements_;
  uint64_t generation_ = 0;
  int64_t dataVersion_ = -1;
  bool generationChecked_ = false;  // in this call scope, since it took the write lock
};

// The file's objects (sqlite_master, without their pages) and text encoding: what, besides the
// rows, decides how a statement compares, orders and changes them. A store that answers from what
// it kept in memory does so only while the file's schema is the one it creates (schemaMadeBy), so
// that no index, trigger, collation or affinity of someone else's making changes an answer.
// Empty when it cannot be read.
std::string schemaOf(SqliteConnection& connection);
std::string schemaMadeBy(const char* createTables);

// All that one exported call writes through one connection, committed together or not at all.
// Nothing happens until the first statement that writes: it opens the transaction with
// BEGIN IMMEDIATE (waiting for other processes like any lock), so calls that only read never take
// the write lock. commit() ends it. When the scope ends without commit(), an environmental fault
// of the connection rolls everything back; any other exception keeps what was written before it,
// as statements that commit one by one would have. A statement failing with an ordinary SQL error
// (no such table, ...) undoes only itself. Scopes nest: only the outermost one commits.
class SqliteTransaction {
 public:
  explicit SqliteTransaction(SqliteConnection& connection);
  ~SqliteTransaction();
  SqliteTransaction(const SqliteTransaction&) = delete;
  SqliteTransaction& operator=(const SqliteTransaction&) = delete;

  // Commits the writes made since the scope opened. Throws StoreFault when the commit fails (the
  // writes are rolled back).
  void commit();

 private:
  SqliteConnection& connection_;
  bool done_ = false;
};

// The reads of one call that writes nothing, from one state of the file: the first read takes the
// shared lock and holds it until the scope ends, so another process's commit comes before or
// after all of them. Counts as a call scope for SqliteConnection::generation.
class SqliteReadScope {
 public:
  explicit SqliteReadScope(SqliteConnection& connection);
  ~SqliteReadScope();
  SqliteReadScope(const SqliteReadScope&) = delete;
  SqliteReadScope& operator=(const SqliteReadScope&) = delete;

 private:
  SqliteConnection& connection_;
};

// One prepared statement with bound parameters, reset (or finalised) by the destructor, so an
// exception thrown while reading rows never leaves a statement open. Statements of the same text
// share one preparation across calls.
class SqliteStatement {
 public:
  SqliteStatement(SqliteConnection& connection, std::string_view sql);
  ~SqliteStatement();
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  // Parameters are numbered from 1. Integers stay integers and texts stay texts in the file.
  SqliteStatement& bind(int position, int64_t value);
  SqliteStatement& bind(int position, std::string_view text);
  // Binds a text without copying it: it must stay as it is until the statement is done.
  SqliteStatement& bindUncopied(int position, std::string_view text);

  // Advances to the next row: true when a row is ready, false when the statement is done or
  // failed (see failed()). Throws StoreFault on an environmental failure of a store connection.
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
  // The same without a copy, valid until the next step.
  std::string_view textView(int column) const;
  // The column's SQLite storage class (SQLITE_INTEGER, SQLITE_TEXT, ...), and the value of an
  // integer column.
  int type(int column) const;
  int64_t int64(int column) const;
  // The column's text read as a decimal integer the way the C library's conversion reads it
  // (leading white space, a sign, the digits up to the first other character). A text without a
  // number, or with one outside [min, max], is a corrupt row (see corruptRow).
  int64_t integer(int column, const char* table, int64_t min = INT32_MIN,
                  int64_t max = INT32_MAX) const;
  // Throws std::runtime_error "<file path>: table <table>, row <rowid>: <problem>"; the row is
  // named by the statement's column "rowid" when it selects one.
  [[noreturn]] void corruptRow(const char* table, const std::string& problem) const;

 private:
  void recordError(int resultCode);

  SqliteConnection& connection_;
  sqlite3_stmt* statement_ = nullptr;
  SqliteConnection::KeptStatement* kept_ = nullptr;
  bool started_ = false;
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
// which is printed; a missing file is created complete with its tables under a temporary name in
// the same directory and then linked into place, so no other process and no crash ever sees it
// without its tables. When another process creates the file first, that file is opened instead.
// On failure the error is printed and std::runtime_error thrown; only the temporary file is
// removed. The returned connection throws StoreFault on environmental failures.
std::unique_ptr<SqliteConnection> openVersionedDatabase(const std::string& path,
                                                        const SchemaMessages& messages);

}  // namespace GestalPrivate
