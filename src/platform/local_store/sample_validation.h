// The checks the platform makes when a sample object is created (an
// exception there, an invalid-argument error here): a type the store knows,
// a value of that type's kind, finite numbers, an end not before the start,
// a unit that fits the type, a sync identifier with its version.
#pragma once

#include "health/samples.h"

namespace tarnwick::platform::local_store {

// Returns normally for a sample the store can keep; throws HealthStoreError
// (code 3, invalid argument) describing the first problem otherwise.
void validateSample(const health::Sample& sample);

}  // namespace tarnwick::platform::local_store
