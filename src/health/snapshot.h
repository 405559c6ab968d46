// The "sync" method: one snapshot of the person's recent health data.
#pragma once

#include "health/instant.h"
#include "protocol/records.h"

namespace tarnwick::health {

// The start of the read window: `since` when the request has it, else seven
// calendar days before now.
Instant defaultSince(const protocol::BridgeRequest& request);

// Reads the snapshot through healthStore(). A connection that is not native
// is answered without touching (or creating) the store. Store errors pass
// through unchanged.
protocol::SyncData readSnapshot(const protocol::BridgeRequest& request);

}  // namespace tarnwick::health
