// The stores the contract suite runs against, behind one small shape: make
// the store, seed it past its permission rules, set access, reorder source
// priority, and read back everything it holds.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "health/health_store.h"
#include "platform/local_store/local_health_store.h"
#include "platform/local_store/permission_records.h"
#include "platform/local_store/sample_records.h"
#include "platform/local_store/source_priority.h"
#include "platform/local_store/store_file.h"
#include "support/fake_health_store.h"
#include "support/temporary_directory.h"

namespace tarnwick::testing {

enum class Decision { notDetermined, denied, authorized };

class FakeStoreFactory {
 public:
  health::HealthStore& store() { return store_; }
  void seed(health::Sample sample, const std::string& source) { store_.addSample(std::move(sample), source); }
  void setAccess(const std::string& identifier, Decision read, Decision share) {
    store_.setReadAccess(identifier, toAccess(read));
    store_.setShareAccess(identifier, toAccess(share));
  }
  void prefer(const std::vector<std::string>& sources) { store_.preferSources(sources); }
  std::vector<health::Sample> stored() { return store_.samples(); }

 private:
  static Access toAccess(Decision decision) {
    switch (decision) {
      case Decision::denied: return Access::denied;
      case Decision::authorized: return Access::authorized;
      case Decision::notDetermined: break;
    }
    return Access::notDetermined;
  }
  FakeHealthStore store_;
};

class LocalStoreFactory {
 public:
  LocalStoreFactory() : path_(directory_.file("data/tarnwick/health.sqlite3")), store_(platform::makeLocalHealthStore(path_)) {}
  health::HealthStore& store() { return *store_; }
  void seed(health::Sample sample, const std::string& source) {
    sample.sourceName = source;
    auto database = platform::local_store::openStore(path_);
    platform::local_store::WriteTransaction transaction(*database);
    platform::local_store::SampleWriter(*database).add(sample);
    transaction.commit();
  }
  void setAccess(const std::string& identifier, Decision read, Decision share) {
    auto database = platform::local_store::openStore(path_);
    platform::local_store::setAccess(*database, identifier, toAccess(read), toAccess(share));
  }
  void prefer(const std::vector<std::string>& sources) {
    auto database = platform::local_store::openStore(path_);
    platform::local_store::preferSources(*database, sources);
  }
  std::vector<health::Sample> stored() {
    auto database = platform::local_store::openStore(path_);
    return platform::local_store::allSamples(*database);
  }
  const std::string& path() const { return path_; }

 private:
  static platform::local_store::Access toAccess(Decision decision) {
    switch (decision) {
      case Decision::denied: return platform::local_store::Access::denied;
      case Decision::authorized: return platform::local_store::Access::authorized;
      case Decision::notDetermined: break;
    }
    return platform::local_store::Access::notDetermined;
  }
  TemporaryDirectory directory_;
  std::string path_;
  std::unique_ptr<health::HealthStore> store_;
};

}  // namespace tarnwick::testing
