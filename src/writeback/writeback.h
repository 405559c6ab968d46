// The "write" method: turns the caller's items into samples and saves them
// in one call.
#pragma once

#include "health/health_store.h"
#include "health/instant.h"
#include "protocol/records.h"

namespace tarnwick::writeback {

// Converts the request's items (taken over, so that each can be let go once
// converted) and saves them to store in one call; clock stands in for
// missing instants. Throws BridgeRuntimeError for a refused save; store
// errors pass through.
protocol::WriteResult writeSamples(protocol::BridgeRequest request, health::HealthStore& store,
                                   const health::Clock& clock);

}  // namespace tarnwick::writeback
