// The stores the contract suite runs against, behind one small shape: make
// the store, seed it past its permission rules, set access, reorder source
// priority, and read back everything it holds.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "health/health_store.h"
#include "platform/local_store/local_store.h"
#include "platform/local_store/sample_records.h"
#include "platform/local_store/store_file.h"
#include "support/fake_health_store.h"
#include "support/local_store_setup.h"
#include "support/temporary_directory.h"

namespace tarnwick::testing {

using Decision = Access;

class FakeStoreFactory {
 public:
  health::HealthStore& store() { return store_; }
  void seed(health::Sample sample, const std::string& source) { store_.addSample(std::move(sample), source); }
  void setAccess(const std::string& identifier, Decision read, Decision share) {
    store_.setReadAccess(identifier, read);
    store_.setShareAccess(identifier, share);
  }
  void prefer(const std::vector<std::string>& sources) { store_.preferSources(sources); }
  std::vector<health::Sample> stored() { return store_.samples(); }

 private:
  FakeHealthStore store_;
};

class LocalStoreFactory {
 public:
  LocalStoreFactory()
      : setup_(directory_.file("data/tarnwick/health.sqlite3")), store_(platform::local_store::makeLocalHealthStore(setup_.path())) {}
  health::HealthStore& store() { return *store_; }
  void seed(health::Sample sample, const std::string& source) { setup_.add(std::move(sample), source); }
  void setAccess(const std::string& identifier, Decision read, Decision share) {
    setup_.setAccess({identifier}, read, share);
  }
  void prefer(const std::vector<std::string>& sources) { setup_.prefer(sources); }
  std::vector<health::Sample> stored() { return setup_.samples(); }
  const std::string& path() const { return setup_.path(); }

 private:
  TemporaryDirectory directory_;
  LocalStoreSetup setup_;
  std::unique_ptr<health::HealthStore> store_;
};

}  // namespace tarnwick::testing
