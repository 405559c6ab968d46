// The local store's file on a real disk: found by the data-home rules,
// created late and private and kept private, never a half-made store or a
// leftover. (Files that are no valid store, and read-only stores, are the
// reliability suite's, through the bridge.) The "NonRoot" cases need file
// modes to bind, so they skip for the superuser; CI runs them again as an
// unprivileged user.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "platform/local_store/local_store_schema.h"
#include "store_calls.h"
#include "store_factories.h"
#include "support/process_runner.h"
#include "support/test_files.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;

const health::ObjectType kHeartRate{health::ObjectKind::quantity, std::string(health::kHeartRateIdentifier)};

health::SampleQuery newestHeartRate() {
  return {kHeartRate, std::nullopt, 1, {{std::string(health::kSampleSortIdentifierStartDate), false}}};
}

TEST(LocalStoreFile, MakingTheStoreCreatesNothingAndFirstQueryCreatesPrivateFiles) {
  TemporaryDirectory directory;
  ::chmod(directory.path().c_str(), 0755);
  std::string path = directory.file("data/tarnwick/health.sqlite3");
  auto store = platform::local_store::makeLocalHealthStore(path);
  EXPECT_FALSE(fs::exists(directory.file("data")));

  auto delivered = querySamples(*store, newestHeartRate());
  ASSERT_TRUE(delivered.error);
  EXPECT_TRUE(delivered.error->is(health::HealthErrorCode::authorizationNotDetermined));
  EXPECT_EQ(fileMode(directory.file("data")), 0700u);
  EXPECT_EQ(fileMode(directory.file("data/tarnwick")), 0700u);
  EXPECT_EQ(fileMode(path), 0600u);
  EXPECT_EQ(fileMode(directory.path()), 0755u) << "an existing folder keeps its mode";
  for (const std::string& name : folderEntries(directory.file("data/tarnwick"))) {
    EXPECT_EQ(name.find(".new-"), std::string::npos) << "temporary file left behind: " << name;
  }
}

TEST(LocalStoreFile, AnOlderLayoutIsMigratedAndKeepsItsSamples) {
  LocalStoreFactory factory;
  factory.setAccess(kHeartRate.identifier, Decision::authorized, Decision::authorized);
  // A long sample starting well before the window.
  factory.seed(health::makeQuantitySample(kHeartRate,
                                          health::Quantity(health::Unit::count().dividedBy(health::Unit::minute()), 64),
                                          0, 1000),
               "Watch");
  {
    auto database = platform::local_store::openStore(factory.path());
    database->execute("DROP INDEX samples_by_type_end; PRAGMA user_version = 1");
  }
  health::SampleQuery query{kHeartRate, health::SamplePredicate{900.0, std::nullopt, health::kQueryOptionNone}, 0, {}};
  auto delivered = querySamples(factory.store(), query);
  ASSERT_FALSE(delivered.error) << delivered.error->what();
  EXPECT_EQ(delivered.value->size(), 1u);
  auto database = platform::local_store::openStore(factory.path());
  platform::local_store::Statement version(*database, "PRAGMA user_version");
  ASSERT_TRUE(version.step());
  EXPECT_EQ(version.columnInt(0), platform::local_store::LocalStoreSchema::kCurrentVersion);
  platform::local_store::Statement index(*database, "SELECT count(*) FROM sqlite_schema WHERE name = 'samples_by_type_end'");
  ASSERT_TRUE(index.step());
  EXPECT_EQ(index.columnInt(0), 1);
}

TEST(LocalStoreFile, AFileWhereAFolderShouldBeIsAnError) {
  TemporaryDirectory directory;
  std::string blocked = directory.file("plain/tarnwick/health.sqlite3");
  writeFile(directory.file("plain"), "x");
  auto other = platform::local_store::makeLocalHealthStore(blocked);
  auto failed = querySamples(*other, newestHeartRate());
  ASSERT_TRUE(failed.error);
  EXPECT_TRUE(failed.error->is(health::HealthErrorCode::databaseInaccessible));
  EXPECT_EQ(readFile(directory.file("plain")), "x");
}

TEST(LocalStoreFileNonRoot, AnUnreadableFolderNamesTheSystemError) {
  if (::geteuid() == 0) GTEST_SKIP() << "file modes do not bind the superuser";
  TemporaryDirectory directory;
  fs::create_directory(directory.file("locked"));
  ::chmod(directory.file("locked").c_str(), 0);
  std::string path = directory.file("locked/health.sqlite3");
  auto store = platform::local_store::makeLocalHealthStore(path);
  auto query = querySamples(*store, newestHeartRate());
  ASSERT_TRUE(query.error);
  EXPECT_EQ(query.error->what(), "The health store at '" + path + "' cannot be opened: Permission denied.");
}

