#include "writeback/writeback.h"

#include "protocol/bridge_runtime_error.h"

namespace tarnwick::writeback {

protocol::WriteResult writeSamples(const protocol::BridgeRequest&) {
  throw protocol::BridgeRuntimeError::writeFailed("write is not built yet.");
}

}  // namespace tarnwick::writeback
