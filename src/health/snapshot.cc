#include "health/snapshot.h"

#include "protocol/bridge_runtime_error.h"

namespace tarnwick::health {

Instant defaultSince(const protocol::BridgeRequest& request) {
  if (request.since) return fromMilliseconds(*request.since);
  return calendarDaysBefore(currentInstant(), 7);
}

protocol::SyncData readSnapshot(const protocol::BridgeRequest&) {
  throw protocol::BridgeRuntimeError::queryFailed("sync is not built yet.");
}

}  // namespace tarnwick::health
