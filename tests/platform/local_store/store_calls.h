// Store calls for table-driven tests: each helper makes one call and returns
// what it answered, a value or the error it threw, so that a row can expect
// either.
#pragma once

#include <optional>
#include <set>
#include <vector>

#include "health/health_store.h"

namespace tarnwick::testing {

template <class Value>
struct Delivered {
  std::optional<Value> value;
  std::optional<health::HealthStoreError> error;
};

template <class Call>
auto delivered(Call&& call) -> Delivered<decltype(call())> {
  try {
    return {call(), std::nullopt};
  } catch (const health::HealthStoreError& error) {
    return {std::nullopt, error};
  }
}

inline Delivered<std::vector<health::Sample>> querySamples(health::HealthStore& store, health::SampleQuery query) {
  return delivered([&] { return store.executeSampleQuery(std::move(query)); });
}

// A store's "no statistics" is an empty value with no error.
inline Delivered<health::Statistics> queryStatistics(health::HealthStore& store, health::StatisticsQuery query) {
  auto answered = delivered([&] { return store.executeStatisticsQuery(std::move(query)); });
  return {answered.value ? *answered.value : std::nullopt, answered.error};
}

inline Delivered<bool> save(health::HealthStore& store, std::vector<health::Sample> objects) {
  return delivered([&] { return store.saveObjects(std::move(objects)); });
}

inline Delivered<bool> authorize(health::HealthStore& store, std::set<health::ObjectType> share,
                                 std::set<health::ObjectType> read) {
  return delivered([&] { return store.requestAuthorization(std::move(share), std::move(read)); });
}

}  // namespace tarnwick::testing
