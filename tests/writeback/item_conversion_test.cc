#include "writeback/item_conversion.h"

#include <gtest/gtest.h>

#include <variant>

namespace tarnwick::testing {
namespace {

class FixedClock final : public health::Clock {
 public:
  health::Instant now() const override { return 1'800'000'000; }
};

// A category or workout item becomes what its row says, whatever the
// catalogue's own rows are: another category metric would not be sleep.
TEST(ItemConversion, TheRowDecidesTypeAndStoredValue) {
  const health::MetricEntry mood{"mood",
                                 "Mood",
                                 "",
                                 health::ObjectType{health::ObjectKind::category, "HKCategoryTypeIdentifierMood"},
                                 health::MetricReader::categoryMinutes,
                                 std::nullopt,
                                 health::CategoryRule{"mood", 0, 9, 7}};
  protocol::WritebackItem item;
  item.id = "m-1";
  item.type = "mood";
  item.startDate = 1'799'990'000'000;
  item.endDate = 1'799'993'000'000;
  auto converted = writeback::convertItem(mood, item, FixedClock());
  const health::Sample* sample = std::get_if<health::Sample>(&converted);
  ASSERT_TRUE(sample);
  EXPECT_EQ(sample->type, mood.type);
  ASSERT_TRUE(sample->asCategorySample());
  EXPECT_EQ(sample->asCategorySample()->value, 7);
  EXPECT_EQ(sample->startDate, 1'799'990'000);
  EXPECT_EQ(sample->endDate, 1'799'993'000);
}

}  // namespace
}  // namespace tarnwick::testing
