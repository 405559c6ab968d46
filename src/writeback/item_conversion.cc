#include "writeback/item_conversion.h"

#include <cmath>

#include "health/metric_catalogue.h"
#include "protocol/utf8.h"
#include "writeback/number_text.h"

namespace tarnwick::writeback {
namespace {

using health::Instant;
using health::Sample;
using protocol::WritebackItem;

constexpr std::string_view kUnsupportedTypePrefix = "Unsupported writeback type: ";

// A sync identifier needs a version beside it; every item is the first
// version of itself.
constexpr double kSyncVersion = 1.0;

// A workout never lasts less than this, whatever its dates say.
constexpr double kMinimumWorkoutSeconds = 1.0;

// A caller's text quoted back in a warning: at most this many characters.
constexpr std::size_t kMaxQuotedCharacters = 64;

// A caller's text as a warning may quote it: whatever bytes it holds, the
// warning stays valid UTF-8 and so the response stays encodable.
std::string quoted(std::string_view text) { return protocol::printableUtf8(text, kMaxQuotedCharacters); }

SkippedItem skipped(const WritebackItem& item, std::string_view reason) {
  // The id is quoted whole, as a caller matches warnings to items by it; it
  // is escaped only when it would not encode.
  std::string id = protocol::isValidUtf8(item.id) ? item.id : protocol::printableUtf8(item.id, item.id.size());
  return SkippedItem{"Skipped item '" + id + "': " + std::string(reason) + "."};
}

Instant startOf(const WritebackItem& item, const health::Clock& clock) {
  return item.startDate ? health::fromMilliseconds(*item.startDate) : clock.now();
}

// The end falls back to the start date, then to a fresh clock reading.
Instant endOf(const WritebackItem& item, const health::Clock& clock) {
  if (item.endDate) return health::fromMilliseconds(*item.endDate);
  if (item.startDate) return health::fromMilliseconds(*item.startDate);
  return clock.now();
}

std::variant<Sample, SkippedItem> convertQuantity(health::HealthStore& store, const WritebackItem& item,
                                                  const health::Clock& clock) {
  std::optional<health::ObjectType> type = health::quantityType(store, item.type);
  if (!type) return SkippedItem{};

  // Saving a text that is not a number as 0, or an amount in a unit that is
  // not one as if in the default unit, would store a wrong reading without
  // a word; leaving the item out with a warning loses nothing.
  std::optional<double> value = parseNumberText(item.value);
  if (!value) return skipped(item, "its value '" + quoted(item.value) + "' is not a number");
  // A non-finite amount would make every later sum over the type non-finite,
  // and with it every later reading unencodable.
  if (!std::isfinite(*value)) return skipped(item, "its value is not a finite number");

  // No unit, or a null one, means the metric's default unit.
  health::Unit unit = health::quantityUnit(item.type);
  if (item.unit) {
    std::optional<health::Unit> named = health::Unit::fromString(*item.unit);
    if (!named) return skipped(item, "'" + quoted(*item.unit) + "' is not a unit");
    if (!named->isCompatibleWith(unit)) {
      return skipped(item, "its unit '" + quoted(*item.unit) + "' does not measure " + item.type);
    }
    unit = *named;
  }

  // Checked in the type's own terms: an amount finite as sent can be
  // infinite once converted ("1.7e308" kg in pounds), and a few absurd ones
  // would sum to infinity just the same.
  health::Quantity quantity(unit, *value);
  if (!health::isWithinBounds(item.type, quantity)) {
    return skipped(item, "its value " + health::outOfRangeClause(item.type));
  }

  Instant instant = endOf(item, clock);
  return health::makeQuantitySample(*type, std::move(quantity), instant, instant);
}

std::variant<Sample, SkippedItem> convertSleep(health::HealthStore& store, const WritebackItem& item,
                                               const health::Clock& clock) {
  std::optional<health::ObjectType> type = health::sampleType(store, item.type);
  if (!type) return SkippedItem{};
  Instant start = startOf(item, clock);
  Instant end = endOf(item, clock);
  if (end < start) return skipped(item, "it ends before it starts");
  return health::makeCategorySample(*type, static_cast<int>(health::SleepAnalysis::asleepUnspecified), start, end);
}

std::variant<Sample, SkippedItem> convertWorkout(health::HealthStore& /*store*/, const WritebackItem& item,
                                                 const health::Clock& clock) {
  Instant start = startOf(item, clock);
  Instant end = endOf(item, clock);
  if (end < start) return skipped(item, "it ends before it starts");
  double duration = end - start;
  // Written so that a NaN difference also gives the minimum.
  if (!(duration >= kMinimumWorkoutSeconds)) duration = kMinimumWorkoutSeconds;
  health::Metadata metadata{{std::string(health::kMetadataKeyIndoorWorkout), true}};
  // The store keeps the first object of each sync identifier and ignores
  // later ones, so a shared empty id would silently drop every workout
  // after the first.
  if (!item.id.empty()) {
    metadata.emplace(health::kMetadataKeySyncIdentifier, item.id);
    metadata.emplace(health::kMetadataKeySyncVersion, kSyncVersion);
  }
  return health::makeWorkout(health::ObjectType{health::ObjectKind::workout, std::string(health::kWorkoutTypeIdentifier)}, static_cast<int>(health::WorkoutActivityType::running), start, end,
                             duration, std::nullopt, std::nullopt, std::move(metadata));
}

}  // namespace

bool isWritebackType(std::string_view type) {
  const auto& keys = health::writableTypes();
  for (const std::string& key : keys) {
    if (key == type) return true;
  }
  return false;
}

std::string unsupportedTypeWarning(std::string_view type) {
  return std::string(kUnsupportedTypePrefix) + std::string(type);
}

std::variant<Sample, SkippedItem> convertItem(health::HealthStore& store, const WritebackItem& item,
                                              const health::Clock& clock) {
  const health::MetricEntry* metric = health::findMetric(item.type);
  if (!metric) return SkippedItem{};
  switch (metric->kind) {
    case health::ObjectKind::quantity: return convertQuantity(store, item, clock);
    case health::ObjectKind::category: return convertSleep(store, item, clock);
    case health::ObjectKind::workout: return convertWorkout(store, item, clock);
  }
  return SkippedItem{};
}

}  // namespace tarnwick::writeback
