#include "writeback/writeback.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "health/instant.h"
#include "health/metric_catalogue.h"
#include "protocol/bridge_runtime_error.h"
#include "support/fake_health_store.h"

namespace tarnwick::testing {
namespace {

using health::Sample;
using protocol::BridgeRequest;
using protocol::WritebackItem;
using protocol::WriteResult;

constexpr health::Instant kFirstReading = 1'700'000'001;

// Sent dates (milliseconds) a little before kFirstReading.
constexpr double kSent = 1'600'000'000'000;

// Reads kFirstReading first, then one second later at every reading, so that
// two readings of "now" can be told apart.
class SteppingClock final : public health::Clock {
 public:
  health::Instant now() const override { return reading_ += 1; }

 private:
  mutable health::Instant reading_ = kFirstReading - 1;
};

WritebackItem item(std::string id, std::string type, std::string value = "1") {
  return WritebackItem{std::move(id), std::move(type), "label", std::move(value), {}, {}, {}, {}};
}

WritebackItem withUnit(WritebackItem base, std::string unit) {
  base.unit = std::move(unit);
  return base;
}

WritebackItem withDates(WritebackItem base, std::optional<double> start, std::optional<double> end) {
  base.startDate = start;
  base.endDate = end;
  return base;
}

BridgeRequest writeRequest(std::optional<std::vector<WritebackItem>> items, std::string sourceMode = "native") {
  BridgeRequest request;
  request.method = "write";
  request.sourceMode = std::move(sourceMode);
  request.items = std::move(items);
  return request;
}

class WritebackTest : public ::testing::Test {
 protected:
  WriteResult writeSamples(BridgeRequest request) { return writeback::writeSamples(std::move(request), store, clock); }

  // The one save the request caused.
  std::vector<Sample> savedObjects() {
    auto saves = store.saves();
    EXPECT_EQ(saves.size(), 1u);
    return saves.empty() ? std::vector<Sample>{} : saves.front();
  }

  FakeHealthStore store;
  SteppingClock clock;
};

TEST_F(WritebackTest, NoItemsSavesNothingAndAsksNothing) {
  for (auto items : {std::optional<std::vector<WritebackItem>>{}, std::optional{std::vector<WritebackItem>{}}}) {
    EXPECT_EQ(writeSamples(writeRequest(items)), (WriteResult{0, {}}));
  }
  EXPECT_TRUE(store.calls().empty());
}

TEST_F(WritebackTest, UnsupportedTypesBecomeWarningsInItemOrderWithoutASave) {
  WriteResult result =
      writeSamples(writeRequest(std::vector{item("a", "Steps"), item("b", "blood_pressure"), item("c", ""),
                                                       item("d", "steps ")}));
  EXPECT_EQ(result, (WriteResult{0,
                                 {"Unsupported writeback type: Steps", "Unsupported writeback type: blood_pressure",
                                  "Unsupported writeback type: ", "Unsupported writeback type: steps "}}));
  EXPECT_TRUE(store.calls().empty());
}

struct QuantityCase {
  std::string name;
  WritebackItem item;
  std::string typeIdentifier;
  double value;
  health::Unit unit;
  health::Instant instant;
};

class QuantityConversionTest : public WritebackTest, public ::testing::WithParamInterface<QuantityCase> {};

TEST_P(QuantityConversionTest, BuildsOneInstantSample) {
  const QuantityCase& c = GetParam();
  EXPECT_EQ(writeSamples(writeRequest(std::vector{c.item})), (WriteResult{1, {}}));
  std::vector<Sample> saved = savedObjects();
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].type.identifier, c.typeIdentifier);
  ASSERT_NE(saved[0].asQuantitySample(), nullptr);
  EXPECT_EQ(saved[0].asQuantitySample()->quantity.value(), c.value);
  EXPECT_EQ(saved[0].asQuantitySample()->quantity.unit(), c.unit) << saved[0].asQuantitySample()->quantity.unit().unitString();
  EXPECT_EQ(saved[0].startDate, c.instant);
  EXPECT_EQ(saved[0].endDate, c.instant);
  EXPECT_TRUE(saved[0].metadata.empty());
}

const health::Unit kCount = health::Unit::count();
const health::Unit kBeatsPerMinute = health::Unit::count().dividedBy(health::Unit::minute());

