// What the test fake adds to the local store it wraps: a script replaces
// exactly the next answer of its kind, and a save whose answer a script
// replaces stores nothing, while every call is still recorded.
#include <gtest/gtest.h>

#include "store_calls.h"
#include "support/fake_health_store.h"

namespace tarnwick::testing {
namespace {

using health::HealthErrorCode;
using health::HealthStoreError;
using health::Sample;

const health::ObjectType kHeartRate{health::ObjectKind::quantity, std::string(health::kHeartRateIdentifier)};

Sample heartRate(double value, health::Instant start) {
  return health::makeQuantitySample(kHeartRate, health::Quantity(*health::Unit::fromString("count/min"), value), start,
                                    start);
}

const HealthStoreError kLocked(HealthErrorCode::databaseInaccessible, "Protected health data is inaccessible");

TEST(FakeHealthStore, AScriptReplacesTheNextAnswerOnly) {
  FakeHealthStore store;
  store.addSample(heartRate(60, 10));
  struct Case {
    const char* name;
    ScriptedReply reply;
    std::optional<std::size_t> delivered;  // how many samples, or none
    bool error;
  };
  const Case cases[] = {
      {"error", {kLocked}, std::nullopt, true},
      {"nothing", {std::nullopt, false, true}, 0, false},
      {"samples of its own", ScriptedReply::delivering({heartRate(1, 1), heartRate(2, 2)}), 2, false},
      {"no change", {}, 1, false},
  };
  const health::SampleQuery query{kHeartRate, std::nullopt, health::kObjectQueryNoLimit, {}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    store.scriptNext(StoreCall::sampleQuery, c.reply);
    auto scripted = querySamples(store, query);
    EXPECT_EQ(scripted.value ? std::optional(scripted.value->size()) : std::nullopt, c.delivered);
    EXPECT_EQ(scripted.error.has_value(), c.error);
    if (scripted.error) {
      EXPECT_STREQ(scripted.error->what(), kLocked.what());
    }
    auto next = querySamples(store, query);
    EXPECT_FALSE(next.error);
    EXPECT_EQ(next.value->size(), 1u);
  }
  EXPECT_EQ(store.sampleQueries().size(), 2 * std::size(cases));
}

TEST(FakeHealthStore, ASaveWhoseAnswerIsReplacedStoresNothing) {
  struct Case {
    const char* name;
    ScriptedReply reply;
    std::optional<bool> success;  // none when the save throws
    std::size_t stored;
  };
  for (const Case& c : {Case{"error alone", {kLocked}, std::nullopt, 0},
                        Case{"error after the store's save", {kLocked, true}, std::nullopt, 1},
                        Case{"nothing", {std::nullopt, false, true}, false, 0}}) {
    SCOPED_TRACE(c.name);
    FakeHealthStore store;
    store.scriptNext(StoreCall::saveObjects, c.reply);
    auto saved = save(store, {heartRate(70, 10)});
    EXPECT_EQ(saved.value, c.success);
    EXPECT_EQ(saved.error.has_value(), !c.success);
    EXPECT_EQ(store.samples().size(), c.stored);
    EXPECT_EQ(store.saves().size(), 1u);
  }
}

}  // namespace
}  // namespace tarnwick::testing
