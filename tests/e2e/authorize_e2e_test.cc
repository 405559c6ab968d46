// "authorize" through the built programs on a local store in a fresh data
// directory: a store where everything is decided answers at once, and one
// that would need the permission sheet fails plainly in direct mode.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "support/store_home.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

class AuthorizeEndToEndTest : public ::testing::Test {
 protected:
  ProcessResult authorize(const json& request) const { return home.bridge(request.dump()); }

  std::string permissions() const { return home.toolOutput({"permissions"}); }

  StoreHome home;
};

TEST_F(AuthorizeEndToEndTest, ADecidedStoreAnswersAtOnceWithSuccess) {
  // Decided either way: like the platform, the store reports success even
  // for types the person refused.
  for (const char* decision : {"grant", "deny"}) {
    ASSERT_EQ(home.tool({decision}).exitStatus, 0);
    auto started = std::chrono::steady_clock::now();
    ProcessResult result =
        authorize({{"method", "authorize"}, {"sourceMode", "Native"}, {"readTypes", {"steps", "nope"}}});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(result.exitStatus, 0) << decision;
    EXPECT_EQ(result.standardOutput,
              R"({"ok":true,"data":{"granted":true,"authorizationStatus":"authorized",)"
              R"("readableTypes":["steps","nope"],)"
              R"("writableTypes":["steps","sleep","heart_rate","hrv","weight","glucose","workout"],)"
              R"("sourceMode":"Native"}})"
              "\n");
  }
}

TEST_F(AuthorizeEndToEndTest, AnUndecidedTypeInDirectModeFailsAndRecordsNothing) {
  ASSERT_EQ(home.tool({"grant", "steps"}).exitStatus, 0);
  std::string before = permissions();
  ProcessResult result =
      authorize({{"method", "authorize"}, {"sourceMode", "native"}, {"readTypes", {"steps"}}, {"writeTypes", {"weight"}}});
  EXPECT_EQ(result.exitStatus, 1);
  json error = json::parse(result.standardOutput)["error"];
  EXPECT_EQ(error["code"], "SWIFT_ERROR");
  EXPECT_NE(error["message"].get<std::string>().find("--appkit"), std::string::npos) << error;
  EXPECT_EQ(result.standardError, "");
  EXPECT_EQ(permissions(), before);
}

TEST_F(AuthorizeEndToEndTest, AnswersWithoutAStoreWhenNothingCanBeAsked) {
  struct Case {
    json request;
    std::string expected;
  };
  const Case cases[] = {
      {{{"method", "authorize"}, {"sourceMode", "import-only"}, {"readTypes", {"steps"}}},
       R"({"ok":true,"data":{"granted":false,"authorizationStatus":"import-only","readableTypes":[],)"
       R"("writableTypes":[],"sourceMode":"import-only"}})"},
      {{{"method", "authorize"}, {"sourceMode", "native"}, {"readTypes", json::array()}, {"writeTypes", {"Steps"}}},
       R"({"ok":true,"data":{"granted":false,"authorizationStatus":"not-determined","readableTypes":[],)"
       R"("writableTypes":["Steps"],"sourceMode":"native"}})"},
  };
  for (const Case& c : cases) {
    ProcessResult result = authorize(c.request);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.standardOutput, c.expected + "\n");
  }
  EXPECT_TRUE(std::filesystem::is_empty(home.path()));
}

}  // namespace
}  // namespace tarnwick::testing
