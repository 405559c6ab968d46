// The "sync" method: one snapshot of the person's recent health data.
#pragma once

#include "health/health_store.h"
#include "health/instant.h"
#include "protocol/records.h"

namespace tarnwick::health {

// The start of the read window: `since` when the request has it, else seven
// calendar days before clock's now.
Instant defaultSince(const protocol::BridgeRequest& request, const Clock& clock);

// Reads the snapshot from store for a native connection, stamped with
// clock's readings. Store errors pass through unchanged.
protocol::SyncData readSnapshot(const protocol::BridgeRequest& request, HealthStore& store, const Clock& clock);

}  // namespace tarnwick::health
