// The "authorize" method: asks the person, once, for permission to read and
// write the requested metrics.
#pragma once

#include "protocol/records.h"

namespace tarnwick::authorization {

// Asks through healthStore() unless the connection is not native or nothing
// resolvable was requested. Store errors pass through unchanged.
protocol::AuthorizationData requestAuthorization(const protocol::BridgeRequest& request);

}  // namespace tarnwick::authorization
