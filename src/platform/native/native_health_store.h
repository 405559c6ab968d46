// The health store backend over the platform's health framework. Each call
// of health::HealthStore becomes the framework call of the same name; its
// handlers arrive on the framework's queue, never on the caller's thread.
#pragma once

#include <memory>

#include "health/health_store.h"

namespace tarnwick::platform {

// A store over one framework store object, created now. Never fails here:
// the framework reports an unusable store through each call's handler.
std::unique_ptr<health::HealthStore> makeNativeHealthStore();

}  // namespace tarnwick::platform
