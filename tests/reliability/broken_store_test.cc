// Stores that cannot serve: a file that is no database, a truncated one, a
// zero-byte one, someone else's database, a newer layout, a read-only one, a
// folder in the file's place, a full disk. The bridge must answer each with
// a "SWIFT_ERROR" that names the file and what is wrong with it (or, where
// reading is still possible, a correct answer), never crash, and leave every
// byte of the store's folder as it found it.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bridge_runs.h"
#include "platform/local_store/local_store_schema.h"
#include "store_inspection.h"
#include "support/test_files.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Every entry under folder with its size and a digest of its bytes
// ("folder" for folders), so that a change anywhere, a new file or a
// removed one, shows as a short, readable difference.
std::map<std::string, std::string> folderSnapshot(const std::string& folder) {
  std::map<std::string, std::string> entries;
  std::error_code ignored;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder, ignored)) {
    std::string name = fs::relative(entry.path(), folder).string();
    if (entry.is_directory()) {
      entries[name] = "folder";
      continue;
    }
    std::string bytes = readFile(entry.path().string()).value_or("");
    std::uint64_t digest = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : bytes) digest = (digest ^ c) * 1099511628211ull;
    entries[name] = std::to_string(bytes.size()) + " bytes, digest " + std::to_string(digest);
  }
  return entries;
}

