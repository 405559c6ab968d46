// The "write" method: turns the caller's items into samples and saves them
// in one call.
#pragma once

#include "protocol/records.h"

namespace tarnwick::writeback {

// Converts and saves through healthStore(). Throws BridgeRuntimeError for a
// connection that is not native or a refused save; store errors pass through.
protocol::WriteResult writeSamples(const protocol::BridgeRequest& request);

}  // namespace tarnwick::writeback
