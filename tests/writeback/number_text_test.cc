#include "writeback/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tarnwick::testing {
namespace {

using writeback::parseNumberText;

constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct NumberCase {
  std::string text;
  double expected;
};

class AcceptedNumberText : public ::testing::TestWithParam<NumberCase> {};

TEST_P(AcceptedNumberText, ParsesTheWholeText) {
  const NumberCase& c = GetParam();
  double parsed = parseNumberText(c.text).value_or(-1234.5);
  EXPECT_EQ(parsed, c.expected) << "text: '" << c.text << "'";
  EXPECT_EQ(std::signbit(parsed), std::signbit(c.expected)) << "text: '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(Decimal, AcceptedNumberText,
                         ::testing::Values(NumberCase{"72", 72}, NumberCase{"+1.5", 1.5}, NumberCase{"-2.25", -2.25},
                                           NumberCase{"1e3", 1000}, NumberCase{"1E+3", 1000},
                                           NumberCase{"2.5e-1", 0.25}, NumberCase{".5", 0.5},
                                           NumberCase{"5.", 5}, NumberCase{"007", 7}, NumberCase{"-0", -0.0},
                                           NumberCase{"0.1", 0.1},
                                           NumberCase{"1.7976931348623157e308", std::numeric_limits<double>::max()},
                                           NumberCase{"4.9406564584124654e-324",
                                                      std::numeric_limits<double>::denorm_min()}));

INSTANTIATE_TEST_SUITE_P(Hexadecimal, AcceptedNumberText,
                         ::testing::Values(NumberCase{"0x1p-2", 0.25}, NumberCase{"-0x1.8p1", -3},
                                           NumberCase{"0X1A", 26}, NumberCase{"0x1e5", 0x1e5},
                                           NumberCase{"+0x.8", 0.5}, NumberCase{"0xAp+0", 10},
                                           NumberCase{"0x1P3", 8}));

// Out of the double range: infinity above, zero below, each with its sign,
// whatever the digits before the exponent say.
INSTANTIATE_TEST_SUITE_P(OutOfRange, AcceptedNumberText,
                         ::testing::Values(NumberCase{"1e400", kInfinity}, NumberCase{"-1e400", -kInfinity},
                                           NumberCase{"1e-400", 0.0}, NumberCase{"-1e-400", -0.0},
                                           NumberCase{"0.00001e-320", 0.0},
                                           NumberCase{"123456e99999999999999999999999", kInfinity},
                                           NumberCase{std::string(400, '9') + "e-50", kInfinity},
                                           NumberCase{"0." + std::string(400, '0') + "1e50", 0.0},
                                           NumberCase{"0x1p99999", kInfinity}, NumberCase{"-0x1p-99999", -0.0},
                                           NumberCase{"0x0.0001p-1070", 0.0}));

INSTANTIATE_TEST_SUITE_P(Words, AcceptedNumberText,
                         ::testing::Values(NumberCase{"inf", kInfinity}, NumberCase{"INF", kInfinity},
                                           NumberCase{"-Infinity", -kInfinity}, NumberCase{"+iNfInItY", kInfinity}));

TEST(NumberTextTest, NotANumberInAnyLetterCase) {
  for (const char* text : {"nan", "NaN", "nAn", "-nan", "+NAN"}) {
    EXPECT_TRUE(std::isnan(parseNumberText(text).value_or(0))) << text;
  }
}

class RejectedNumberText : public ::testing::TestWithParam<std::string> {};

TEST_P(RejectedNumberText, GivesNothing) {
  EXPECT_EQ(parseNumberText(GetParam()), std::nullopt) << "text: '" << GetParam() << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Rejected, RejectedNumberText,
    ::testing::Values("", " 1", "\t1", "\n1", "\v1", "\f1", "\r1", "1 ", "1\n", "abc", "1,5", "1_000", "1e", "1e+",
                      "+", "-", ".", "+-1", "--1", "0x", "0x-1", "0x+1", "0xg", "0x1p", "0xinf", "0x0x1", "1.2.3",
                      "infinit", "infinityy", "nan(1)", "-nanx", "in f", "1e3f", "\xd9\xa3", std::string("1\0", 2)));

}  // namespace
}  // namespace tarnwick::testing
