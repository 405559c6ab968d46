// The native backend as the contract suite sees a store: calls go through
// the backend and the stand-in framework to a store underneath, while
// seeding, access, source priority and read-back go to that store directly.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/local_store/store_factories.h"
#include "platform/native/native_health_store.h"
#include "standin/backing_store.h"

namespace tarnwick::testing {

template <class Underneath>
class NativeOver {
 public:
  NativeOver() {
    standin::installBackingStore(&underneath_.store());
    native_ = platform::native::makeNativeHealthStore();
  }
  ~NativeOver() { standin::installBackingStore(nullptr); }

  health::HealthStore& store() { return *native_; }
  Underneath& underneath() { return underneath_; }
  void seed(health::Sample sample, const std::string& source) { underneath_.seed(std::move(sample), source); }
  void setAccess(const std::string& identifier, Decision read, Decision share) {
    underneath_.setAccess(identifier, read, share);
  }
  void prefer(const std::vector<std::string>& sources) { underneath_.prefer(sources); }
  std::vector<health::Sample> stored() { return underneath_.stored(); }

 private:
  Underneath underneath_;
  std::unique_ptr<health::HealthStore> native_;
};

using NativeStores = ::testing::Types<NativeOver<LocalStoreFactory>>;

class NativeStoreNames {
 public:
  template <class T>
  static std::string GetName(int) {
    return "NativeOverLocal";
  }
};

}  // namespace tarnwick::testing
