#include "support/local_store_setup.h"

#include "platform/local_store/database.h"
#include "platform/local_store/sample_records.h"
#include "platform/local_store/sample_validation.h"
#include "platform/local_store/source_priority.h"
#include "platform/local_store/store_file.h"

namespace tarnwick::testing {
namespace {

using platform::local_store::WriteTransaction;

// The store's file, opened for one step of set-up. A test's set-up needs no
// durability, and a sync per step would make the set-up, not the test, take
// most of the time.
std::unique_ptr<platform::local_store::Database> openStore(const std::string& path) {
  auto database = platform::local_store::openStore(path);
  database->execute("PRAGMA synchronous = OFF");
  return database;
}

}  // namespace

void LocalStoreSetup::add(health::Sample sample, const std::string& source) const {
  sample.sourceName = source;
  platform::local_store::validateSample(sample);
  auto database = openStore(path_);
  WriteTransaction transaction(*database);
  platform::local_store::SampleWriter(*database).add(sample);
  transaction.commit();
}

void LocalStoreSetup::setAccess(const std::vector<std::string>& typeIdentifiers, std::optional<Access> read,
                                std::optional<Access> share) const {
  auto database = openStore(path_);
  WriteTransaction transaction(*database);
  for (const std::string& identifier : typeIdentifiers) {
    platform::local_store::setAccess(*database, identifier, read, share);
  }
  transaction.commit();
}

void LocalStoreSetup::prefer(const std::vector<std::string>& sources) const {
  auto database = openStore(path_);
  WriteTransaction transaction(*database);
  platform::local_store::preferSources(*database, sources);
  transaction.commit();
}

std::vector<health::Sample> LocalStoreSetup::samples() const {
  return platform::local_store::allSamples(*openStore(path_));
}

}  // namespace tarnwick::testing
