#include "platform/local_store/database.h"

#include <sqlite3.h>

#include "platform/local_store/store_error.h"

namespace tarnwick::platform::local_store {

Database::Database(const std::string& path, Mode mode, std::optional<std::string> shownPath)
    : path_(shownPath ? std::move(*shownPath) : path) {
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
  if (mode == Mode::createEmpty) flags |= SQLITE_OPEN_CREATE;
  int result = sqlite3_open_v2(path.c_str(), &handle_, flags, nullptr);
  if (result != SQLITE_OK) {
    int systemError = handle_ ? sqlite3_system_errno(handle_) : 0;
    sqlite3_close_v2(handle_);
    handle_ = nullptr;
    throw storeErrorFromSqlite(result, path_, systemError);
  }
  sqlite3_extended_result_codes(handle_, 1);
}

Database::~Database() { sqlite3_close_v2(handle_); }

void Database::execute(std::string_view sql) {
  std::string text(sql);
  int result = sqlite3_exec(handle_, text.c_str(), nullptr, nullptr, nullptr);
  if (result != SQLITE_OK) fail(result);
}

bool Database::isReadOnly() const { return sqlite3_db_readonly(handle_, "main") == 1; }

void Database::emptyLog() noexcept {
  sqlite3_wal_checkpoint_v2(handle_, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
}

void Database::fail(int resultCode) const {
  int extended = sqlite3_extended_errcode(handle_);
  if ((extended & 0xff) == (resultCode & 0xff)) resultCode = extended;
  throw storeErrorFromSqlite(resultCode, path_, sqlite3_system_errno(handle_));
}

Statement::Statement(Database& database, std::string_view sql) : database_(&database) {
  int result = sqlite3_prepare_v3(database.handle(), sql.data(), static_cast<int>(sql.size()),
                                  SQLITE_PREPARE_PERSISTENT, &statement_, nullptr);
  if (result != SQLITE_OK) database.fail(result);
}

Statement::~Statement() { sqlite3_finalize(statement_); }

Statement::Statement(Statement&& other) noexcept : database_(other.database_), statement_(other.statement_) {
  other.statement_ = nullptr;
}

Statement& Statement::bind(int index, double value) {
  if (int result = sqlite3_bind_double(statement_, index, value); result != SQLITE_OK) database_->fail(result);
  return *this;
}

Statement& Statement::bind(int index, std::int64_t value) {
  if (int result = sqlite3_bind_int64(statement_, index, value); result != SQLITE_OK) database_->fail(result);
  return *this;
}

Statement& Statement::bind(int index, std::string_view text) {
  int result = sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  if (result != SQLITE_OK) database_->fail(result);
  return *this;
}

Statement& Statement::bindNull(int index) {
  if (int result = sqlite3_bind_null(statement_, index); result != SQLITE_OK) database_->fail(result);
  return *this;
}

bool Statement::step() {
  int result = sqlite3_step(statement_);
  if (result == SQLITE_ROW) return true;
  if (result == SQLITE_DONE) return false;
  // The statement must be reset before the connection can be used again; the
  // error code is taken first since reset may replace it.
  int code = sqlite3_extended_errcode(database_->handle());
  int systemError = sqlite3_system_errno(database_->handle());
  sqlite3_reset(statement_);
  throw storeErrorFromSqlite(code != SQLITE_OK ? code : result, database_->path(), systemError);
}

void Statement::reset() {
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
}

bool Statement::isNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

double Statement::columnDouble(int column) const { return sqlite3_column_double(statement_, column); }

std::int64_t Statement::columnInt(int column) const { return sqlite3_column_int64(statement_, column); }

std::optional<std::string> Statement::columnText(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  if (!text) {
    // A text SQLite had no memory to convert is not a missing one.
    if (sqlite3_errcode(database_->handle()) == SQLITE_NOMEM) throw outOfMemoryError();
    return std::nullopt;
  }
  return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
}

WriteTransaction::WriteTransaction(Database& database) : database_(database) { database_.execute("BEGIN IMMEDIATE"); }

WriteTransaction::~WriteTransaction() {
  if (!open_) return;
  sqlite3_exec(database_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
  database_.emptyLog();
}

void WriteTransaction::commit() {
  database_.execute("COMMIT");
  open_ = false;
  database_.emptyLog();
}

}  // namespace tarnwick::platform::local_store
