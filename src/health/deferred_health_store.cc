#include "health/deferred_health_store.h"

namespace tarnwick::health {

HealthStore& DeferredHealthStore::target() {
  std::call_once(once_, [this] { store_ = make_(); });
  return *store_;
}

}  // namespace tarnwick::health
