// The health store backend over the platform's health framework: each call
// of health::HealthStore becomes the framework call of the same name, and
// returns once the framework has answered.
#pragma once

#include <memory>

#include "health/health_store.h"

namespace tarnwick::platform::native {

// A store over one framework store object, created now. Never fails here:
// the framework reports an unusable store from each call.
std::unique_ptr<health::HealthStore> makeNativeHealthStore();

}  // namespace tarnwick::platform::native
