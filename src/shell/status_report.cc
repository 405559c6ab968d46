#include "shell/status_report.h"

#include "health/metric_catalogue.h"
#include "protocol/source_mode.h"

namespace tarnwick::shell {

protocol::StatusData statusReport(const protocol::BridgeRequest& request) {
  protocol::StatusData status;
  if (protocol::isNativeConnection(request.sourceMode)) {
    status.available = true;
    status.authorizationStatus = "not-determined";
    status.readableTypes = health::readableTypes();
    status.writableTypes = health::writableTypes();
  } else {
    status.available = false;
    status.authorizationStatus = "import-only";
  }
  status.sourceMode = request.sourceMode;
  return status;
}

}  // namespace tarnwick::shell
