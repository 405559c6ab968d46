// A thin RAII layer over one SQLite connection: the handle, prepared
// statements, and a write transaction guard. Values only ever reach SQL
// through bound parameters. Every SQLite failure leaves here as a
// health::HealthStoreError naming the store's file (see store_error.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace tarnwick::platform::local_store {

class Database;

// One prepared statement. Bind, step until it reports no more rows, reset
// to run it again with new values.
class Statement {
 public:
  Statement(Database& database, std::string_view sql);
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&&) = delete;
  Statement(const Statement&) = delete;

  // Parameters are numbered from 1, as in SQL's "?1".
  Statement& bind(int index, double value);
  Statement& bind(int index, std::int64_t value);
  Statement& bind(int index, int value) { return bind(index, static_cast<std::int64_t>(value)); }
  Statement& bind(int index, std::string_view text);
  Statement& bindNull(int index);
  template <class T>
  Statement& bind(int index, const std::optional<T>& value) {
    return value ? bind(index, *value) : bindNull(index);
  }

  // Runs to the next row: true when a row is available, false when done.
  // Throws HealthStoreError on failure.
  bool step();
  // Steps a statement that returns no rows.
  void run() { while (step()) {} }
  // Makes the statement ready to run again; bindings are cleared too.
  void reset();

  // Columns are numbered from 0. A NULL column reads as 0, 0.0 or nothing.
  bool isNull(int column) const;
  double columnDouble(int column) const;
  std::int64_t columnInt(int column) const;
  std::optional<std::string> columnText(int column) const;

 private:
  Database* database_;
  sqlite3_stmt* statement_ = nullptr;
};

class Database {
 public:
  enum class Mode { readWrite, createEmpty };

  // Opens an existing file (readWrite; SQLite falls back to read-only when
  // the file cannot be written) or creates an empty one (createEmpty).
  // Errors name `path`, or `shownPath` when given: a store being built in a
  // temporary file is reported under the name it will have. Throws
  // HealthStoreError when the file cannot be opened.
  Database(const std::string& path, Mode mode, std::optional<std::string> shownPath = std::nullopt);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Runs SQL text without values (schema, pragmas). Throws HealthStoreError.
  void execute(std::string_view sql);

  // True when the connection can only read (the file is write-protected).
  bool isReadOnly() const;

  // Copies the write-ahead log into the file and empties the log. The
  // bridge ends without closing its connection, so without this the next
  // process would re-read and checksum the whole log before its first
  // query. Best effort: a failure (a reader holding the log) leaves the
  // log to a later writer and loses nothing, so it is not reported.
  void emptyLog() noexcept;

  // The SQLite error of the last failed call as a HealthStoreError.
  [[noreturn]] void fail(int resultCode) const;

  // The name errors give the store (see the constructor).
  const std::string& path() const { return path_; }
  sqlite3* handle() const { return handle_; }

 private:
  std::string path_;
  sqlite3* handle_ = nullptr;
};

// BEGIN IMMEDIATE on construction: the write lock is taken at once, so a
// writer waits for others through the busy timeout instead of failing half
// way with "database is locked". Unless commit() was called, rolls back and
// empties the log: a write that failed, on a full disk say, must not leave
// the log it grew behind.
class WriteTransaction {
 public:
  explicit WriteTransaction(Database& database);
  ~WriteTransaction();
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;

  // Commits; durable on return when the connection's synchronous mode is
  // FULL. Throws HealthStoreError (the transaction is then rolled back).
  // Then empties the write-ahead log (Database::emptyLog), so that no
  // commit (a save, a permission answer, a layout upgrade) leaves a log
  // for the next process to read.
  void commit();

 private:
  Database& database_;
  bool open_ = true;
};

}  // namespace tarnwick::platform::local_store
