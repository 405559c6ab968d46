#include "platform/local_store/sample_lines.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "health/metric_catalogue.h"
#include "platform/local_store/metadata_json.h"
#include "platform/local_store/sample_validation.h"
#include "platform/local_store/stored_types.h"

namespace tarnwick::platform::local_store {
namespace {

using nlohmann::json;

[[noreturn]] void bad(const std::string& reason) { throw SampleLineError(reason); }

double number(const json& line, const char* key) {
  auto found = line.find(key);
  if (found == line.end() || found->is_null()) bad(std::string("\"") + key + "\" is missing");
  if (!found->is_number()) bad(std::string("\"") + key + "\" must be a number");
  return found->get<double>();
}

std::optional<double> optionalNumber(const json& line, const char* key) {
  auto found = line.find(key);
  if (found == line.end() || found->is_null()) return std::nullopt;
  return number(line, key);
}

int integer(const json& line, const char* key) {
  double value = number(line, key);
  if (value != std::floor(value) || std::abs(value) > 1e9) bad(std::string("\"") + key + "\" must be a whole number");
  return static_cast<int>(value);
}

std::optional<std::string> optionalText(const json& line, const char* key) {
  auto found = line.find(key);
  if (found == line.end() || found->is_null()) return std::nullopt;
  if (!found->is_string()) bad(std::string("\"") + key + "\" must be a text");
  return found->get<std::string>();
}

health::Metadata metadataFrom(const json& line) {
  auto found = line.find("metadata");
  if (found == line.end() || found->is_null()) return {};
  if (!found->is_object()) bad("\"metadata\" must be an object");
  std::optional<std::string> badKey;
  health::Metadata metadata = metadataFromJson(*found, &badKey);
  if (badKey) bad("metadata \"" + *badKey + "\" must be a boolean, a number or a text");
  return metadata;
}

// Whole milliseconds are written without a fraction even when the trip
// through seconds left a trace in the last bit.
json milliseconds(health::Instant instant) {
  double value = health::toMilliseconds(instant);
  double whole = std::round(value);
  if (std::abs(value - whole) < 1e-6 && std::abs(whole) < 9e15) return static_cast<std::int64_t>(whole);
  return value;
}

// Whole values print without ".0", as people and callers write them.
json plainNumber(double value) {
  if (value == std::floor(value) && std::abs(value) < 9e15) return static_cast<std::int64_t>(value);
  return value;
}

}  // namespace

health::Sample sampleFromLine(std::string_view text, health::HealthStore& store, std::string_view defaultSource) {
  json line = json::parse(text.begin(), text.end(), nullptr, false);
  if (line.is_discarded()) bad("not valid JSON");
  if (!line.is_object()) bad("not a JSON object");
  std::optional<std::string> key = optionalText(line, "type");
  if (!key) bad("\"type\" is missing");
  std::optional<health::ObjectType> type = health::sampleType(store, *key);
  if (!type) bad("unknown type \"" + *key + "\"");
  health::Instant start = health::fromMilliseconds(number(line, "start"));
  health::Instant end = health::fromMilliseconds(optionalNumber(line, "end").value_or(health::toMilliseconds(start)));
  health::Sample sample;
  switch (type->kind) {
    case health::ObjectKind::quantity: {
      health::Unit unit = health::quantityUnit(*key);
      if (std::optional<std::string> unitText = optionalText(line, "unit")) {
        std::optional<health::Unit> named = health::Unit::fromString(*unitText);
        if (!named) bad("unknown unit \"" + *unitText + "\"");
        unit = *named;
      }
      sample = health::makeQuantitySample(*type, health::Quantity(unit, number(line, "value")), start, end);
      break;
    }
    case health::ObjectKind::category: sample = health::makeCategorySample(*type, integer(line, "value"), start, end); break;
    case health::ObjectKind::workout: {
      double duration = optionalNumber(line, "duration").value_or(end - start);
      sample = health::makeWorkout(*type, integer(line, "activity"), start, end, duration, std::nullopt, std::nullopt, {});
      break;
    }
  }
  sample.metadata = metadataFrom(line);
  sample.sourceName = optionalText(line, "source").value_or(std::string(defaultSource));
  if (sample.sourceName.empty()) bad("\"source\" must not be empty");
  try {
    validateSample(sample);
  } catch (const health::HealthStoreError& error) {
    bad(error.what());
  }
  // The same bound the bridge's "write" keeps: one absurd amount stored
  // would make every later sum over the type meaningless.
  if (const auto* quantity = sample.asQuantitySample(); quantity && !health::isWithinBounds(*key, quantity->quantity)) {
    bad("\"value\" " + health::outOfRangeClause(*key));
  }
  return sample;
}

std::string lineFromSample(const health::Sample& sample) {
  std::optional<std::string> key = health::metricKeyForTypeIdentifier(sample.type.identifier);
  if (!key) bad("unknown type \"" + sample.type.identifier + "\"");
  nlohmann::ordered_json line;
  line["type"] = *key;
  if (const auto* quantity = sample.asQuantitySample()) {
    health::Unit unit = canonicalUnit(sample.type.identifier);
    line["value"] = plainNumber(quantity->quantity.doubleValueForUnit(unit));
    line["unit"] = unit.unitString();
  } else if (const auto* category = sample.asCategorySample()) {
    line["value"] = category->value;
  } else if (const auto* workout = sample.asWorkout()) {
    line["activity"] = workout->activityType;
  }
  line["start"] = milliseconds(sample.startDate);
  line["end"] = milliseconds(sample.endDate);
  if (const auto* workout = sample.asWorkout()) line["duration"] = plainNumber(workout->duration);
  line["source"] = sample.sourceName;
  if (!sample.metadata.empty()) line["metadata"] = nlohmann::ordered_json(metadataToJson(sample.metadata));
  return line.dump();
}

}  // namespace tarnwick::platform::local_store
