// Selects the local store as the bridge's store where the platform has no
// health store of its own. Kept in a file of its own so that a build with a
// native backend links that backend's selection instead.
#include "platform/local_store/local_store.h"
#include "platform/platform_store.h"

#include <utility>

namespace tarnwick::platform {

std::unique_ptr<health::HealthStore> makePlatformHealthStore(PermissionSheetOffer sheet) {
  return local_store::makeDefaultLocalHealthStore(std::move(sheet));
}

}  // namespace tarnwick::platform
