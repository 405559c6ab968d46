// The "status" method for a native connection: which metrics the bridge
// offers. It never touches the health store.
#pragma once

#include "protocol/records.h"

namespace tarnwick::shell {

protocol::StatusData statusReport(const protocol::BridgeRequest& request);

}  // namespace tarnwick::shell
