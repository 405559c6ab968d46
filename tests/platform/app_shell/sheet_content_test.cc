#include "platform/app_shell/sheet_content.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "health/object_types.h"

namespace tarnwick::testing {
namespace {

using platform::PermissionSheetAnswer;
using platform::PermissionSheetRequest;
using platform::app_shell::SheetContent;
using platform::app_shell::SheetRow;
using Outcome = PermissionSheetAnswer::Outcome;

health::ObjectType quantity(std::string_view identifier) {
  return {health::ObjectKind::quantity, std::string(identifier)};
}

std::vector<std::string> labels(const std::vector<SheetRow>& rows) {
  std::vector<std::string> result;
  for (const SheetRow& row : rows) result.push_back(row.label);
  return result;
}

TEST(SheetContentTest, RowsAreLabelledOncePerTypeInCatalogueOrder) {
  struct Case {
    const char* name;
    std::vector<health::ObjectType> types;
    std::vector<std::string> expectedLabels;
  };
  const health::ObjectType workout{health::ObjectKind::workout, std::string(health::kWorkoutTypeIdentifier)};
  const health::ObjectType sleep{health::ObjectKind::category, std::string(health::kSleepAnalysisIdentifier)};
  const std::vector<Case> cases = {
      {"empty", {}, {}},
      // The store hands over sets ordered by identifier: body mass before
      // step count. A person expects the catalogue's order.
      {"set order becomes catalogue order",
       {quantity(health::kBodyMassIdentifier), quantity(health::kStepCountIdentifier), sleep},
       {"Steps", "Sleep", "Weight"}},
      {"repeated type shown once",
       {quantity(health::kHeartRateIdentifier), quantity(health::kHeartRateIdentifier)},
       {"Heart Rate"}},
      {"all seven",
       {workout, quantity(health::kBloodGlucoseIdentifier), quantity(health::kBodyMassIdentifier),
        quantity(health::kHeartRateVariabilityIdentifier), quantity(health::kHeartRateIdentifier), sleep,
        quantity(health::kStepCountIdentifier)},
       {"Steps", "Sleep", "Heart Rate", "HRV", "Weight", "Glucose", "Training Load"}},
      {"unknown types keep their identifier and come last, in request order",
       {quantity("HKQuantityTypeIdentifierZeta"), quantity(health::kStepCountIdentifier),
        quantity("HKQuantityTypeIdentifierAlpha")},
       {"Steps", "HKQuantityTypeIdentifierZeta", "HKQuantityTypeIdentifierAlpha"}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    SheetContent content = platform::app_shell::sheetContentFor(PermissionSheetRequest{test.types, test.types});
    EXPECT_EQ(labels(content.readRows), test.expectedLabels);
    EXPECT_EQ(labels(content.shareRows), test.expectedLabels);
  }
}

TEST(SheetContentTest, WriteAndReadListsStaySeparate) {
  PermissionSheetRequest request;
  request.readTypes = {quantity(health::kStepCountIdentifier), quantity(health::kBodyMassIdentifier)};
  request.shareTypes = {quantity(health::kBodyMassIdentifier)};
  SheetContent content = platform::app_shell::sheetContentFor(request);
  EXPECT_EQ(content.applicationName, "Tarnwick");
  ASSERT_EQ(content.shareRows.size(), 1u);
  EXPECT_EQ(content.shareRows[0].identifier, health::kBodyMassIdentifier);
  EXPECT_EQ(labels(content.readRows), (std::vector<std::string>{"Steps", "Weight"}));
}

TEST(SheetContentTest, CompletedAnswerHoldsExactlyOneChoicePerRow) {
  const std::string steps(health::kStepCountIdentifier);
  const std::string weight(health::kBodyMassIdentifier);
  const std::string glucose(health::kBloodGlucoseIdentifier);
  SheetContent content;
  content.readRows = {{steps, "Steps"}, {weight, "Weight"}};
  content.shareRows = {{weight, "Weight"}};

  struct Case {
    const char* name;
    PermissionSheetAnswer given;
    std::map<std::string, bool> expectedRead;
    std::map<std::string, bool> expectedShare;
    std::optional<Outcome> expectedOutcome = std::nullopt;  // none: the given one
  };
  const std::vector<Case> cases = {
      {"allow with every switch reported", {Outcome::allow, {{steps, true}, {weight, false}}, {{weight, true}}},
       {{steps, true}, {weight, false}}, {{weight, true}}},
      {"a row the toolkit left out is off", {Outcome::allow, {{steps, true}}, {}},
       {{steps, true}, {weight, false}}, {{weight, false}}},
      {"one write switch is enough to allow", {Outcome::allow, {}, {{weight, true}}},
       {{steps, false}, {weight, false}}, {{weight, true}}},
      // "Authorized" never stands for nothing allowed: what is left is a
      // refusal of everything asked.
      {"allow with every switch off refuses", {Outcome::allow, {{steps, false}}, {{weight, false}}}, {}, {},
       Outcome::dontAllow},
      {"nothing can be granted that was not asked", {Outcome::allow, {{glucose, true}}, {{steps, true}}}, {}, {},
       Outcome::dontAllow},
      {"don't allow carries no choices", {Outcome::dontAllow, {{steps, true}}, {{weight, true}}}, {}, {}},
      {"dismissed carries no choices", {Outcome::dismissed, {{steps, true}}, {}}, {}, {}},
      {"failed carries only why", {Outcome::failed, {{steps, true}}, {}, "The display went away."}, {}, {}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    PermissionSheetAnswer completed = platform::app_shell::completedAnswer(content, test.given);
    EXPECT_EQ(completed.outcome, test.expectedOutcome.value_or(test.given.outcome));
    EXPECT_EQ(completed.readAllowed, test.expectedRead);
    EXPECT_EQ(completed.shareAllowed, test.expectedShare);
    EXPECT_EQ(completed.failure, test.given.failure);
  }
}

TEST(SheetContentTest, InvitationSaysWhatIsAskedAndHowToChangeItLater) {
  const SheetRow steps{std::string(health::kStepCountIdentifier), "Steps"};
  struct Case {
    std::vector<SheetRow> shareRows, readRows;
    const char* access;
  };
  for (const Case& test : {Case{{}, {steps}, "may read."}, Case{{steps}, {}, "may write."},
                           Case{{steps}, {steps}, "may write and read."}}) {
    std::string text = platform::app_shell::sheetInvitation(SheetContent{"Tarnwick", test.shareRows, test.readRows});
    EXPECT_NE(text.find(std::string("Turn on what Tarnwick ") + test.access), std::string::npos) << text;
    EXPECT_NE(text.find("\"tarnwick-store reset\""), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace tarnwick::testing
