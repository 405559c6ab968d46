#include "health/deferred_health_store.h"

#include <utility>

namespace tarnwick::health {

HealthStore& DeferredHealthStore::made() {
  std::call_once(once_, [this] { store_ = make_(); });
  return *store_;
}

std::optional<ObjectType> DeferredHealthStore::quantityTypeForIdentifier(std::string_view identifier) {
  return made().quantityTypeForIdentifier(identifier);
}

std::optional<ObjectType> DeferredHealthStore::categoryTypeForIdentifier(std::string_view identifier) {
  return made().categoryTypeForIdentifier(identifier);
}

ObjectType DeferredHealthStore::workoutType() { return made().workoutType(); }

std::optional<Unit> DeferredHealthStore::unitFromString(std::string_view text) { return made().unitFromString(text); }

void DeferredHealthStore::executeSampleQuery(SampleQuery query, SampleQueryHandler handler) {
  made().executeSampleQuery(std::move(query), std::move(handler));
}

void DeferredHealthStore::executeStatisticsQuery(StatisticsQuery query, StatisticsHandler handler) {
  made().executeStatisticsQuery(std::move(query), std::move(handler));
}

void DeferredHealthStore::requestAuthorization(std::set<ObjectType> shareTypes, std::set<ObjectType> readTypes,
                                               CompletionHandler handler) {
  made().requestAuthorization(std::move(shareTypes), std::move(readTypes), std::move(handler));
}

void DeferredHealthStore::saveObjects(std::vector<Sample> objects, CompletionHandler handler) {
  made().saveObjects(std::move(objects), std::move(handler));
}

}  // namespace tarnwick::health
