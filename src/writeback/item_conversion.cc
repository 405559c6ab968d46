#include "writeback/item_conversion.h"

#include <cmath>

#include "protocol/utf8.h"
#include "writeback/item_plausibility.h"
#include "writeback/number_text.h"
#include "writeback/unit_aliases.h"

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

std::variant<Sample, SkippedItem> convertQuantity(const health::MetricEntry& metric, const health::QuantityRule& rule,
                                                  const WritebackItem& item, const health::Clock& clock) {
  // Saving a text that is not a number as 0, or an amount in a unit that is
  // not one as if in the default unit, would store a wrong reading without
  // a word; leaving the item out with a warning loses nothing.
  std::optional<double> value = parseNumberText(item.value);
  if (!value) return skipped(item, "its value '" + quoted(item.value) + "' is not a number");
  // A non-finite amount would make every later sum over the type non-finite,
  // and with it every later reading unencodable.
  if (!std::isfinite(*value)) return skipped(item, "its value is not a finite number");

  // No unit, or a null one, means the metric's default unit.
  health::Unit unit = rule.defaultUnit;
  if (item.unit) {
    std::optional<health::Unit> named = health::Unit::fromString(unitTextFor(metric, *item.unit));
    if (!named) {
      return skipped(item, "'" + quoted(*item.unit) + "' is not a unit; " + std::string(metric.key) + " takes " +
                               std::string(rule.acceptedUnits));
    }
    if (!named->isCompatibleWith(unit)) {
      return skipped(item, "its unit '" + quoted(*item.unit) + "' does not measure " + std::string(metric.key) +
                               ", which takes " + std::string(rule.acceptedUnits));
    }
    unit = *named;
  }

  // Checked in the type's own terms: an amount finite as sent can be
  // infinite once converted ("1.7e308" kg in pounds), and a few absurd ones
  // would sum to infinity just the same.
  health::Quantity quantity(unit, *value);
  if (!health::isWithinBounds(metric, quantity)) return skipped(item, "its value " + health::outOfRangeClause(metric));
  if (auto reason = implausibleAmount(metric, *value)) return skipped(item, *reason);

  Instant instant = endOf(item, clock);
  return health::makeQuantitySample(metric.type, std::move(quantity), instant, instant);
}

std::variant<Sample, SkippedItem> convertCategory(const health::MetricEntry& metric, const health::CategoryRule& rule,
                                                  const WritebackItem& item, const health::Clock& clock) {
  Instant start = startOf(item, clock);
  Instant end = endOf(item, clock);
  if (end < start) return skipped(item, "it ends before it starts");
  return health::makeCategorySample(metric.type, rule.written, start, end);
}

std::variant<Sample, SkippedItem> convertWorkout(const health::MetricEntry& metric, const WritebackItem& item,
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
  return health::makeWorkout(metric.type, static_cast<int>(health::WorkoutActivityType::running), start, end,
                             duration, std::nullopt, std::nullopt, std::move(metadata));
}

}  // namespace

std::string unsupportedTypeWarning(std::string_view type) {
  return std::string(kUnsupportedTypePrefix) + std::string(type);
}

std::variant<Sample, SkippedItem> convertItem(const health::MetricEntry& metric, const WritebackItem& item,
                                              const health::Clock& clock) {
  if (auto reason = implausibleDates(item, metric, clock)) return skipped(item, *reason);
  if (metric.quantity) return convertQuantity(metric, *metric.quantity, item, clock);
  if (metric.category) return convertCategory(metric, *metric.category, item, clock);
  return convertWorkout(metric, item, clock);
}

}  // namespace tarnwick::writeback
