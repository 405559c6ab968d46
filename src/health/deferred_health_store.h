// A health store that is made on the first call that reaches it. The
// process's one store stands behind it, so that a request which never calls
// the store (a status report, an import connection) never makes it: making
// the local store can leave a database behind on a machine that has none.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "health/health_store.h"

namespace tarnwick::health {

class DeferredHealthStore final : public HealthStoreWrapper {
 public:
  using Maker = std::function<std::unique_ptr<HealthStore>()>;

  // Runs `make` at most once, on the first call of any method, under a
  // thread-safe one-time initialisation; every call then goes to the store
  // it made, which lives as long as this object. `make` must not return
  // nullptr.
  explicit DeferredHealthStore(Maker make) : make_(std::move(make)) {}

 protected:
  HealthStore& target() override;

 private:
  Maker make_;
  std::once_flag once_;
  std::unique_ptr<HealthStore> store_;
};

}  // namespace tarnwick::health
