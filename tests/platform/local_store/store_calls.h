// Waiting for a store's handlers in tests: each helper runs one call,
// waits for its handler and returns what it delivered, noting whether the
// handler ran on the caller's thread (it never should).
#pragma once

#include <future>
#include <optional>
#include <thread>
#include <vector>

#include "health/health_store.h"

namespace tarnwick::testing {

template <class Value>
struct Delivered {
  std::optional<Value> value;
  std::optional<health::HealthStoreError> error;
  bool onCallerThread = false;
};

inline Delivered<std::vector<health::Sample>> querySamples(health::HealthStore& store, health::SampleQuery query) {
  std::promise<Delivered<std::vector<health::Sample>>> promise;
  std::thread::id caller = std::this_thread::get_id();
  store.executeSampleQuery(std::move(query), [&](auto results, auto error) {
    promise.set_value({std::move(results), std::move(error), std::this_thread::get_id() == caller});
  });
  return promise.get_future().get();
}

inline Delivered<health::Statistics> queryStatistics(health::HealthStore& store, health::StatisticsQuery query) {
  std::promise<Delivered<health::Statistics>> promise;
  std::thread::id caller = std::this_thread::get_id();
  store.executeStatisticsQuery(std::move(query), [&](auto statistics, auto error) {
    promise.set_value({std::move(statistics), std::move(error), std::this_thread::get_id() == caller});
  });
  return promise.get_future().get();
}

inline Delivered<bool> completion(const std::function<void(health::CompletionHandler)>& call) {
  std::promise<Delivered<bool>> promise;
  std::thread::id caller = std::this_thread::get_id();
  call([&](bool success, auto error) {
    promise.set_value({success, std::move(error), std::this_thread::get_id() == caller});
  });
  return promise.get_future().get();
}

inline Delivered<bool> save(health::HealthStore& store, std::vector<health::Sample> objects) {
  return completion([&](health::CompletionHandler handler) { store.saveObjects(std::move(objects), std::move(handler)); });
}

inline Delivered<bool> authorize(health::HealthStore& store, std::set<health::ObjectType> share,
                                 std::set<health::ObjectType> read) {
  return completion([&](health::CompletionHandler handler) {
    store.requestAuthorization(std::move(share), std::move(read), std::move(handler));
  });
}

}  // namespace tarnwick::testing
