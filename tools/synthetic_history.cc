#include "synthetic_history.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "health/metric_catalogue.h"

namespace tarnwick::tools {
namespace {

using health::Instant;
using health::Sample;

constexpr double kMinute = 60;
constexpr double kHour = 3600;
constexpr double kDay = 86400;

struct Types {
  health::ObjectType steps, heartRate, hrv, weight, glucose, sleep, workout;
};

// The catalogue's rows of the metrics synthesised here; all seven are there.
Types typesOf() {
  auto type = [](std::string_view key) { return health::findMetric(key)->type; };
  return {type("steps"), type("heart_rate"), type("hrv"), type("weight"), type("glucose"), type("sleep"), type("workout")};
}

class DayWriter {
 public:
  DayWriter(const Types& types, Instant end, const std::function<void(const Sample&)>& emit)
      : types_(types), end_(end), emit_(emit) {}

  // The tracker's sleep comes first, so that the tracker is the first source
  // a fresh store hears from and so ranks above the phone.
  void day(Instant midnight, int dayIndex) {
    sleep(midnight - 1 * kHour);
    hrv(midnight + 5.5 * kHour);
    weight(midnight + 7.25 * kHour, dayIndex);
    glucose(midnight, dayIndex);
    for (Instant at = midnight; at < midnight + kDay; at += 5 * kMinute) heartRate(at, midnight);
    steps(midnight);
    if (dayIndex % 2 == 0 || dayIndex % 7 == 3) workout(midnight, dayIndex);
  }

 private:
  double uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random_); }

  void emit(Sample sample, std::string_view source) {
    if (sample.endDate > end_) return;
    sample.sourceName = std::string(source);
    emit_(sample);
  }

  void quantity(const health::ObjectType& type, const health::Unit& unit, double value, Instant start, Instant end,
                std::string_view source) {
    emit(health::makeQuantitySample(type, health::Quantity(unit, value), start, end), source);
  }

  // A day's walking: the tracker counts every ten minutes from 07:00 to
  // 23:00, a few thousand steps of walks in some of those slots and a few
  // hundred of pottering about in the rest. The phone counts the walks it is
  // carried on (all of them), a little short of the tracker, over the same
  // slots, so once sources are merged it adds nothing on top.
  void steps(Instant midnight) {
    constexpr int kSlots = 96;
    constexpr double kSlotLength = 10 * kMinute;
    const double walkSteps = uniform(5500, 11500);
    const double idleSteps = uniform(400, 1500);
    const int walks = static_cast<int>(std::ceil(walkSteps / uniform(650, 900)));

    std::vector<bool> walking(kSlots, false);
    for (int placed = 0; placed < walks;) {
      auto slot = static_cast<std::size_t>(uniform(0, kSlots));
      if (slot < walking.size() && !walking[slot]) {
        walking[slot] = true;
        ++placed;
      }
    }
    std::vector<double> share(kSlots);
    double walkShares = 0;
    double idleShares = 0;
    for (std::size_t slot = 0; slot < share.size(); ++slot) {
      if (walking[slot]) {
        share[slot] = uniform(0.7, 1.3);
        walkShares += share[slot];
      } else {
        share[slot] = uniform(0, 1) < 0.35 ? 0 : uniform(0, 1);
        idleShares += share[slot];
      }
    }
    for (std::size_t slot = 0; slot < share.size(); ++slot) {
      Instant at = midnight + 7 * kHour + static_cast<double>(slot) * kSlotLength;
      double count = walking[slot] ? std::round(walkSteps * share[slot] / walkShares)
                                   : std::round(idleSteps * share[slot] / std::max(idleShares, 1.0));
      quantity(types_.steps, health::Unit::count(), count, at, at + kSlotLength, kWatchSource);
      if (walking[slot] || uniform(0, 1) < 0.03) {
        quantity(types_.steps, health::Unit::count(), std::round(count * uniform(0.85, 0.98)), at, at + kSlotLength,
                 kPhoneSource);
      }
    }
  }

  void heartRate(Instant at, Instant midnight) {
    double hourOfDay = (at - midnight) / kHour;
    double base = hourOfDay < 6.5 ? 54 : 68;
    quantity(types_.heartRate, health::Unit::count().dividedBy(health::Unit::minute()), std::round(base + uniform(-6, 14)),
             at, at, kWatchSource);
  }

