#include "shell/status_report.h"

#include "health/metric_catalogue.h"

namespace tarnwick::shell {

protocol::StatusData statusReport(const protocol::BridgeRequest& request) {
  protocol::StatusData status;
  status.available = true;
  status.authorizationStatus = "not-determined";
  status.readableTypes = health::readableTypes();
  status.writableTypes = health::writableTypes();
  status.sourceMode = request.sourceMode;
  return status;
}

}  // namespace tarnwick::shell
