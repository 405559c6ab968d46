#include "health/health_store.h"

#include <atomic>
#include <mutex>

namespace tarnwick::health {
namespace {

std::atomic<HealthStore*> storeOverride{nullptr};

}  // namespace

HealthStore& healthStore() {
  if (HealthStore* store = storeOverride.load(std::memory_order_acquire)) return *store;
  // Never destroyed: the process ends inside emit while store threads may
  // still be parked, and a destructor running under them would be a hazard.
  static HealthStore* const platformStore = makePlatformHealthStore().release();
  return *platformStore;
}

void setHealthStoreForTesting(HealthStore* store) { storeOverride.store(store, std::memory_order_release); }

}  // namespace tarnwick::health
