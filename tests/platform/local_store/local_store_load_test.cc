// The local store under load: many connections saving at once lose and
// double nothing, and the hot queries are index seeks. (Whole bridge
// processes at once are the reliability suite's.)
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/local_store/sample_records.h"
#include "store_calls.h"
#include "store_factories.h"

namespace tarnwick::testing {
namespace {

const health::ObjectType kSteps{health::ObjectKind::quantity, std::string(health::kStepCountIdentifier)};

health::Sample steps(double value, health::Instant at) {
  return health::makeQuantitySample(kSteps, health::Quantity(health::Unit::count(), value), at, at);
}

TEST(LocalStoreLoad, StoresSavingAtOnceOnOneFileKeepEverySample) {
  LocalStoreFactory factory;
  factory.setAccess(kSteps.identifier, Decision::authorized, Decision::authorized);
  constexpr int kWriters = 6;
  constexpr int kSaves = 10;
  std::vector<std::thread> writers;
  std::atomic<int> failures{0};
  for (int writer = 0; writer < kWriters; ++writer) {
    writers.emplace_back([&, writer] {
      // Each thread has a store of its own: its own connection, as separate
      // bridge processes have.
      auto store = platform::local_store::makeLocalHealthStore(factory.path());
      for (int save = 0; save < kSaves; ++save) {
        auto saved = tarnwick::testing::save(*store, {steps(1, writer * 100 + save), steps(2, writer * 100 + save)});
        if (saved.error) ++failures;
      }
    });
  }
  for (std::thread& thread : writers) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(factory.stored().size(), static_cast<std::size_t>(kWriters * kSaves * 2));
}

TEST(LocalStoreLoad, HotQueriesSeekTheIndex) {
  LocalStoreFactory factory;
  factory.seed(steps(1, 1), "Watch");
  auto database = platform::local_store::openStore(factory.path());
  auto plan = [&](const std::string& sql) {
    platform::local_store::Statement explain(*database, "EXPLAIN QUERY PLAN " + sql);
    std::string details;
    while (explain.step()) details += explain.columnText(3).value_or("") + "\n";
    return details;
  };
  health::SampleQuery newest{kSteps, std::nullopt, 1, {{std::string(health::kSampleSortIdentifierStartDate), false}}};
  health::SamplePredicate window{10.0, 20.0, health::kQueryOptionStrictStartDate};
  health::SampleQuery overlapping{kSteps, health::SamplePredicate{10.0, std::nullopt, health::kQueryOptionNone}, 0,
                                  {{std::string(health::kSampleSortIdentifierStartDate), false}}};
  struct Case {
    const char* name;
    std::string sql;
    std::string expected;
  };
  for (const Case& c : std::vector<Case>{
           {"newest by start", platform::local_store::sampleQuerySql(newest, false),
            "USING INDEX samples_by_type_start (type=?)"},
           {"newest of own source", platform::local_store::sampleQuerySql(newest, true),
            "USING INDEX samples_by_type_start (type=?)"},
           {"samples ending after a window start", platform::local_store::sampleQuerySql(overlapping, false),
            "USING INDEX samples_by_type_end (type=? AND end>?)"},
           {"step sum", platform::local_store::sumQuerySql(window, false),
            "USING INDEX samples_by_type_start (type=? AND start>? AND start<?)"},
       }) {
    SCOPED_TRACE(c.name);
    std::string details = plan(c.sql);
    EXPECT_NE(details.find(c.expected), std::string::npos) << details;
    // The window on end dates sorts its few matches; the others never sort.
    if (c.expected.find("by_type_end") == std::string::npos) {
      EXPECT_EQ(details.find("TEMP B-TREE"), std::string::npos) << "sorts outside the index: " << details;
    }
  }
}

}  // namespace
}  // namespace tarnwick::testing
