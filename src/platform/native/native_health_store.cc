#include "platform/native/native_health_store.h"

#include <utility>

#include "platform/native/framework_store.h"

namespace tarnwick::platform::native {
namespace {

// The value an answer holds, or its error thrown.
template <class T>
T valueOf(Answer<T> answer) {
  if (auto* error = std::get_if<health::HealthStoreError>(&answer)) throw std::move(*error);
  return std::move(std::get<T>(answer));
}

class NativeHealthStore final : public health::HealthStore {
 public:
  NativeHealthStore() : framework_(makeFrameworkStore()) {}

  std::vector<health::Sample> executeSampleQuery(health::SampleQuery query) override {
    return valueOf(framework_->executeSampleQuery(query));
  }
  std::optional<health::Statistics> executeStatisticsQuery(health::StatisticsQuery query) override {
    return valueOf(framework_->executeStatisticsQuery(query));
  }
  bool requestAuthorization(std::set<health::ObjectType> shareTypes, std::set<health::ObjectType> readTypes) override {
    return valueOf(framework_->requestAuthorization(shareTypes, readTypes));
  }
  bool saveObjects(std::vector<health::Sample> objects) override {
    return valueOf(framework_->saveObjects(objects));
  }

 private:
  std::unique_ptr<FrameworkStore> framework_;
};

}  // namespace

std::unique_ptr<health::HealthStore> makeNativeHealthStore() { return std::make_unique<NativeHealthStore>(); }

}  // namespace tarnwick::platform::native
