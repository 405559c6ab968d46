// The contract every store keeps, held against the native backend.
#include <gtest/gtest.h>

#include "native_store_factories.h"

#define TARNWICK_CONTRACT_STORES NativeStores
#define TARNWICK_CONTRACT_STORE_NAMES NativeStoreNames
#include "platform/local_store/store_contract_test.cc"
