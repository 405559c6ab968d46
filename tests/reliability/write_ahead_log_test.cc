// The bridge ends without closing its store, so whatever its last write
// left in the write-ahead log, the next bridge must read and checksum
// before its first query. Each write therefore leaves the log empty.
#include <gtest/gtest.h>

#include <filesystem>

#include "bridge_runs.h"
#include "store_inspection.h"

namespace tarnwick::testing {
namespace {

TEST(WriteAheadLogTest, AWriteLeavesTheLogEmptyAndTheSamplesInTheFile) {
  StoreHome home;
  ASSERT_EQ(home.tool({"grant"}).exitStatus, 0);
  StepBatches batches;
  BridgeAnswer written = ask(home, batches.request(0, 2000));
  ASSERT_TRUE(written.ok()) << written.process.standardOutput;

  const std::string store = home.storePath();
  std::error_code missing;
  std::uintmax_t logSize = std::filesystem::file_size(store + "-wal", missing);
  EXPECT_TRUE(missing || logSize == 0) << logSize << " bytes left in the log";
  // The samples are in the file itself: a copy without the log has them.
  std::filesystem::copy_file(store, home.file("copy.sqlite3"));
  auto [from, to] = batches.endRange(0);
  EXPECT_EQ(StoreInspection(home.file("copy.sqlite3")).stepsEndingBetween(from, to), 2000);
}

}  // namespace
}  // namespace tarnwick::testing
