#include "writeback/item_conversion.h"

#include <cmath>

#include "health/metric_catalogue.h"
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

SkippedItem skipped(const WritebackItem& item, std::string_view reason) {
  return SkippedItem{"Skipped item '" + item.id + "': " + std::string(reason) + "."};
}

Instant startOf(const WritebackItem& item) {
  return item.startDate ? health::fromMilliseconds(*item.startDate) : health::currentInstant();
}

// The end falls back to the start date, then to a fresh clock reading.
Instant endOf(const WritebackItem& item) {
  if (item.endDate) return health::fromMilliseconds(*item.endDate);
  if (item.startDate) return health::fromMilliseconds(*item.startDate);
  return health::currentInstant();
}

std::variant<Sample, SkippedItem> convertQuantity(health::HealthStore& store, const WritebackItem& item) {
  std::optional<health::ObjectType> type = health::quantityType(store, item.type);
  if (!type) return SkippedItem{};

  double value = parseNumberText(item.value);
  // A non-finite amount would make every later sum over the type non-finite,
  // and with it every later reading unencodable.
  if (!std::isfinite(value)) return skipped(item, "its value is not a finite number");

  health::Unit defaultUnit = health::quantityUnit(store, item.type);
  std::optional<health::Unit> unit = item.unit ? store.unitFromString(*item.unit) : std::nullopt;
  if (unit && !unit->isCompatibleWith(defaultUnit)) {
    return skipped(item, "its unit '" + *item.unit + "' does not measure " + item.type);
  }

  Instant instant = endOf(item);
  return health::makeQuantitySample(*type, health::Quantity(unit.value_or(defaultUnit), value), instant, instant);
}

std::variant<Sample, SkippedItem> convertSleep(health::HealthStore& store, const WritebackItem& item) {
  std::optional<health::ObjectType> type = health::sampleType(store, item.type);
  if (!type) return SkippedItem{};
  Instant start = startOf(item);
  Instant end = endOf(item);
  if (end < start) return skipped(item, "it ends before it starts");
  return health::makeCategorySample(*type, static_cast<int>(health::SleepAnalysis::asleepUnspecified), start, end);
}

std::variant<Sample, SkippedItem> convertWorkout(health::HealthStore& store, const WritebackItem& item) {
  Instant start = startOf(item);
  Instant end = endOf(item);
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
  return health::makeWorkout(store.workoutType(), static_cast<int>(health::WorkoutActivityType::running), start, end,
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

std::variant<Sample, SkippedItem> convertItem(health::HealthStore& store, const WritebackItem& item) {
  if (item.type == "sleep") return convertSleep(store, item);
  if (item.type == "workout") return convertWorkout(store, item);
  return convertQuantity(store, item);
}

}  // namespace tarnwick::writeback
