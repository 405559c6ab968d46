#include "platform/local_store/stored_types.h"

#include <limits>
#include <string>
#include <vector>

#include "health/metric_catalogue.h"

namespace tarnwick::platform::local_store {
namespace {

// Built once from the catalogue's rows.
const std::vector<StoredType>& storedTypes() {
  static const std::vector<StoredType> types = [] {
    std::vector<StoredType> rows;
    for (const health::MetricEntry& metric : health::metricCatalogue()) {
      // Parsed here once, as every saved sample asks for its type's unit.
      std::optional<health::Unit> unit = health::Unit::fromString(metric.storedUnit);
      rows.push_back({metric.typeIdentifier, metric.kind, metric.cumulative, unit.value_or(health::Unit::count())});
    }
    return rows;
  }();
  return types;
}

}  // namespace

const StoredType* findStoredType(std::string_view identifier) {
  for (const StoredType& type : storedTypes()) {
    if (type.identifier == identifier) return &type;
  }
  return nullptr;
}

std::optional<health::ObjectType> objectTypeFor(std::string_view identifier) {
  const StoredType* type = findStoredType(identifier);
  if (!type) return std::nullopt;
  return health::ObjectType{type->kind, std::string(type->identifier)};
}

health::Unit canonicalUnit(std::string_view identifier) {
  const StoredType* type = findStoredType(identifier);
  return type ? type->unit : health::Unit::count();
}

double largestStoredValue(std::string_view identifier) {
  std::optional<std::string> key = health::metricKeyForTypeIdentifier(identifier);
  std::optional<health::Quantity> largest = key ? health::largestQuantity(*key) : std::nullopt;
  // A type without a bound still leaves out infinities.
  if (!largest) return std::numeric_limits<double>::max();
  return largest->doubleValueForUnit(canonicalUnit(identifier));
}

}  // namespace tarnwick::platform::local_store
