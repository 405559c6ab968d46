// One writeback item into one health-store object: which metric it names,
// its amount, unit and instants, and the checks that keep an item the store
// would choke on, that would poison later sums, or that would be stored
// wrong (a value or unit text that means nothing) out of the save.
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "health/instant.h"
#include "health/metric_catalogue.h"
#include "health/samples.h"
#include "protocol/records.h"

namespace tarnwick::writeback {

// The warning for an item whose type names no metric of the catalogue.
std::string unsupportedTypeWarning(std::string_view type);

// Why an item that names a metric is left out of the save.
struct SkippedItem {
  std::string warning;
};

// The sample an item of `metric` becomes, or why it became none. Reads clock
// for each missing instant, and once more when the item carries a date to
// judge; never throws for any item text.
std::variant<health::Sample, SkippedItem> convertItem(const health::MetricEntry& metric,
                                                      const protocol::WritebackItem& item, const health::Clock& clock);

}  // namespace tarnwick::writeback
