#include "health/units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace tarnwick::health {
// Failures show the unit's text rather than its bytes.
void PrintTo(const Unit& unit, std::ostream* out) { *out << unit.unitString(); }
}  // namespace tarnwick::health

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
  // The defined sizes of the units without SI prefixes, and the shifted scales.
  const Case cases[] = {
      {1, "lb", "kg", 0.45359237},      {16, "oz", "lb", 1},
      {1, "st", "lb", 14},              {1, "mi", "m", 1609.344},
      {1, "yd", "cm", 91.44},           {1, "d", "s", 86400},
      {1500, "ms", "min", 0.025},       {60, "count/min", "Hz", 1},
      {1, "atm", "Pa", 101325},         {1, "cmAq", "Pa", 98.0665},
      {1, "inHg", "kPa", 3.386389},     {1000, "L", "m^3", 1},
      {1, "fl_oz_us", "mL", 29.5735295625}, {1, "fl_oz_imp", "mL", 28.4130625},
      {1, "pt_us", "fl_oz_us", 16},     {1, "pt_imp", "fl_oz_imp", 20},
      {1, "cup_us", "fl_oz_us", 8},     {1, "cup_imp", "mL", 284.130625},
      {2, "V^2.S", "J/s", 2},           {1, "mi/hr", "m/s", 0.44704},
      {1, "kcal", "kJ", 4.184},         {1, "mol<180.15588000005408>", "g", 180.15588000005408},
      {100, "mg/dL", kGlucoseMillimolar, 1000 / 180.15588000005408},
      {0, "degC", "K", 273.15},         {100, "degC", "degF", 212},
      {32, "degF", "degC", 0},          {-40, "degF", "degC", -40},
      {20, "degC/min", "degF/min", 36},  // rates of change scale, they do not shift
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

// Where a name could split several ways, the reading is the one in the
// second column: one of the text is `size` of the reference.
TEST(UnitGrammar, NamesSplitAsIntended) {
  struct Case {
    const char* text;
    const char* reference;
    double size;
  };
  const Case cases[] = {
      {"m", "cm", 100},        {"min", "s", 60},         {"mi", "ft", 5280},     {"mm", "m", 0.001},
      {"Mm", "m", 1e6},        {"hm", "m", 100},         {"hr", "s", 3600},      {"d", "hr", 24},
      {"dm", "m", 0.1},        {"dam", "m", 10},         {"das", "s", 10},       {"ds", "s", 0.1},
      {"mg", "g", 0.001},      {"mcg", "g", 1e-6},       {"ng", "g", 1e-9},      {"pg", "g", 1e-12},
      {"fs", "s", 1e-15},      {"Ts", "s", 1e12},        {"Gs", "s", 1e9},       {"cs", "s", 0.01},
      {"ft", "in", 12},        {"Pa", "kg/m.s^2", 1},    {"mPa", "Pa", 0.001},   {"kPa", "Pa", 1000},
      {"cal", "J", 4.184},     {"Cal", "J", 4184},       {"kcal", "cal", 1000},  {"dL", "L", 0.1},
      {"mcL", "L", 1e-6},      {"ml", "L", 0.001},       {"mmol", "mol", 0.001}, {"kHz", "Hz", 1000},
      {"MHz", "s^-1", 1e6},    {"mS", "S", 0.001},       {"mV", "V", 0.001},     {"kK", "K", 1000},
      {"GJ", "kJ", 1e6},       {"mmHg", "Pa", 133.322387415},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(c.size, parsed(c.text).convert(1, parsed(c.reference))) << c.text << " in " << c.reference;
  }
}

TEST(UnitGrammar, OperatorsGroupAsIntended) {
  // Each pair names one unit, written two ways.
  const std::pair<const char*, const char*> equal[] = {
      {"kg/m.s^2", "Pa"},
      {"kg*m^2/s^2", "J"},
      {"kg.m^2.s^-2", "J"},
      {"(kg)", "kg"},
      {"(kg.m)^2", "kg^2.m^2"},
      {"kg/(m.s^2)", "Pa"},
      {"(count/min)/s", "count/min.s"},
      {"m/(s/kg)", "m.kg/s"},
      {"m^-1", "count/m"},
      {"kg^0", "count"},
      {"cm^3", "mL"},
      {"mg/dL", "cg/L"},
      {"mmol<180.15588000005408>", "mg.mol<180.15588000005408>/g"},
      {"Hz", "count/s"},
      {"degC^1", "degC"},
      {"(degC)", "degC"},
      {"degC/min", "K/min"},  // a rate of temperature change has no zero point
  };
  for (const auto& [left, right] : equal) EXPECT_EQ(parsed(left), parsed(right)) << left << " = " << right;

  const std::pair<const char*, const char*> different[] = {
      {"degC", "K"}, {"degF", "degC"}, {"kg", "g"}, {"count", "%"}, {"mol", "g"}, {"m/s.s", "m.s/s"}, {"Cal", "cal"},
  };
  for (const auto& [left, right] : different) EXPECT_NE(parsed(left), parsed(right)) << left << " != " << right;
}

TEST(UnitGrammar, CompatibilityFollowsDimensions) {
  struct Case {
    const char* left;
    const char* right;
    bool compatible;
  };
  const Case cases[] = {
      {"count/min", "Hz", true},
      {"m/s", "mi/hr", true},
      {"mg/dL", kGlucoseMillimolar, true},
      {"mol<18>", "g", true},
      {"degF", "K", true},
      {"J", "kcal", true},
      {"V^2.S", "J/s", true},
      {"kg", "count", false},
      {"mg/dL", "count", false},
      {"%", "count", false},  // a fraction is its own kind of scalar
      {"IU", "count", false},
      {"IU", "%", false},
      {"mol", "g", false},  // without a molar mass a mole is an amount, not a mass
      {"V", "kg.m^2/s^3", false},
      {"L", "m^2", false},
  };
  for (const Case& c : cases) {
    const Quantity quantity(parsed(c.left), 1);
    EXPECT_EQ(c.compatible, quantity.isCompatibleWithUnit(parsed(c.right))) << c.left << " vs " << c.right;
    if (!c.compatible) {
      EXPECT_THROW(quantity.doubleValueForUnit(parsed(c.right)), IncompatibleUnitsError) << c.left;
    }
  }
}

TEST(UnitGrammar, RejectsWhatIsNotAUnit) {
  const std::string rejected[] = {
      "", " kg", "kg ", "kg g", "k g", "kgg", "k", "da", "mc", "KG", "hrs", "cd", "kcd", "Mcal", "°C",
      "m/s/s", "^2", "kg^", "kg^x", "kg^2.5", "kg^+2", "kg^--2", "kg^2^2", "kg^128", "kg^127.kg", "2kg", "kg2",
      "mol<", "mol<>", "mol<abc>", "mol<-1>", "mol<0>", "mol<inf>", "mol<nan>", "mol<1e99999>", "mol<18",
      "mol<1 8>", "g<180>", "mol<18><18>", "((kg)", "(kg))", "()", "(", ")", "kg.", ".kg", "kg..m", "kg//m",
      "kg/", "/kg", "kg\tm", std::string("kg\0", 3), std::string(10000, '('), std::string(10000, 'k'),
      std::string(17, '(') + "kg" + std::string(17, ')'),
  };
  for (const std::string& text : rejected) EXPECT_FALSE(Unit::fromString(text).has_value()) << "[" << text << "]";

  // Products whose powers or sizes run out of range are not units either.
  std::string huge;
  for (int i = 0; i < 400; ++i) huge += "Tg.fg^-1.";  // dimensionless, 10^27 per round
  EXPECT_FALSE(Unit::fromString(huge + "count").has_value());
  std::string heavy;
  for (int i = 0; i < 700; ++i) heavy += "lb.g^-1.";
  EXPECT_FALSE(Unit::fromString(heavy + "count").has_value());
}

TEST(UnitGrammar, LongButValidTextsParse) {
  EXPECT_TRUE(Unit::fromString(std::string(16, '(') + "kg" + std::string(16, ')')).has_value());
  std::string text = "kg";
  while (text.size() < 10000) text += ".g^-1.g";
  EXPECT_TRUE(Unit::fromString(text).has_value());
}

// Random texts over the grammar's own alphabet: nothing throws or crashes,
// and whatever parses survives grouping and division with its text intact.
TEST(UnitGrammar, RandomTextsNeverThrowAndReadBack) {
  const std::string_view pieces[] = {"kg", "m",  "s",  "min", "count", "%",   "degC", "mol<18>", "mmol<", ">",
                                     "L",  "dL", "lb", "/",   ".",     "*",   "^",    "-",       "2",     "3",
                                     "(",  ")",  "<",  "k",   "m",     "\xc2", " ",    "0"};
  std::mt19937 random(7);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> length(1, 12);
  std::uniform_int_distribution<int> byte(0, 255);
  const Unit minute = Unit::minute();
  int parsedCount = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    const int n = length(random);
    for (int j = 0; j < n; ++j) {
      if (i % 4 == 0) {
        text += static_cast<char>(byte(random));
      } else {
        text += pieces[pick(random)];
      }
    }
    std::optional<Unit> unit;
    ASSERT_NO_THROW(unit = Unit::fromString(text)) << text;
    if (!unit) continue;
    ++parsedCount;
    EXPECT_EQ(Unit::fromString("(" + text + ")"), unit) << text;
    const Unit perMinute = unit->dividedBy(minute);
    EXPECT_EQ(Unit::fromString(perMinute.unitString()), perMinute) << perMinute.unitString();
    const Unit inverse = minute.dividedBy(*unit);
    EXPECT_EQ(Unit::fromString(inverse.unitString()), inverse) << inverse.unitString();
  }
  EXPECT_GT(parsedCount, 500);  // the alphabet must reach real units, or the test proves little
}

TEST(UnitDivision, TextsGroupCompoundSides) {
  struct Case {
    const char* numerator;
    const char* divisor;
    const char* text;
    const char* sameAs;
  };
  const Case cases[] = {
      {"count", "min", "count/min", "Hz^1.min^-1.s"},
      {"kg", "m.s^2", "kg/(m.s^2)", "Pa"},
      {"count/min", "s", "(count/min)/s", "count/min.s"},
      {"m", "s/kg", "m/(s/kg)", "kg.m/s"},
      {"degC", "min", "degC/min", "K/min"},
  };
  for (const Case& c : cases) {
    const Unit quotient = parsed(c.numerator).dividedBy(parsed(c.divisor));
    EXPECT_EQ(c.text, quotient.unitString());
    EXPECT_EQ(parsed(c.text), quotient) << c.text;
    EXPECT_EQ(parsed(c.sameAs), quotient) << c.text;
  }
  EXPECT_THROW(parsed("kg^127").dividedBy(parsed("kg^-127")), std::overflow_error);
}

}  // namespace
}  // namespace tarnwick::testing
