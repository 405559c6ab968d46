#include "store_answers.h"

#include <exception>
#include <utility>

namespace tarnwick::standin {
namespace {

template <class Call>
auto answerOf(Call&& call) -> StoreAnswer<decltype(call())> {
  try {
    return call();
  } catch (const health::HealthStoreError& error) {
    return error;
  } catch (const std::exception& error) {
    return health::HealthStoreError(health::HealthErrorCode::databaseInaccessible, error.what());
  }
}

}  // namespace

StoreAnswer<std::vector<health::Sample>> askSampleQuery(health::HealthStore& store, health::SampleQuery query) noexcept {
  return answerOf([&] { return store.executeSampleQuery(std::move(query)); });
}

StoreAnswer<std::optional<health::Statistics>> askStatisticsQuery(health::HealthStore& store,
                                                                  health::StatisticsQuery query) noexcept {
  return answerOf([&] { return store.executeStatisticsQuery(std::move(query)); });
}

StoreAnswer<bool> askAuthorization(health::HealthStore& store, std::set<health::ObjectType> shareTypes,
                                   std::set<health::ObjectType> readTypes) noexcept {
  return answerOf([&] { return store.requestAuthorization(std::move(shareTypes), std::move(readTypes)); });
}

StoreAnswer<bool> askSave(health::HealthStore& store, std::vector<health::Sample> objects) noexcept {
  return answerOf([&] { return store.saveObjects(std::move(objects)); });
}

}  // namespace tarnwick::standin
