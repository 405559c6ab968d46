// The local store's two hot paths as the bridge drives them: the newest
// samples of a type (every "sync" reader) and a one-sample save (a "write"),
// each through the health-store interface, on a store file in a fresh
// directory that already holds a few thousand samples.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "health/health_store.h"
#include "health/object_types.h"
#include "health/sample_queries.h"
#include "health/samples.h"
#include "platform/local_store/database.h"
#include "platform/local_store/local_store.h"
#include "platform/local_store/permission_records.h"
#include "platform/local_store/store_file.h"

namespace {

using namespace tarnwick;

constexpr int kStoredSamples = 5000;
constexpr health::Instant kFirstStart = 1700000000.0;

health::ObjectType heartRateType() { return {health::ObjectKind::quantity, std::string(health::kHeartRateIdentifier)}; }

health::Sample heartRateSample(health::Instant start) {
  health::Unit beatsPerMinute = *health::Unit::fromString("count/min");
  return health::makeQuantitySample(heartRateType(), health::Quantity(beatsPerMinute, 62.0), start, start);
}

void saveAndWait(health::HealthStore& store, std::vector<health::Sample> samples) {
  if (!store.saveObjects(std::move(samples))) throw std::runtime_error("the benchmark store refused a save");
}

// A store file with heart rate readable and writable, and kStoredSamples
// of it a minute apart. Removed with its directory when the run ends.
class BenchmarkStore {
 public:
  BenchmarkStore() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a directory for the benchmark store");
    directory_ = pattern;
    const std::string path = directory_ + "/health.sqlite3";
    {
      auto database = platform::local_store::openStore(path);
      platform::local_store::WriteTransaction transaction(*database);
      platform::local_store::setAccess(*database, health::kHeartRateIdentifier,
                                       platform::local_store::Access::authorized,
                                       platform::local_store::Access::authorized);
      transaction.commit();
    }
    store_ = platform::local_store::makeLocalHealthStore(path);
    std::vector<health::Sample> samples;
    for (int minute = 0; minute < kStoredSamples; ++minute) samples.push_back(heartRateSample(kFirstStart + 60.0 * minute));
    saveAndWait(*store_, std::move(samples));
  }
  ~BenchmarkStore() {
    store_.reset();
    std::filesystem::remove_all(directory_);
  }

  health::HealthStore& store() { return *store_; }

 private:
  std::string directory_;
  std::unique_ptr<health::HealthStore> store_;
};

void BM_QueryNewestSamples(benchmark::State& state) {
  BenchmarkStore fixture;
  const health::ObjectType type = heartRateType();
  for (auto _ : state) {
    benchmark::DoNotOptimize(health::sampleQueryResults(fixture.store(), type, state.range(0), /*descending=*/true));
  }
}
BENCHMARK(BM_QueryNewestSamples)->Arg(1)->Arg(100)->Arg(health::kObjectQueryNoLimit)->UseRealTime();

void BM_SaveOneSample(benchmark::State& state) {
  BenchmarkStore fixture;
  health::Instant start = kFirstStart + 60.0 * kStoredSamples;
  for (auto _ : state) {
    saveAndWait(fixture.store(), {heartRateSample(start)});
    start += 60.0;
  }
}
BENCHMARK(BM_SaveOneSample)->UseRealTime();

}  // namespace
