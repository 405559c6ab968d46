// Selects the native backend as the bridge's store in builds that have the
// platform's health framework.
#include "health/health_store.h"
#include "platform/native/native_health_store.h"

namespace tarnwick::health {

std::unique_ptr<HealthStore> makePlatformHealthStore() { return platform::makeNativeHealthStore(); }

}  // namespace tarnwick::health
