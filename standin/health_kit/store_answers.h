// The backing store's calls as the stand-in's Objective-C++ classes make
// them: whatever a call throws comes back as a value, since Objective-C++
// built for the GNU runtime cannot catch C++ exceptions.
#pragma once

#include <optional>
#include <set>
#include <variant>
#include <vector>

#include "health/health_store.h"

namespace tarnwick::standin {

// The call's value, or the HealthStoreError it threw (any other exception
// becomes a store failure, code 6, with its text).
template <class T>
using StoreAnswer = std::variant<T, health::HealthStoreError>;

StoreAnswer<std::vector<health::Sample>> askSampleQuery(health::HealthStore& store, health::SampleQuery query) noexcept;
StoreAnswer<std::optional<health::Statistics>> askStatisticsQuery(health::HealthStore& store,
                                                                  health::StatisticsQuery query) noexcept;
StoreAnswer<bool> askAuthorization(health::HealthStore& store, std::set<health::ObjectType> shareTypes,
                                   std::set<health::ObjectType> readTypes) noexcept;
StoreAnswer<bool> askSave(health::HealthStore& store, std::vector<health::Sample> objects) noexcept;

}  // namespace tarnwick::standin
