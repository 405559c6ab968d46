// Selects the local store as the bridge's store where the platform has no
// health store of its own. Kept in a file of its own so that a build with a
// native backend links that backend's selection instead and this archive
// member is never pulled in beside it.
#include "health/health_store.h"
#include "platform/local_store/local_health_store.h"

namespace tarnwick::health {

std::unique_ptr<HealthStore> makePlatformHealthStore() {
  return platform::makeDefaultLocalHealthStore();
}

}  // namespace tarnwick::health
