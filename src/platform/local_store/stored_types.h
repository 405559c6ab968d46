// The sample types the local store knows, one per metric of the catalogue,
// and for each quantity type the one unit its values are kept in, so that a
// sum over a type is one SQL SUM and no row needs a conversion on the way out.
#pragma once

#include <optional>
#include <string_view>

#include "health/object_types.h"
#include "health/units.h"

namespace tarnwick::platform::local_store {

struct StoredType {
  // What the store's file holds in its type columns: the platform's
  // identifier, so files written before keep their meaning.
  std::string_view identifier;
  health::ObjectKind kind;
  // Cumulative types (steps) may be summed; discrete ones (heart rate) not.
  bool cumulative = false;
  // The unit values are kept in; count for the kinds that hold no quantity.
  health::Unit unit = health::Unit::count();
};

// The stored type with this platform identifier, or nullptr.
const StoredType* findStoredType(std::string_view identifier);

// The type a known identifier names, or nothing.
std::optional<health::ObjectType> objectTypeFor(std::string_view identifier);

// The unit a quantity type's values are stored in (count for steps,
// count/min, ms, kg, mg/dL). The count unit for any other type.
health::Unit canonicalUnit(std::string_view identifier);

// The largest magnitude a stored value of a quantity type may have, in its
// canonical unit (the metric catalogue's bound); reads leave out anything
// larger, infinities and NaNs included.
double largestStoredValue(std::string_view identifier);

}  // namespace tarnwick::platform::local_store
