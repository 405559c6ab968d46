#include "store_inspection.h"

#include <sqlite3.h>

#include <stdexcept>

namespace tarnwick::testing {

StoreInspection::StoreInspection(const std::string& path) {
  if (sqlite3_open_v2(path.c_str(), &handle_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    std::string message = handle_ ? sqlite3_errmsg(handle_) : "out of memory";
    sqlite3_close_v2(handle_);
    throw std::runtime_error("cannot open " + path + ": " + message);
  }
  sqlite3_busy_timeout(handle_, 10000);
}

StoreInspection::~StoreInspection() { sqlite3_close_v2(handle_); }

std::string StoreInspection::integrityCheck() {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(handle_, "PRAGMA integrity_check", -1, &statement, nullptr) != SQLITE_OK) {
    return std::string("integrity_check could not run: ") + sqlite3_errmsg(handle_);
  }
  std::string report;
  int result;
  while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
    if (!report.empty()) report += '\n';
    report += reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
  }
  if (result != SQLITE_DONE) report += std::string("\nintegrity_check failed: ") + sqlite3_errmsg(handle_);
  sqlite3_finalize(statement);
  return report;
}

std::int64_t StoreInspection::number(const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(handle_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    throw std::runtime_error("cannot prepare '" + sql + "': " + sqlite3_errmsg(handle_));
  }
  int result = sqlite3_step(statement);
  std::int64_t value = result == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : 0;
  sqlite3_finalize(statement);
  if (result != SQLITE_ROW && result != SQLITE_DONE) {
    throw std::runtime_error("'" + sql + "' failed: " + sqlite3_errmsg(handle_));
  }
  return value;
}

std::int64_t StoreInspection::stepsEndingBetween(double from, double to) {
  sqlite3_stmt* statement = nullptr;
  const char* sql =
      "SELECT count(*) FROM samples WHERE type = 'HKQuantityTypeIdentifierStepCount' AND end >= ?1 AND end < ?2";
  if (sqlite3_prepare_v2(handle_, sql, -1, &statement, nullptr) != SQLITE_OK) {
    throw std::runtime_error(std::string("cannot count steps: ") + sqlite3_errmsg(handle_));
  }
  sqlite3_bind_double(statement, 1, from);
  sqlite3_bind_double(statement, 2, to);
  int result = sqlite3_step(statement);
  std::int64_t count = result == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : 0;
  sqlite3_finalize(statement);
  if (result != SQLITE_ROW) throw std::runtime_error(std::string("cannot count steps: ") + sqlite3_errmsg(handle_));
  return count;
}

}  // namespace tarnwick::testing