// Sets or clears the immutable flag, the one thing that stops root writing
// a file. False when the file system has no such flag.
bool setImmutable(const std::string& path, bool on) {
  int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return false;
  int flags = 0;
  bool done = ::ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(descriptor, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(descriptor);
  return done;
}

// What "sync" may do with the broken store: some breakages still leave the
// samples readable, and then a correct answer is the sound behaviour.
enum class SyncOutcome { fails, reads };

class BrokenStoreTest : public ::testing::Test {
 public:
  void TearDown() override {
    if (immutable_) setImmutable(store(), false);
    if (mounted_) ::umount2(home_.path().c_str(), MNT_DETACH);
  }

  std::string folder() const { return home_.file("tarnwick"); }
  std::string store() const { return home_.storePath(); }

  // A real store with a fortnight of samples and every metric granted,
  // checkpointed so that the whole store is the one file.
  void makeSoundStore() {
    ASSERT_EQ(home_.tool({"demo"}).exitStatus, 0);
    ASSERT_FALSE(fs::exists(store() + "-wal"));
  }

  void makeReadOnly() {
    makeSoundStore();
    ::chmod(store().c_str(), 0400);
    if (::geteuid() == 0 && !makeImmutable()) {
      GTEST_SKIP() << "root ignores file modes and this file system has no immutable flag";
    }
  }

  // False when the file system has no immutable flag or this is not root.
  bool makeImmutable() {
    immutable_ = setImmutable(store(), true);
    return immutable_;
  }

  // A small memory file system over the data folder, filled to the last
  // byte after a sound store is made on it (or, without one, left empty).
  // A store in use has the log and shared-memory files a bridge leaves;
  // a closed one is the single file the store tool leaves.
  enum class DiskStore { none, closed, inUse };
  void makeFullDisk(DiskStore withStore = DiskStore::inUse) {
    if (::mount("tarnwick-full", home_.path().c_str(), "tmpfs", 0, "size=4m,mode=0700") != 0) {
      GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << "); run as root to test a full disk";
    }
    mounted_ = true;
    if (withStore != DiskStore::none) {
      makeSoundStore();
      samplesBefore_ = StoreInspection(store()).number("SELECT count(*) FROM samples");
    }
    if (withStore == DiskStore::inUse) {
      // The bridge leaves its log and shared-memory files behind, so that a
      // later write finds them there and fails only where it grows the log.
      ASSERT_TRUE(ask(home_, {{"method", "sync"}, {"sourceMode", "native"}}).ok());
    }
    std::ofstream filler(home_.file("filler"), std::ios::binary);
    std::string block(4096, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {}
    filler.close();
    // Whatever partial block is left, take it too.
    std::ofstream last(home_.file("filler-last"), std::ios::binary);
    while (last.put('x')) {}
  }

  // Gives back `bytes` of the full disk: room for a write to begin and fail
  // half way.
  void leaveRoom(std::uintmax_t bytes) {
    const std::string filler = home_.file("filler");
    fs::resize_file(filler, fs::file_size(filler) - bytes);
  }

  // Gives the full disk its space back, so that the store can be inspected.
  void freeDisk() {
    fs::remove(home_.file("filler"));
    fs::remove(home_.file("filler-last"));
  }

  std::int64_t samplesBefore_ = 0;

  // Runs "sync" and "write" against the store and checks the answers and
  // that nothing under the data folder changed. A refusal says "The health
  // store at '<store>' " and then `problem`.
  // `sideFiles` are names SQLite may add beside the store (and cannot take
  // away again when the store is read-only); every other entry must stay.
  void expectRefused(SyncOutcome syncOutcome, const std::string& problem,
                     const std::vector<std::string>& sideFiles = {}) {
    std::map<std::string, std::string> before = folderSnapshot(folder());
    auto withoutSideFiles = [&](std::map<std::string, std::string> entries) {
      for (const std::string& name : sideFiles) {
        if (!before.contains(name)) entries.erase(name);
      }
      return entries;
    };
    json sync{{"method", "sync"}, {"sourceMode", "native"}};
    json write = StepBatches().request(0, 200);
    for (const json& request : {sync, write}) {
      SCOPED_TRACE(request["method"].get<std::string>());
      BridgeAnswer answer = ask(home_, request);
      EXPECT_EQ(answer.process.terminatingSignal, 0);
      EXPECT_EQ(answer.process.standardError, "");
      ASSERT_TRUE(answer.envelope.is_object()) << answer.process.standardOutput;
      if (request["method"] == "sync" && syncOutcome == SyncOutcome::reads) {
        EXPECT_TRUE(answer.ok()) << answer.process.standardOutput;
        EXPECT_FALSE(answer.envelope["data"]["metrics"].empty());
      } else {
        EXPECT_EQ(answer.process.exitStatus, 1);
        EXPECT_EQ(answer.errorCode(), "SWIFT_ERROR") << answer.process.standardOutput;
        EXPECT_EQ(answer.errorMessage(), "The health store at '" + store() + "' " + problem);
      }
      EXPECT_EQ(withoutSideFiles(folderSnapshot(folder())), before) << "the store's folder changed";
    }
  }

 protected:
  StoreHome home_;
  bool mounted_ = false;
  bool immutable_ = false;
};

TEST_F(BrokenStoreTest, FilesThatAreNoStoreAreRefusedAndLeftAlone) {
  const int newer = platform::local_store::LocalStoreSchema::kCurrentVersion + 1;
  struct Case {
    const char* name;
    std::function<void(BrokenStoreTest& test)> make;
    std::string problem;
  };
  auto bytes = [](std::string text) { return [text](BrokenStoreTest& test) { writeFile(test.store(), text); }; };
  // A sound store, then one statement that breaks it.
  auto altered = [](std::string sql) {
    return [sql](BrokenStoreTest& test) {
      test.makeSoundStore();
      StoreInspection(test.store()).number(sql);
    };
  };
  const Case cases[] = {
      {"text", bytes("these are my notes, not a database\n"), "is not a database."},
      {"zero bytes", bytes(""), "is empty, not a database."},
      {"shorter than a header", bytes("SQLite"), "is not a database."},
      {"header only", bytes(std::string("SQLite format 3\0", 16)), "is not a database."},
      {"a folder", [](BrokenStoreTest& test) { fs::create_directory(test.store()); },
       "is a folder, not a database."},
      // Cut inside the page where the tables' roots and the index begin.
      {"truncated",
       [](BrokenStoreTest& test) {
         test.makeSoundStore();
         fs::resize_file(test.store(), fs::file_size(test.store()) / 3);
       },
       "is damaged."},
      {"a database that is not a store", altered("PRAGMA application_id = 0"), "is not a Tarnwick health store."},
      {"a store of a newer version", altered("PRAGMA user_version = " + std::to_string(newer)),
       "was written by a newer version of Tarnwick (layout " + std::to_string(newer) + ")."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder());
    fs::create_directories(folder());
    c.make(*this);
    expectRefused(SyncOutcome::fails, c.problem);
  }
}

// As root the store is made immutable instead; CI runs the case again as an
// unprivileged user, where the file's mode is what binds.
TEST_F(BrokenStoreTest, ReadOnlyStoreStillReadsButRefusesWritesNonRoot) {
  makeReadOnly();
  if (IsSkipped()) return;
  // Reading a store in write-ahead-log mode needs its log and index files;
  // a connection that may not write the store cannot remove them after.
  expectRefused(SyncOutcome::reads, "is read-only.", {"health.sqlite3-wal", "health.sqlite3-shm"});
}

TEST_F(BrokenStoreTest, LooseStoreThatCannotBeMadePrivateIsRefused) {
  makeSoundStore();
  ::chmod(store().c_str(), 0644);
  // The owner may always change a file's mode; only an immutable file's
  // mode cannot be changed, and only root can make one.
  if (!makeImmutable()) GTEST_SKIP() << "needs root and a file system with an immutable flag";
  expectRefused(SyncOutcome::fails, "is open to other users and cannot be made private: Operation not permitted.");
}

TEST_F(BrokenStoreTest, FullDiskIsReportedAndTheStoreKept) {
  makeFullDisk();
  if (IsSkipped()) return;
  const auto logBefore = fs::file_size(store() + "-wal");
  BridgeAnswer synced = ask(home_, {{"method", "sync"}, {"sourceMode", "native"}});
  EXPECT_TRUE(synced.ok()) << synced.process.standardOutput;
  // Room enough for the write to grow the log a little before it fails.
  leaveRoom(64 * 1024);
  BridgeAnswer written = ask(home_, StepBatches().request(0, 5000));
  EXPECT_EQ(written.errorMessage(), "The disk is full; the health store at '" + store() + "' could not be written.");
  // A failed write must not leave the log it grew taking the disk.
  EXPECT_LE(fs::file_size(store() + "-wal"), logBefore);
  freeDisk();
  {
    StoreInspection inspection(store());
    EXPECT_EQ(inspection.integrityCheck(), "ok");
    EXPECT_EQ(inspection.number("SELECT count(*) FROM samples"), samplesBefore_);
  }
  BridgeAnswer later = ask(home_, StepBatches().request(1, 20));
  EXPECT_TRUE(later.ok()) << later.process.standardOutput;
}

TEST_F(BrokenStoreTest, FullDiskStillReadsAStoreWhoseSharedMemoryFileIsGone) {
  makeFullDisk(DiskStore::closed);
  if (IsSkipped()) return;
  ASSERT_FALSE(fs::exists(store() + "-shm"));
  BridgeAnswer synced = ask(home_, {{"method", "sync"}, {"sourceMode", "native"}});
  EXPECT_TRUE(synced.ok()) << synced.process.standardOutput;
  EXPECT_FALSE(synced.envelope["data"]["metrics"].empty());
  BridgeAnswer written = ask(home_, StepBatches().request(0, 20));
  EXPECT_EQ(written.errorMessage(), "The disk is full; the health store at '" + store() + "' could not be written.");
  freeDisk();
  EXPECT_EQ(StoreInspection(store()).number("SELECT count(*) FROM samples"), samplesBefore_);
  EXPECT_TRUE(ask(home_, StepBatches().request(1, 20)).ok());
}

TEST_F(BrokenStoreTest, FullDiskDuringCreationNamesTheStoreAndLeavesNoTemporaryFile) {
  makeFullDisk(DiskStore::none);
  if (IsSkipped()) return;
  leaveRoom(16 * 1024);  // the temporary store is begun, and cannot be finished
  BridgeAnswer answer = ask(home_, StepBatches().request(0, 20));
  EXPECT_EQ(answer.errorCode(), "SWIFT_ERROR") << answer.process.standardOutput;
  EXPECT_NE(answer.errorMessage().find("'" + store() + "'"), std::string::npos) << answer.errorMessage();
  std::error_code ignored;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder(), ignored)) {
    ADD_FAILURE() << entry.path() << " left behind";
  }
}

}  // namespace
}  // namespace tarnwick::testing
