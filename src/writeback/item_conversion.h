// One writeback item into one health-store object: which metric it names,
// its amount, unit and instants, and the checks that keep an item the store
// would choke on, that would poison later sums, or that would be stored
// wrong (a value or unit text that means nothing) out of the save.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "health/health_store.h"
#include "health/instant.h"
#include "protocol/records.h"

namespace tarnwick::writeback {

// True for the seven metric keys; matched exactly (case-sensitive).
bool isWritebackType(std::string_view type);

// The warning for an item whose type is not a writeback type.
std::string unsupportedTypeWarning(std::string_view type);

// Why an item that names a writeback type is left out of the save.
struct SkippedItem {
  // The warning text; empty when the item is left out silently (the store
  // does not know its type).
  std::string warning;
};

// The sample an item becomes, or why it became none. The item's type must be
// a writeback type. Reads clock for each missing instant, and once more
// when the item carries a date to judge; never throws for any item text.
std::variant<health::Sample, SkippedItem> convertItem(health::HealthStore& store, const protocol::WritebackItem& item,
                                                      const health::Clock& clock);

}  // namespace tarnwick::writeback
