// Selects the native backend as the bridge's store in builds that have the
// platform's health framework.
#include "platform/native/native_health_store.h"
#include "platform/platform_store.h"

namespace tarnwick::platform {

// The framework shows its own permission sheet, so the offer goes unused.
std::unique_ptr<health::HealthStore> makePlatformHealthStore(PermissionSheetOffer) {
  return native::makeNativeHealthStore();
}

}  // namespace tarnwick::platform
