// The local store's file on a real disk: found by the data-home rules,
// created late and private and kept private, never a half-made store or a
// leftover, and a file that is not a valid store is reported and left byte
// for byte as it was. The "NonRoot" cases need file modes to bind, so they
// skip for the superuser; CI runs them again as an unprivileged user.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/local_store/local_store_schema.h"
#include "run_programs.h"
#include "store_calls.h"
#include "store_factories.h"

namespace tarnwick::testing {
namespace {

namespace fs = std::filesystem;

const health::ObjectType kHeartRate{health::ObjectKind::quantity, std::string(health::kHeartRateIdentifier)};

health::SampleQuery newestHeartRate() {
  return {kHeartRate, std::nullopt, 1, {{std::string(health::kSampleSortIdentifierStartDate), false}}};
}

std::string contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << file.rdbuf();
  return buffer.str();
}

void write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

unsigned mode(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

std::vector<std::string> entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A valid store's bytes, made by the store itself in a scratch folder.
std::string validStoreBytes(int rows) {
  TemporaryDirectory scratch;
  std::string path = scratch.file("health.sqlite3");
  {
    auto database = platform::local_store::openStore(path);
    platform::local_store::WriteTransaction transaction(*database);
    platform::local_store::SampleWriter writer(*database);
    for (int row = 0; row < rows; ++row) {
      health::Sample sample = health::makeQuantitySample(
          kHeartRate, health::Quantity(health::Unit::count().dividedBy(health::Unit::minute()), 60 + row % 40), row, row);
      sample.sourceName = "Watch " + std::to_string(row);
      writer.add(sample);
    }
    transaction.commit();
  }
  return contents(path);
}

TEST(LocalStoreFile, LookupsCreateNothingAndFirstQueryCreatesPrivateFiles) {
  TemporaryDirectory directory;
  ::chmod(directory.path().c_str(), 0755);
  std::string path = directory.file("data/tarnwick/health.sqlite3");
  auto store = platform::makeLocalHealthStore(path);
  EXPECT_TRUE(store->quantityTypeForIdentifier(health::kStepCountIdentifier));
  EXPECT_TRUE(store->unitFromString("kg"));
  EXPECT_FALSE(fs::exists(directory.file("data")));

  auto delivered = querySamples(*store, newestHeartRate());
  ASSERT_TRUE(delivered.error);
  EXPECT_TRUE(delivered.error->is(health::HealthErrorCode::authorizationNotDetermined));
  EXPECT_EQ(mode(directory.file("data")), 0700u);
  EXPECT_EQ(mode(directory.file("data/tarnwick")), 0700u);
  EXPECT_EQ(mode(path), 0600u);
  EXPECT_EQ(mode(directory.path()), 0755u) << "an existing folder keeps its mode";
  for (const std::string& name : entries(directory.file("data/tarnwick"))) {
    EXPECT_EQ(name.find(".new-"), std::string::npos) << "temporary file left behind: " << name;
  }
}

TEST(LocalStoreFile, BrokenFilesAreReportedAndLeftUnchanged) {
  std::string valid = validStoreBytes(3000);
  std::string foreign;
  {
    TemporaryDirectory scratch;
    sqlite3* handle = nullptr;
    sqlite3_open(scratch.file("other.db").c_str(), &handle);
    sqlite3_exec(handle, "CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('mine')", nullptr, nullptr, nullptr);
    sqlite3_close(handle);
    foreign = contents(scratch.file("other.db"));
  }
  std::string newer = valid;
  newer[60 + 3] = static_cast<char>(platform::local_store::LocalStoreSchema::kCurrentVersion + 1);  // user_version

  struct Case {
    const char* name;
    std::string bytes;
    std::string problem;  // after "The health store at '<path>' "
  };
  std::vector<Case> cases{
      {"zero bytes", "", "is empty, not a database."},
      {"text", "steps,heart rate\n1,2\n", "is not a database."},
      {"shorter than a header", "SQLite", "is not a database."},
      {"truncated store", valid.substr(0, valid.size() / 3), "is damaged."},
      {"a database that is not a store", foreign, "is not a Tarnwick health store."},
      {"a store of a newer version", newer, "was written by a newer version of Tarnwick (layout " +
                                                    std::to_string(platform::local_store::LocalStoreSchema::kCurrentVersion + 1) + ")."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TemporaryDirectory directory;
    std::string path = directory.file("health.sqlite3");
    write(path, c.bytes);
    auto store = platform::makeLocalHealthStore(path);
    auto query = querySamples(*store, newestHeartRate());
    auto saved = save(*store, {health::makeCategorySample({health::ObjectKind::category,
                                                           std::string(health::kSleepAnalysisIdentifier)},
                                                          1, 0, 10)});
    for (const auto& error : {query.error, saved.error}) {
      ASSERT_TRUE(error);
      EXPECT_TRUE(error->is(health::HealthErrorCode::databaseInaccessible)) << error->code();
      EXPECT_EQ(error->what(), "The health store at '" + path + "' " + c.problem);
    }
    store.reset();
    EXPECT_TRUE(contents(path) == c.bytes) << "the file was changed";
    EXPECT_EQ(entries(directory.path()), std::vector<std::string>{"health.sqlite3"});
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

TEST(LocalStoreFile, AFolderInTheWayIsAClearError) {
  TemporaryDirectory directory;
  std::string path = directory.file("health.sqlite3");
  fs::create_directory(path);
  auto store = platform::makeLocalHealthStore(path);
  auto query = querySamples(*store, newestHeartRate());
  ASSERT_TRUE(query.error);
  EXPECT_EQ(query.error->what(), "The health store at '" + path + "' is a folder, not a database.");

  // A file where a folder should be.
  std::string blocked = directory.file("plain/tarnwick/health.sqlite3");
  write(directory.file("plain"), "x");
  auto other = platform::makeLocalHealthStore(blocked);
  auto failed = querySamples(*other, newestHeartRate());
  ASSERT_TRUE(failed.error);
  EXPECT_TRUE(failed.error->is(health::HealthErrorCode::databaseInaccessible));
  EXPECT_EQ(contents(directory.file("plain")), "x");
}

TEST(LocalStoreFileNonRoot, ReadOnlyStoreReadsButRefusesSaves) {
  if (::geteuid() == 0) GTEST_SKIP() << "file modes do not bind the superuser";
  LocalStoreFactory factory;
  factory.setAccess(kHeartRate.identifier, Decision::authorized, Decision::authorized);
  factory.seed(health::makeQuantitySample(kHeartRate, health::Quantity(health::Unit::count().dividedBy(health::Unit::minute()), 61), 5, 5),
               "Watch");
  ::chmod(factory.path().c_str(), 0400);
  std::string before = contents(factory.path());
  auto store = platform::makeLocalHealthStore(factory.path());
  auto query = querySamples(*store, newestHeartRate());
  ASSERT_FALSE(query.error) << query.error->what();
  EXPECT_EQ(query.value->size(), 1u);
  auto saved = save(*store, {health::makeQuantitySample(kHeartRate, health::Quantity(health::Unit::count().dividedBy(health::Unit::minute()), 70), 9, 9)});
  ASSERT_TRUE(saved.error);
  EXPECT_EQ(saved.error->what(), "The health store at '" + factory.path() + "' is read-only.");
  store.reset();
  EXPECT_TRUE(contents(factory.path()) == before);
}

TEST(LocalStoreFileNonRoot, AnUnreadableFolderNamesTheSystemError) {
  if (::geteuid() == 0) GTEST_SKIP() << "file modes do not bind the superuser";
  TemporaryDirectory directory;
  fs::create_directory(directory.file("locked"));
  ::chmod(directory.file("locked").c_str(), 0);
  std::string path = directory.file("locked/health.sqlite3");
  auto store = platform::makeLocalHealthStore(path);
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
      {"", 0755, 0700}, {"health.sqlite3", 0644, 0600}, {"health.sqlite3", 0444, 0400},
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
    EXPECT_EQ(mode(part), c.made);
    for (const std::string& name : entries(folder)) EXPECT_EQ(mode(folder + "/" + name) & 077, 0u) << name;
  }
}

TEST(LocalStoreFile, UnderAnyUmaskTheFirstRunLeavesAUsableStore) {
  TemporaryDirectory directory;
  const std::string path = directory.file("data/tarnwick/health.sqlite3");
  mode_t previous = ::umask(0777);
  auto first = querySamples(*platform::makeLocalHealthStore(path), newestHeartRate());
  ::umask(previous);
  ASSERT_TRUE(first.error);
  EXPECT_TRUE(first.error->is(health::HealthErrorCode::authorizationNotDetermined)) << first.error->what();
  EXPECT_EQ(mode(directory.file("data")), 0700u);
  EXPECT_EQ(mode(directory.file("data/tarnwick")), 0700u);
  EXPECT_EQ(mode(path), 0600u);
  auto later = querySamples(*platform::makeLocalHealthStore(path), newestHeartRate());
  ASSERT_TRUE(later.error);
  EXPECT_TRUE(later.error->is(health::HealthErrorCode::authorizationNotDetermined)) << later.error->what();
}

TEST(LocalStoreFile, AbandonedCreationsAreRemovedAndALiveOneIsLeft) {
  LocalStoreFactory factory;
  const std::string folder = fs::path(factory.path()).parent_path().string();
  fs::create_directories(folder);
  for (const char* name : {"health.sqlite3.new-dead01", "health.sqlite3.new-dead01-wal", "health.sqlite3.new-dead01-shm",
                           "health.sqlite3.new-gone02-wal", "health.sqlite3.new-live03", "notes.new-keep04"}) {
    write(folder + "/" + name, "x");
  }
  // A creator still at work holds the lock on its file.
  int live = ::open((folder + "/health.sqlite3.new-live03").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(live, LOCK_EX), 0);
  auto delivered = querySamples(factory.store(), newestHeartRate());
  ::close(live);
  ASSERT_TRUE(delivered.error);
  EXPECT_TRUE(delivered.error->is(health::HealthErrorCode::authorizationNotDetermined)) << delivered.error->what();
  EXPECT_EQ(entries(folder),
            (std::vector<std::string>{"health.sqlite3", "health.sqlite3-shm", "health.sqlite3-wal",
                                      "health.sqlite3.new-live03", "notes.new-keep04"}));
}

}  // namespace
}  // namespace tarnwick::testing
