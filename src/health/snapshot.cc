#include "health/snapshot.h"

#include <algorithm>
#include <string>
#include <vector>

#include "health/health_store.h"
#include "health/metric_catalogue.h"
#include "health/metric_readers.h"
#include "protocol/source_mode.h"

namespace tarnwick::health {
namespace {

protocol::SyncData importSnapshot() {
  protocol::SyncData data;
  data.permissions = {false, false};
  data.sourceMode = "import";
  data.lastSyncedAt = toMilliseconds(currentInstant());
  return data;
}

}  // namespace

Instant defaultSince(const protocol::BridgeRequest& request) {
  if (request.since) return fromMilliseconds(*request.since);
  return calendarDaysBefore(currentInstant(), 7);
}

protocol::SyncData readSnapshot(const protocol::BridgeRequest& request) {
  // Checked before anything else: an import connection must not create the
  // store (on a machine without one that would leave a database behind).
  if (!protocol::isNativeConnection(request.sourceMode)) return importSnapshot();

  const Instant since = defaultSince(request);
  const std::vector<std::string> keys =
      request.readTypes && !request.readTypes->empty() ? *request.readTypes : readableTypes();
  auto wanted = [&](std::string_view key) { return std::find(keys.begin(), keys.end(), key) != keys.end(); };

  protocol::SyncData data;
  auto add = [&](std::optional<MetricReading> reading) {
    if (!reading) return;
    data.metrics.push_back(std::move(reading->metric));
    if (reading->record) data.records.push_back(std::move(*reading->record));
  };
  auto addMetric = [&](std::optional<protocol::MetricPayload> metric) {
    if (metric) data.metrics.push_back(std::move(*metric));
  };

  // The catalogue's order, whatever the order of the request's keys; an
  // error from any reader abandons the whole snapshot.
  for (const MetricEntry& entry : metricCatalogue()) {
    if (!wanted(entry.key)) continue;
    switch (entry.reader) {
      case MetricReader::stepTotal: addMetric(aggregatedSteps(healthStore(), since)); break;
      case MetricReader::sleepTotal: addMetric(aggregatedSleep(healthStore(), since)); break;
      case MetricReader::latestQuantity: add(latestQuantitySample(healthStore(), entry.key)); break;
      case MetricReader::latestWorkout: add(latestWorkout(healthStore())); break;
    }
  }

  data.permissions = {!data.metrics.empty() || !data.records.empty(), true};
  data.readableTypes = keys;
  data.writableTypes = writableTypes();
  data.sourceMode = "native";
  data.lastSyncedAt = toMilliseconds(currentInstant());
  return data;
}

}  // namespace tarnwick::health
