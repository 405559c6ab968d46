// The sentences SQLite's failures become: the ones a caller acts on (no
// memory, a full disk) must read the same whichever way SQLite reports them.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cerrno>
#include <string>

#include "platform/local_store/store_error.h"
#include "protocol/out_of_memory.h"

namespace tarnwick::testing {
namespace {

using platform::local_store::storeErrorFromSqlite;

TEST(StoreErrorTest, MemoryAndDiskFailuresReadTheSameHoweverSqliteReportsThem) {
  const std::string path = "/data/tarnwick/health.sqlite3";
  const std::string diskFull = "The disk is full; the health store at '" + path + "' could not be written.";
  struct Case {
    int resultCode;
    int systemError;
    std::string message;
  };
  const Case cases[] = {
      {SQLITE_NOMEM, 0, std::string(protocol::kOutOfMemoryMessage)},
      {SQLITE_IOERR_NOMEM, 0, std::string(protocol::kOutOfMemoryMessage)},
      {SQLITE_FULL, 0, diskFull},
      {SQLITE_IOERR_WRITE, ENOSPC, diskFull},
      {SQLITE_IOERR_SHMSIZE, ENOSPC, diskFull},
      {SQLITE_IOERR_WRITE, EIO, "The health store at '" + path + "' could not be read or written (disk I/O error)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.resultCode);
    health::HealthStoreError error = storeErrorFromSqlite(c.resultCode, path, c.systemError);
    EXPECT_EQ(std::string(error.what()), c.message);
    EXPECT_EQ(platform::local_store::isDiskFullError(error, path), c.message == diskFull);
  }
  EXPECT_FALSE(platform::local_store::isDiskFullError(storeErrorFromSqlite(SQLITE_FULL, "/other"), path));
}

}  // namespace
}  // namespace tarnwick::testing