  void hrv(Instant at) {
    quantity(types_.hrv, health::Unit::second(health::MetricPrefix::milli), std::round(uniform(28, 75) * 10) / 10, at,
             at, kWatchSource);
  }

  void weight(Instant at, int dayIndex) {
    double trend = 78.0 + 1.5 * std::sin(dayIndex / 60.0);
    quantity(types_.weight, health::Unit::gram(health::MetricPrefix::kilo), std::round((trend + uniform(-0.4, 0.4)) * 10) / 10,
             at, at, kPhoneSource);
  }

  void glucose(Instant midnight, int dayIndex) {
    health::Unit milligramsPerDecilitre =
        health::Unit::gram(health::MetricPrefix::milli).dividedBy(health::Unit::liter(health::MetricPrefix::deci));
    Instant at = midnight + (dayIndex % 3 == 0 ? 8 : 13) * kHour;
    quantity(types_.glucose, milligramsPerDecilitre, std::round(uniform(82, 128)), at, at, kPhoneSource);
  }

  // A night from about 23:00: the phone's in-bed sample covers only the time
  // before the tracker sees sleep, so that no minute is counted twice; then
  // four cycles of core, deep and REM sleep and a short wake-up. Between six
  // and nine hours in all.
  void sleep(Instant evening) {
    Instant bedtime = evening + uniform(-40, 40) * kMinute;
    Instant at = bedtime + uniform(8, 25) * kMinute;
    Instant asleep = at;
    auto stage = [&](health::SleepAnalysis value, double minutes) {
      Instant until = at + minutes * kMinute;
      emit(health::makeCategorySample(types_.sleep, static_cast<int>(value), at, until), kWatchSource);
      at = until;
    };
    for (int cycle = 0; cycle < 4; ++cycle) {
      stage(health::SleepAnalysis::asleepCore, uniform(48, 62));
      if (cycle < 2) stage(health::SleepAnalysis::asleepDeep, uniform(25, 40));
      stage(health::SleepAnalysis::asleepREM, uniform(20, 30) + cycle * 5);
    }
    stage(health::SleepAnalysis::awake, uniform(2, 10));
    emit(health::makeCategorySample(types_.sleep, static_cast<int>(health::SleepAnalysis::inBed), bedtime, asleep),
         kPhoneSource);
  }

  void workout(Instant midnight, int dayIndex) {
    static constexpr health::WorkoutActivityType kRotation[] = {
        health::WorkoutActivityType::running, health::WorkoutActivityType::walking,
        health::WorkoutActivityType::cycling, health::WorkoutActivityType::traditionalStrengthTraining,
        health::WorkoutActivityType::yoga,    health::WorkoutActivityType::hiking};
    health::WorkoutActivityType activity = kRotation[static_cast<std::size_t>(dayIndex) % std::size(kRotation)];
    Instant start = midnight + uniform(17, 19) * kHour;
    double minutes = activity == health::WorkoutActivityType::hiking ? uniform(90, 180) : uniform(25, 65);
    Instant end = start + minutes * kMinute;
    bool indoor = activity == health::WorkoutActivityType::traditionalStrengthTraining ||
                  activity == health::WorkoutActivityType::yoga;
    health::Metadata metadata{{std::string(health::kMetadataKeyIndoorWorkout), indoor}};
    std::optional<health::Quantity> energy = health::Quantity(health::Unit::kilocalorie(), std::round(minutes * uniform(5, 11)));
    emit(health::makeWorkout(types_.workout, static_cast<int>(activity), start, end, end - start, energy, std::nullopt,
                             std::move(metadata)),
         kWatchSource);
  }

  const Types& types_;
  Instant end_;
  const std::function<void(const Sample&)>& emit_;
  std::mt19937_64 random_{20240611};
};

}  // namespace

void synthesiseHistory(int days, Instant end, const std::function<void(const Sample&)>& emit) {
  Types types = typesOf();
  DayWriter writer(types, end, emit);
  Instant firstMidnight = std::floor(end / kDay) * kDay - (days - 1) * kDay;
  for (int day = 0; day < days; ++day) writer.day(firstMidnight + day * kDay, day);
}

}  // namespace tarnwick::tools
