// The store behind the stand-in health framework. Every HKHealthStore call
// of the stand-in goes to the store installed here, so the native backend
// above it can be run against the test fake or the local store.
#pragma once

#include "health/health_store.h"

namespace tarnwick::standin {

// Makes `store` (not owned; nullptr for none) the store behind the stand-in.
// With none, every call fails with "health data unavailable" (code 1).
void installBackingStore(health::HealthStore* store);

// The installed store, or nullptr.
health::HealthStore* backingStore();

// Starts the Objective-C runtime's notion of the main thread. Call once from
// main() before any other thread touches an Objective-C object.
void prepareObjectiveCRuntime();

}  // namespace tarnwick::standin
