// The framework's HKHealthStore as blocking calls. Each call turns its
// arguments into the framework's, makes the framework call, waits for the
// completion the framework runs on its own queue and hands back what it
// answered. Nothing here throws: Objective-C++ built for the GNU runtime
// cannot unwind C++ exceptions, so errors come back as values, and
// native_health_store.cc throws them.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <variant>
#include <vector>

#include "health/health_store.h"

namespace tarnwick::platform::native {

// What one call answered: its value, or the error the framework reported
// (domain, code and text unchanged), or an invalid-argument error (code 3)
// for what the framework would raise for.
template <class T>
using Answer = std::variant<T, health::HealthStoreError>;

class FrameworkStore {
 public:
  virtual ~FrameworkStore() = default;
  // Each as the health::HealthStore call of the same name.
  virtual Answer<std::vector<health::Sample>> executeSampleQuery(const health::SampleQuery& query) = 0;
  virtual Answer<std::optional<health::Statistics>> executeStatisticsQuery(const health::StatisticsQuery& query) = 0;
  virtual Answer<bool> requestAuthorization(const std::set<health::ObjectType>& shareTypes,
                                            const std::set<health::ObjectType>& readTypes) = 0;
  virtual Answer<bool> saveObjects(const std::vector<health::Sample>& objects) = 0;
};

// Over one framework store object, created now.
std::unique_ptr<FrameworkStore> makeFrameworkStore();

}  // namespace tarnwick::platform::native
