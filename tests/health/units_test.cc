#include "health/units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace tarnwick::testing {
namespace {

using health::IncompatibleUnitsError;
using health::MetricPrefix;
using health::Quantity;
using health::Unit;

constexpr const char* kGlucoseMillimolar = "mmol<180.15588000005408>/L";

Unit parsed(std::string_view text) {
  std::optional<Unit> unit = Unit::fromString(text);
  EXPECT_TRUE(unit.has_value()) << text;
  return unit.value_or(Unit::count());
}

// How many doubles lie between a and b.
std::int64_t ulpsApart(double a, double b) {
  std::int64_t ia = 0;
  std::int64_t ib = 0;
  std::memcpy(&ia, &a, sizeof a);
  std::memcpy(&ib, &b, sizeof b);
  return std::llabs(ia - ib);
}

TEST(UnitConversion, KnownValues) {
  struct Case {
    double value;
    const char* from;
    const char* to;
    double expected;
  };
  const Case cases[] = {
      {1, "lb", "kg", 0.45359237},
      {1, "kg", "g", 1000},
      {1, "mg", "g", 0.001},
      {1, "mcg", "mg", 0.001},
      {16, "oz", "lb", 1},
      {1, "st", "lb", 14},
      {1, "mi", "m", 1609.344},
      {1, "ft", "in", 12},
      {1, "yd", "cm", 91.44},
      {1, "hr", "min", 60},
      {1, "d", "s", 86400},
      {1500, "ms", "s", 1.5},
      {60, "count/min", "Hz", 1},
      {1, "kcal", "J", 4184},
      {1, "Cal", "kcal", 1},
      {1000, "cal", "kcal", 1},
      {1, "kJ", "J", 1000},
      {1, "atm", "Pa", 101325},
      {1, "mmHg", "Pa", 133.322387415},
      {1, "cmAq", "Pa", 98.0665},
      {1, "inHg", "kPa", 3.386389},
      {1, "L", "mL", 1000},
      {1, "dL", "mL", 100},
      {1, "l", "L", 1},
      {1000, "L", "m^3", 1},
      {1, "fl_oz_us", "mL", 29.5735295625},
      {1, "fl_oz_imp", "mL", 28.4130625},
      {1, "pt_us", "fl_oz_us", 16},
      {1, "pt_imp", "fl_oz_imp", 20},
      {1, "cup_us", "fl_oz_us", 8},
      {1, "cup_imp", "mL", 284.130625},
      {1, "J", "kg.m^2/s^2", 1},
      {1, "Pa", "kg/m.s^2", 1},
      {2, "V^2.S", "J/s", 2},  // volts squared times siemens is watts
      {1, "mi/hr", "m/s", 0.44704},
      {1, "mol<180.15588000005408>", "g", 180.15588000005408},
      {100, "mg/dL", kGlucoseMillimolar, 1000 / 180.15588000005408},
      {0, "degC", "K", 273.15},
      {100, "degC", "degF", 212},
      {32, "degF", "degC", 0},
      {-40, "degF", "degC", -40},
      {1, "degC/min", "K/min", 1},
  };
  for (const Case& c : cases) {
    const Unit from = parsed(c.from);
    const Unit to = parsed(c.to);
    EXPECT_DOUBLE_EQ(c.expected, from.convert(c.value, to)) << c.value << " " << c.from << " -> " << c.to;
  }
}

TEST(UnitConversion, PoundIsExactlyTheDefinedKilogramFraction) {
  EXPECT_EQ(0.45359237, Unit::pound().convert(1, Unit::gram(MetricPrefix::kilo)));
  const double kilograms = Unit::pound().convert(150, Unit::gram(MetricPrefix::kilo));
  EXPECT_EQ(150.0, Unit::gram(MetricPrefix::kilo).convert(kilograms, Unit::pound()));
}

TEST(UnitConversion, RandomValuesRoundTripWithinOneUlp) {
  struct Pair {
    const char* from;
    const char* to;
  };
  const Pair pairs[] = {{"lb", "kg"}, {"mg/dL", kGlucoseMillimolar}, {"degF", "degC"}, {"mi/hr", "m/s"}};
  std::mt19937_64 random(20240611);
  std::uniform_real_distribution<double> values(-1e6, 1e6);
  for (const Pair& pair : pairs) {
    const Unit from = parsed(pair.from);
    const Unit to = parsed(pair.to);
    for (int i = 0; i < 1000; ++i) {
      const double value = values(random);
      const double back = to.convert(from.convert(value, to), from);
      ASSERT_LE(ulpsApart(value, back), 1) << value << " " << pair.from << " via " << pair.to;
    }
  }
}

TEST(UnitConversion, IncompatibleUnitsThrowNamingBoth) {
  try {
    Unit::gram(MetricPrefix::kilo).convert(1, Unit::count());
    FAIL() << "converted kg to count";
  } catch (const IncompatibleUnitsError& error) {
    EXPECT_STREQ("Cannot express a value in kg as count: the units measure different things.", error.what());
  }
}

TEST(UnitFactories, CanonicalTextsReadBackEqual) {
  struct Case {
    Unit unit;
    const char* text;
  };
  const Case cases[] = {
      {Unit::count(), "count"},
      {Unit::percent(), "%"},
      {Unit::second(), "s"},
      {Unit::second(MetricPrefix::milli), "ms"},
      {Unit::minute(), "min"},
      {Unit::hour(), "hr"},
      {Unit::gram(), "g"},
      {Unit::gram(MetricPrefix::kilo), "kg"},
      {Unit::gram(MetricPrefix::milli), "mg"},
      {Unit::gram(MetricPrefix::micro), "mcg"},
      {Unit::pound(), "lb"},
      {Unit::meter(), "m"},
      {Unit::liter(), "L"},
      {Unit::liter(MetricPrefix::deci), "dL"},
      {Unit::kilocalorie(), "kcal"},
      {Unit::count().dividedBy(Unit::minute()), "count/min"},
      {Unit::gram(MetricPrefix::milli).dividedBy(Unit::liter(MetricPrefix::deci)), "mg/dL"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.text, c.unit.unitString());
    EXPECT_EQ(parsed(c.text), c.unit) << c.text;
  }
}

}  // namespace
}  // namespace tarnwick::testing
