// The "status" method: what kind of connection the caller has. It never
// touches the health store.
#pragma once

#include "protocol/records.h"

namespace tarnwick::shell {

protocol::StatusData statusReport(const protocol::BridgeRequest& request);

}  // namespace tarnwick::shell
