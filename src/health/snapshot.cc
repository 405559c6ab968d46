#include "health/snapshot.h"

#include <algorithm>
#include <string>
#include <vector>

#include "health/health_store.h"
#include "health/metric_catalogue.h"
#include "health/metric_readers.h"

namespace tarnwick::health {


Instant defaultSince(const protocol::BridgeRequest& request, const Clock& clock) {
  if (request.since) return fromMilliseconds(*request.since);
  return calendarDaysBefore(clock.now(), 7);
}

protocol::SyncData readSnapshot(const protocol::BridgeRequest& request, HealthStore& store, const Clock& clock) {
  const Instant since = defaultSince(request, clock);
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
      case MetricReader::cumulativeTotal: addMetric(cumulativeTotal(store, entry, since, clock)); break;
      case MetricReader::categoryMinutes: addMetric(categoryMinutes(store, entry, since, clock)); break;
      case MetricReader::latestQuantity: add(latestQuantitySample(store, entry)); break;
      case MetricReader::latestWorkout: add(latestWorkout(store, entry)); break;
    }
  }

  data.permissions = {!data.metrics.empty() || !data.records.empty(), true};
  data.readableTypes = keys;
  data.writableTypes = writableTypes();
  data.sourceMode = "native";
  data.lastSyncedAt = toMilliseconds(clock.now());
  return data;
}

}  // namespace tarnwick::health
