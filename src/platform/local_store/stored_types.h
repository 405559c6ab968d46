// The sample types the local store knows: one per metric of the catalogue,
// found by the platform identifier its file holds in the type columns, and
// for each quantity type the one unit its values are kept in, so that a sum
// over a type is one SQL SUM and no row needs a conversion on the way out.
#pragma once

#include <optional>
#include <string_view>

#include "health/metric_catalogue.h"

namespace tarnwick::platform::local_store {

// The catalogue row of the type with this platform identifier, or nullptr.
const health::MetricEntry* findStoredType(std::string_view identifier);

// The type a known identifier names, or nothing.
std::optional<health::ObjectType> objectTypeFor(std::string_view identifier);

// The unit a quantity type's values are stored in (count for steps,
// count/min, ms, kg, mg/dL). The count unit for any other type.
health::Unit canonicalUnit(std::string_view identifier);

// The largest magnitude a stored value of a quantity type may have, in its
// canonical unit (the catalogue's bound); reads leave out anything larger,
// infinities and NaNs included.
double largestStoredValue(std::string_view identifier);

}  // namespace tarnwick::platform::local_store
