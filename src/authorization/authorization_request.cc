#include "authorization/authorization_request.h"

#include <utility>

#include "authorization/permission_sets.h"
#include "health/health_store.h"
#include "health/metric_catalogue.h"

namespace tarnwick::authorization {
namespace {

using protocol::AuthorizationData;

constexpr const char* kAuthorized = "authorized";
constexpr const char* kDenied = "denied";
constexpr const char* kNotDetermined = "not-determined";

}  // namespace

AuthorizationData requestAuthorization(const protocol::BridgeRequest& request, health::HealthStore& store) {
  const std::vector<std::string>& readKeys = request.readTypes ? *request.readTypes : health::readableTypes();
  const std::vector<std::string>& writeKeys = request.writeTypes ? *request.writeTypes : health::writableTypes();
  PermissionSets sets = resolvePermissionSets(readKeys, writeKeys);

  // Nothing the store could be asked about: the lists go back as sent, and
  // an absent list stays empty rather than turning into the defaults.
  if (sets.requested().empty()) {
    return AuthorizationData{false, kNotDetermined, request.readTypes.value_or(std::vector<std::string>{}),
                             request.writeTypes.value_or(std::vector<std::string>{}), request.sourceMode};
  }

  bool granted = store.requestAuthorization(sets.share, sets.requested());
  return AuthorizationData{granted, granted ? kAuthorized : kDenied, readKeys, writeKeys, request.sourceMode};
}

}  // namespace tarnwick::authorization
