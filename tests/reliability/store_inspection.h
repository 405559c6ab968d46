// Looks into a store file from outside the bridge, through SQLite itself,
// the way an investigator would after a crash: integrity, counts, bytes.
#pragma once

#include <cstdint>
#include <string>

struct sqlite3;

namespace tarnwick::testing {

// One connection to a store file, closed when the object goes. Opening
// read-write lets SQLite recover a write-ahead log a killed writer left,
// exactly as the next bridge would. Throws std::runtime_error when the file
// cannot be opened or a statement fails.
class StoreInspection {
 public:
  explicit StoreInspection(const std::string& path);
  ~StoreInspection();
  StoreInspection(const StoreInspection&) = delete;
  StoreInspection& operator=(const StoreInspection&) = delete;

  // The text of PRAGMA integrity_check: "ok" for a sound file, else the
  // problems found, one per line.
  std::string integrityCheck();

  // The first column of the first row of sql, as an integer (0 for no row).
  std::int64_t number(const std::string& sql);

  // Step samples whose end date, in seconds, lies in [from, to).
  std::int64_t stepsEndingBetween(double from, double to);

 private:
  ::sqlite3* handle_ = nullptr;
};

}  // namespace tarnwick::testing
