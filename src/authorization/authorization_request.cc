#include "authorization/authorization_request.h"

#include "protocol/bridge_runtime_error.h"

namespace tarnwick::authorization {

protocol::AuthorizationData requestAuthorization(const protocol::BridgeRequest&) {
  throw protocol::BridgeRuntimeError::authorizationDenied("authorize is not built yet.");
}

}  // namespace tarnwick::authorization