INSTANTIATE_TEST_SUITE_P(
    Values, QuantityConversionTest,
    ::testing::Values(
        QuantityCase{"Exponent", item("a", "steps", "1e3"), std::string(health::kStepCountIdentifier), 1000, kCount,
                     kFirstReading},
        QuantityCase{"Hexadecimal", item("a", "hrv", "0x1.8p1"),
                     std::string(health::kHeartRateVariabilityIdentifier), 3,
                     health::Unit::second(health::MetricPrefix::milli), kFirstReading}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Units, QuantityConversionTest,
    ::testing::Values(
        QuantityCase{"HeartRateDefault", item("a", "heart_rate", "61"), std::string(health::kHeartRateIdentifier), 61,
                     kBeatsPerMinute, kFirstReading},
        QuantityCase{"WeightDefaultIsPounds", item("a", "weight", "150"), std::string(health::kBodyMassIdentifier),
                     150, health::Unit::pound(), kFirstReading},
        QuantityCase{"WeightInKilograms", withUnit(item("a", "weight", "70"), "kg"),
                     std::string(health::kBodyMassIdentifier), 70, health::Unit::gram(health::MetricPrefix::kilo),
                     kFirstReading},
        QuantityCase{"GlucoseDefault", item("a", "glucose", "95"), std::string(health::kBloodGlucoseIdentifier), 95,
                     health::Unit::gram(health::MetricPrefix::milli)
                         .dividedBy(health::Unit::liter(health::MetricPrefix::deci)),
                     kFirstReading}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Instants, QuantityConversionTest,
    ::testing::Values(QuantityCase{"EndWins", withDates(item("a", "steps"), kSent + 1000, kSent + 2000),
                                   std::string(health::kStepCountIdentifier), 1, kCount, (kSent + 2000) / 1000},
                      QuantityCase{"StartAlone", withDates(item("a", "steps"), kSent + 1000, std::nullopt),
                                   std::string(health::kStepCountIdentifier), 1, kCount, (kSent + 1000) / 1000},
                      QuantityCase{"EndAlone", withDates(item("a", "steps"), std::nullopt, kSent + 2500.5),
                                   std::string(health::kStepCountIdentifier), 1, kCount, (kSent + 2500.5) / 1000}),
    [](const auto& info) { return info.param.name; });

TEST_F(WritebackTest, SleepIsAnAsleepSampleBetweenItsInstants) {
  struct Case {
    std::optional<double> start, end;
    health::Instant expectedStart, expectedEnd;
  };
  for (const Case& c : {Case{std::nullopt, std::nullopt, kFirstReading, kFirstReading + 1},
                        Case{kSent + 60'000, std::nullopt, kSent / 1000 + 60, kSent / 1000 + 60},
                        Case{kSent + 60'000, kSent + 120'000, kSent / 1000 + 60, kSent / 1000 + 120}}) {
    FakeHealthStore fresh;
    SteppingClock fromFirstReading;
    EXPECT_EQ(writeback::writeSamples(writeRequest(std::vector{withDates(item("s", "sleep", "ignored"), c.start, c.end)}),
                                      fresh, fromFirstReading),
              (WriteResult{1, {}}));
    ASSERT_EQ(fresh.saves().size(), 1u);
    const Sample sleep = fresh.saves()[0].at(0);
    EXPECT_EQ(sleep.type.identifier, health::kSleepAnalysisIdentifier);
    ASSERT_NE(sleep.asCategorySample(), nullptr);
    EXPECT_EQ(sleep.asCategorySample()->value, static_cast<int>(health::SleepAnalysis::asleepUnspecified));
    EXPECT_EQ(sleep.startDate, c.expectedStart);
    EXPECT_EQ(sleep.endDate, c.expectedEnd);
  }
}

TEST_F(WritebackTest, WorkoutIsAnIndoorRunWithItsIdAsSyncIdentifier) {
  constexpr double kStart = 1'700'000'000'000;
  struct Case {
    std::optional<double> start, end;
    double duration;
  };
  for (const Case& c : {Case{kStart, kStart + 1'800'000, 1800}, Case{kStart, kStart, 1}, Case{kStart, kStart + 400, 1},
                        Case{std::nullopt, std::nullopt, 1}}) {
    FakeHealthStore fresh;
    EXPECT_EQ(writeback::writeSamples(writeRequest(std::vector{withDates(item("run-7", "workout"), c.start, c.end)}),
                                      fresh, clock),
              (WriteResult{1, {}}));
    ASSERT_EQ(fresh.saves().size(), 1u);
    const Sample workout = fresh.saves()[0].at(0);
    EXPECT_EQ(workout.type.identifier, health::kWorkoutTypeIdentifier);
    ASSERT_NE(workout.asWorkout(), nullptr);
    EXPECT_EQ(workout.asWorkout()->activityType, static_cast<int>(health::WorkoutActivityType::running));
    EXPECT_EQ(workout.asWorkout()->duration, c.duration);
    EXPECT_FALSE(workout.asWorkout()->totalEnergyBurned);
    EXPECT_FALSE(workout.asWorkout()->totalDistance);
    EXPECT_EQ(workout.metadata, (health::Metadata{{"HKIndoorWorkout", true},
                                                  {"HKMetadataKeySyncIdentifier", std::string("run-7")},
                                                  {"HKMetadataKeySyncVersion", 1.0}}));
  }
}

TEST_F(WritebackTest, AWorkoutWithoutAnIdHasNoSyncIdentifier) {
  writeSamples(writeRequest(std::vector{item("", "workout"), item("", "workout")}));
  std::vector<Sample> saved = savedObjects();
  ASSERT_EQ(saved.size(), 2u);
  for (const Sample& workout : saved) EXPECT_EQ(workout.metadata, (health::Metadata{{"HKIndoorWorkout", true}}));
}

TEST_F(WritebackTest, MixedItemsAreSavedTogetherInItemOrder) {
  WriteResult result = writeSamples(writeRequest(std::vector{
      item("a", "steps", "12"), item("b", "calories"), item("c", "sleep"),
      withDates(item("d", "workout"), kSent, kSent + 60'000)}));
  EXPECT_EQ(result, (WriteResult{3, {"Unsupported writeback type: calories"}}));
  std::vector<Sample> saved = savedObjects();
  ASSERT_EQ(saved.size(), 3u);
  EXPECT_NE(saved[0].asQuantitySample(), nullptr);
  EXPECT_NE(saved[1].asCategorySample(), nullptr);
  EXPECT_NE(saved[2].asWorkout(), nullptr);
  EXPECT_EQ(store.samples().size(), 3u);
}

struct SkipCase {
  std::string name;
  WritebackItem item;
  std::string warning;
};

class ItemValidationTest : public WritebackTest, public ::testing::WithParamInterface<SkipCase> {};

// The item is left out with its warning; the items around it are saved.
TEST_P(ItemValidationTest, SkipsTheItemWithAWarning) {
  const SkipCase& c = GetParam();
  WriteResult result = writeSamples(writeRequest(std::vector{item("before", "steps"), c.item,
                                                                        item("after", "heart_rate", "60")}));
  EXPECT_EQ(result, (WriteResult{2, {c.warning}}));
  std::vector<Sample> saved = savedObjects();
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0].type.identifier, health::kStepCountIdentifier);
  EXPECT_EQ(saved[1].type.identifier, health::kHeartRateIdentifier);
}

INSTANTIATE_TEST_SUITE_P(
    Skipped, ItemValidationTest,
    ::testing::Values(
        SkipCase{"Infinity", item("x1", "steps", "INF"), "Skipped item 'x1': its value is not a finite number."},
        SkipCase{"NegativeInfinity", item("x2", "weight", "-Infinity"),
                 "Skipped item 'x2': its value is not a finite number."},
        SkipCase{"NotANumber", item("x3", "glucose", "nAn"), "Skipped item 'x3': its value is not a finite number."},
        SkipCase{"Overflow", item("x4", "hrv", "1e400"), "Skipped item 'x4': its value is not a finite number."},
        SkipCase{"MassOnSteps", withUnit(item("x5", "steps", "10"), "kg"),
                 "Skipped item 'x5': its unit 'kg' does not measure steps, which takes count or steps."},
        SkipCase{"TimeOnWeight", withUnit(item("x6", "weight", "10"), "min"),
                 "Skipped item 'x6': its unit 'min' does not measure weight, which takes lb, kg or st."},
        SkipCase{"SleepBackwards", withDates(item("x7", "sleep"), kSent + 2000, kSent + 1000),
                 "Skipped item 'x7': it ends before it starts."},
        SkipCase{"SleepEndingBeforeNow", withDates(item("x8", "sleep"), std::nullopt, kSent + 1000),
                 "Skipped item 'x8': it ends before it starts."},
        SkipCase{"WorkoutBackwards", withDates(item("x9", "workout"), kSent + 5000, kSent + 4999),
                 "Skipped item 'x9': it ends before it starts."}),
    [](const auto& info) { return info.param.name; });

// Texts that would once have been saved as 0, or in the default unit.
INSTANTIATE_TEST_SUITE_P(
    NotANumberOrUnit, ItemValidationTest,
    ::testing::Values(
        SkipCase{"DecimalComma", item("n1", "weight", "72,5"), "Skipped item 'n1': its value '72,5' is not a number."},
        SkipCase{"LeadingSpace", item("n2", "weight", " 72"), "Skipped item 'n2': its value ' 72' is not a number."},
        SkipCase{"Empty", item("n5", "hrv", ""), "Skipped item 'n5': its value '' is not a number."},
        SkipCase{"ControlCharacter", item("n6", "hrv", "4\n2"),
                 "Skipped item 'n6': its value '4\\u000A2' is not a number."},
        SkipCase{"InvalidUtf8", item("n7", "hrv", "4\xff"), "Skipped item 'n7': its value '4\\xFF' is not a number."},
        SkipCase{"LongText", item("n8", "hrv", std::string(100, '9') + "x"),
                 "Skipped item 'n8': its value '" + std::string(64, '9') + "...' is not a number."},
        SkipCase{"UnitInCapitals", withUnit(item("u2", "weight", "70"), "KG"), 
                 "Skipped item 'u2': 'KG' is not a unit; weight takes lb, kg or st."},
        SkipCase{"EmptyUnit", withUnit(item("u4", "weight", "150"), ""), 
                 "Skipped item 'u4': '' is not a unit; weight takes lb, kg or st."}),
    [](const auto& info) { return info.param.name; });

// Amounts finite as sent that are absurd, or infinite, in the type's unit.
INSTANTIATE_TEST_SUITE_P(
    OutOfRange, ItemValidationTest,
    ::testing::Values(
        SkipCase{"InfiniteInPounds", withUnit(item("b1", "weight", "1.7e308"), "kg"),
                 "Skipped item 'b1': its value is out of range for weight, which is at most 10000 kg."},
        SkipCase{"InfiniteInMilligrams", withUnit(item("b2", "glucose", "5.5"), "mmol<1e400>/L"),
                 "Skipped item 'b2': its value is out of range for glucose, which is at most 100000 mg/dL."},
        SkipCase{"HugeSteps", item("b3", "steps", "1e308"),
                 "Skipped item 'b3': its value is out of range for steps, which is at most 10000000 count."},
        SkipCase{"HugeNegative", item("b4", "heart_rate", "-1001"),
                 "Skipped item 'b4': its value is out of range for heart_rate, which is at most 1000 count/min."},
        SkipCase{"HugeInSeconds", withUnit(item("b5", "hrv", "10.001"), "s"),
                 "Skipped item 'b5': its value is out of range for hrv, which is at most 10000 ms."}),
    [](const auto& info) { return info.param.name; });

TEST_F(WritebackTest, AnItemWithTwoFaultsGetsOneWarning) {
  EXPECT_EQ(writeSamples(writeRequest(std::vector{withUnit(item("x", "steps", "nan"), "kg"),
                                                             withUnit(item("y", "steps", "1,5"), "lbs")})),
            (WriteResult{0,
                         {"Skipped item 'x': its value is not a finite number.",
                          "Skipped item 'y': its value '1,5' is not a number."}}));
  EXPECT_TRUE(store.calls().empty());
}

TEST_F(WritebackTest, AnIdThatWouldNotEncodeIsEscapedInItsWarning) {
  EXPECT_EQ(writeSamples(writeRequest(std::vector{item("a\xc3", "steps", "x")})),
            (WriteResult{0, {"Skipped item 'a\\xC3': its value 'x' is not a number."}}));
}

TEST_F(WritebackTest, CompatibleUnitsInOtherWordsAreAccepted) {
  EXPECT_EQ(writeSamples(writeRequest(std::vector{withUnit(item("a", "heart_rate", "1"), "count/s"),
                                                             withUnit(item("b", "hrv", "0.05"), "s"),
                                                             withUnit(item("c", "weight", "11"), "st")})),
            (WriteResult{3, {}}));
}

TEST_F(WritebackTest, AFailedSaveReportsNoCountAndNoWarnings) {
  struct Case {
    std::string name;
    ScriptedReply reply;
    std::optional<int> storeErrorCode;  // none: the bridge's own refusal
    std::string message;
  };
  const Case cases[] = {
      {"RefusedWithoutError", ScriptedReply{std::nullopt, false, true}, std::nullopt,
       "HealthKit rejected the writeback request."},
      {"StoreError", ScriptedReply{health::HealthStoreError(health::HealthErrorCode::databaseInaccessible,
                                                            "Protected health data is inaccessible")},
       6, "Protected health data is inaccessible"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    store.scriptNext(StoreCall::saveObjects, c.reply);
    auto request = writeRequest(std::vector{item("a", "steps"), item("b", "nope")});
    try {
      writeSamples(request);
      ADD_FAILURE() << "no error";
    } catch (const protocol::BridgeRuntimeError& error) {
      EXPECT_FALSE(c.storeErrorCode);
      EXPECT_EQ(error.errorCase(), protocol::BridgeRuntimeError::Case::writeFailed);
      EXPECT_EQ(error.what(), c.message);
    } catch (const health::HealthStoreError& error) {
      EXPECT_EQ(error.code(), c.storeErrorCode);
      EXPECT_EQ(error.what(), c.message);
    }
  }
  EXPECT_TRUE(store.samples().empty());
}

}  // namespace
}  // namespace tarnwick::testing