TEST(LocalStoreFile, WithoutAnAbsoluteDataFolderTheProgramsFailAndCreateNothing) {
  struct Case {
    std::map<std::string, std::string> set;
    std::vector<std::string> unset;
    std::string reason;
  };
  for (const Case& c : std::vector<Case>{
           {{}, {"XDG_DATA_HOME", "HOME"}, "XDG_DATA_HOME is not set and HOME is not set"},
           {{{"XDG_DATA_HOME", ""}, {"HOME", ""}}, {}, "XDG_DATA_HOME is empty and HOME is empty"},
           {{{"XDG_DATA_HOME", "data"}, {"HOME", "."}}, {},
            "XDG_DATA_HOME ('data') is not an absolute path and HOME ('.') is not an absolute path"},
       }) {
    SCOPED_TRACE(c.reason);
    const std::string expected =
        "The health store has no location because " + c.reason + "; set HOME (or XDG_DATA_HOME) to an absolute folder.";
    TemporaryDirectory working;
    ProcessOptions options;
    options.environment = c.set;
    options.unsetEnvironment = c.unset;
    options.workingDirectory = working.path();
    options.standardInput = R"({"method":"write","sourceMode":"native","items":[{"id":"a","type":"steps","label":"Steps","value":"1","startDate":1700000000000}]})";
    ProcessResult bridge = runProcess(builtProgram("tarnwick"), options);
    EXPECT_EQ(bridge.exitStatus, 1);
    nlohmann::json envelope = nlohmann::json::parse(bridge.standardOutput, nullptr, false);
    ASSERT_TRUE(envelope.is_object()) << bridge.standardOutput;
    EXPECT_EQ(envelope["error"]["code"], "SWIFT_ERROR");
    EXPECT_EQ(envelope["error"]["message"], expected);

    options.standardInput.reset();
    options.arguments = {"path"};
    ProcessResult tool = runProcess(builtProgram("tarnwick-store"), options);
    EXPECT_EQ(tool.exitStatus, 1);
    EXPECT_EQ(tool.standardOutput, "");
    EXPECT_EQ(tool.standardError, "tarnwick-store: " + expected + "\n");
    EXPECT_TRUE(fs::is_empty(working.path())) << "something was created in the working folder";
  }
}

TEST(LocalStoreFile, EveryOpenTakesOtherUsersAccessAway) {
  struct Case {
    const char* part;
    unsigned loose;
    unsigned made;  // the owner's own bits are kept
  };
  const std::vector<Case> cases{
      {"health.sqlite3", 0644, 0600}, {"health.sqlite3", 0444, 0400},
      {"health.sqlite3-wal", 0666, 0600}, {"health.sqlite3-shm", 0640, 0600}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.part) + " " + std::to_string(c.loose));
    LocalStoreFactory factory;
    factory.setAccess(kHeartRate.identifier, Decision::authorized, Decision::authorized);
    const std::string folder = fs::path(factory.path()).parent_path().string();
    const std::string part = folder + (*c.part ? "/" + std::string(c.part) : "");
    // A connection left open keeps the log and shared-memory files there.
    auto holder = platform::local_store::openStore(factory.path());
    ::chmod(part.c_str(), c.loose);
    auto delivered = querySamples(factory.store(), newestHeartRate());
    EXPECT_FALSE(delivered.error) << delivered.error->what();
    EXPECT_EQ(fileMode(part), c.made);
    for (const std::string& name : folderEntries(folder)) EXPECT_EQ(fileMode(folder + "/" + name) & 077, 0u) << name;
  }
}

TEST(LocalStoreFile, UnderAnyUmaskTheFirstRunLeavesAUsableStore) {
  TemporaryDirectory directory;
  const std::string path = directory.file("data/tarnwick/health.sqlite3");
  mode_t previous = ::umask(0777);
  auto first = querySamples(*platform::local_store::makeLocalHealthStore(path), newestHeartRate());
  ::umask(previous);
  ASSERT_TRUE(first.error);
  EXPECT_TRUE(first.error->is(health::HealthErrorCode::authorizationNotDetermined)) << first.error->what();
  EXPECT_EQ(fileMode(directory.file("data")), 0700u);
  EXPECT_EQ(fileMode(directory.file("data/tarnwick")), 0700u);
  EXPECT_EQ(fileMode(path), 0600u);
  auto later = querySamples(*platform::local_store::makeLocalHealthStore(path), newestHeartRate());
  ASSERT_TRUE(later.error);
  EXPECT_TRUE(later.error->is(health::HealthErrorCode::authorizationNotDetermined)) << later.error->what();
}

TEST(LocalStoreFile, AbandonedCreationsAreRemovedAndALiveOneIsLeft) {
  LocalStoreFactory factory;
  const std::string folder = fs::path(factory.path()).parent_path().string();
  fs::create_directories(folder);
  for (const char* name : {"health.sqlite3.new-tarnwick-dead01", "health.sqlite3.new-tarnwick-dead01-wal",
                           "health.sqlite3.new-tarnwick-dead01-shm", "health.sqlite3.new-tarnwick-gone02-wal",
                           "health.sqlite3.new-tarnwick-live03", "notes.new-tarnwick-keep04"}) {
    writeFile(folder + "/" + name, "");
  }
  // A creator still at work holds the lock on its file.
  int live = ::open((folder + "/health.sqlite3.new-tarnwick-live03").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(live, LOCK_EX), 0);
  auto delivered = querySamples(factory.store(), newestHeartRate());
  ::close(live);
  ASSERT_TRUE(delivered.error);
  EXPECT_TRUE(delivered.error->is(health::HealthErrorCode::authorizationNotDetermined)) << delivered.error->what();
  EXPECT_EQ(folderEntries(folder),
            (std::vector<std::string>{"health.sqlite3", "health.sqlite3-shm", "health.sqlite3-wal",
                                      "health.sqlite3.new-tarnwick-live03", "notes.new-tarnwick-keep04"}));
}

}  // namespace
}  // namespace tarnwick::testing
