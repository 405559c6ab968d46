#include "platform/local_store/stored_types.h"

#include <limits>

namespace tarnwick::platform::local_store {

const health::MetricEntry* findStoredType(std::string_view identifier) {
  return health::findMetricByTypeIdentifier(identifier);
}

std::optional<health::ObjectType> objectTypeFor(std::string_view identifier) {
  const health::MetricEntry* metric = findStoredType(identifier);
  if (!metric) return std::nullopt;
  return metric->type;
}

health::Unit canonicalUnit(std::string_view identifier) {
  const health::MetricEntry* metric = findStoredType(identifier);
  return metric && metric->quantity ? metric->quantity->storedUnit : health::Unit::count();
}

double largestStoredValue(std::string_view identifier) {
  const health::MetricEntry* metric = findStoredType(identifier);
  // A type without a bound still leaves out infinities.
  if (!metric || !metric->quantity) return std::numeric_limits<double>::max();
  return metric->quantity->largest.value();
}

}  // namespace tarnwick::platform::local_store
