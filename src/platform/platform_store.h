// The health store this build talks to. Exactly one definition is linked
// into each program: the local store's (local_store/local_platform_store.cc)
// or the native backend's (native/native_platform_store.cc).
#pragma once

#include <memory>

#include "health/health_store.h"
#include "platform/permission_sheet.h"

namespace tarnwick::platform {

// Makes the platform's store, which asks the person with `sheet` when it
// shows a permission sheet of its own making. Never nullptr; a store that
// cannot be reached throws that from each call.
std::unique_ptr<health::HealthStore> makePlatformHealthStore(PermissionSheetOffer sheet);

}  // namespace tarnwick::platform
