// The "authorize" method: asks the person, once, for permission to read and
// write the requested metrics.
#pragma once

#include "health/health_store.h"
#include "protocol/records.h"

namespace tarnwick::authorization {

// Asks store, for a native connection, unless nothing resolvable was
// requested. Store errors pass through unchanged.
protocol::AuthorizationData requestAuthorization(const protocol::BridgeRequest& request, health::HealthStore& store);

}  // namespace tarnwick::authorization
