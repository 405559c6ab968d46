// Request bytes to response bytes, in process: method matching, the status
// report, and how each kind of thrown error becomes an envelope.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "health/deferred_health_store.h"
#include "health/health_store.h"
#include "health/instant.h"
#include "protocol/json_codec.h"
#include "shell/bridge.h"
#include "support/fake_health_store.h"

namespace tarnwick::testing {
namespace {

using protocol::BridgeEnvelope;
using protocol::StatusData;

shell::EncodedResponse respondWith(std::string_view request, health::HealthStore& store) {
  return shell::respondToBytes(request, store, health::systemClock());
}

const std::string kSevenKeys = R"(["steps","sleep","heart_rate","hrv","weight","glucose","workout"])";

std::string nativeStatus(const std::string& sourceMode) {
  return R"({"ok":true,"data":{"available":true,"authorizationStatus":"not-determined","readableTypes":)" +
         kSevenKeys + R"(,"writableTypes":)" + kSevenKeys + R"(,"sourceMode":")" + sourceMode + R"("}})";
}

std::string importStatus(const std::string& sourceMode) {
  return R"({"ok":true,"data":{"available":false,"authorizationStatus":"import-only","readableTypes":[],)"
         R"("writableTypes":[],"sourceMode":")" +
         sourceMode + R"("}})";
}

std::string failure(const std::string& code, const std::string& message) {
  return encodeJsonText(BridgeEnvelope<StatusData>::failure(code, message));
}

struct DispatchCase {
  const char* name;
  std::string request;
  std::string response;
  bool ok;
};

std::vector<DispatchCase> dispatchCases() {
  return {
      {"LowerCase", R"({"method":"status","sourceMode":"native"})", nativeStatus("native"), true},
      {"UpperCase", R"({"method":"STATUS","sourceMode":"native"})", nativeStatus("native"), true},
      {"MixedCase", R"({"method":"Status","sourceMode":"native"})", nativeStatus("native"), true},
      {"SourceModeEchoedAsSent", R"({"method":"status","sourceMode":"Native"})", nativeStatus("Native"), true},
      {"SourceModeUpperCase", R"({"method":"status","sourceMode":"NATIVE"})", nativeStatus("NATIVE"), true},
      {"ImportOnly", R"({"method":"status","sourceMode":"import-only"})", importStatus("import-only"), true},
      {"Csv", R"({"method":"status","sourceMode":"csv"})", importStatus("csv"), true},
      {"EmptySourceMode", R"({"method":"status","sourceMode":""})", importStatus(""), true},
      {"PaddedSourceModeIsNotNative", R"({"method":"status","sourceMode":" native"})", importStatus(" native"),
       true},
      {"StatusIgnoresTheOtherKeys",
       R"({"method":"status","sourceMode":"native","sourceId":"x","readTypes":["steps"],"writeTypes":[],)"
       R"("since":5,"items":[{"id":"a","type":"b","label":"c","value":"d"}]})",
       nativeStatus("native"), true},
      {"UnknownMethodKeepsItsCase", R"({"method":"Query","sourceMode":"native"})",
       R"({"ok":false,"error":{"code":"INVALID_METHOD","message":"Unsupported bridge method: Query"}})", false},
      {"LeadingSpaceIsNotTrimmed", R"({"method":" status","sourceMode":"native"})",
       failure("INVALID_METHOD", "Unsupported bridge method:  status"), false},
      {"EmptyMethod", R"({"method":"","sourceMode":"native"})", failure("INVALID_METHOD", "Unsupported bridge method: "),
       false},
      {"NonAsciiLookalike", "{\"method\":\"\xC5\xBFtatus\",\"sourceMode\":\"native\"}",
       failure("INVALID_METHOD", "Unsupported bridge method: \xC5\xBFtatus"), false},
      {"MethodWithControlCharacter", R"({"method":"a\u0000b","sourceMode":"native"})",
       R"({"ok":false,"error":{"code":"INVALID_METHOD","message":"Unsupported bridge method: a\u0000b"}})", false},
      {"EmptyRequest", "", R"({"ok":false,"error":{"code":"BRIDGE_ERROR","message":"Missing request payload."}})",
       false},
      {"DecodingComesBeforeTheMethod", R"({"method":"Query"})",
       failure("SWIFT_ERROR", "The key 'sourceMode' is missing."), false},
      {"NotJson", "status", failure("SWIFT_ERROR", "The request is not valid JSON at line 1, column 1: invalid literal."),
       false},
      {"WriteOnImportConnection", R"({"method":"write","sourceMode":"csv","items":[]})",
       failure("BRIDGE_ERROR", "Writeback is only available for native Apple Health connections."), false},
  };
}

void PrintTo(const DispatchCase& c, std::ostream* out) { *out << c.name; }

class DispatchTest : public ::testing::TestWithParam<DispatchCase> {};

TEST_P(DispatchTest, AnswersWithTheExactEnvelope) {
  FakeHealthStore store;
  shell::EncodedResponse response = respondWith(GetParam().request, store);
  EXPECT_EQ(response.json, GetParam().response);
  EXPECT_EQ(response.ok, GetParam().ok);
}

INSTANTIATE_TEST_SUITE_P(Requests, DispatchTest, ::testing::ValuesIn(dispatchCases()),
                         [](const auto& info) { return std::string(info.param.name); });

class WithFakeStore : public ::testing::Test {
 protected:
  shell::EncodedResponse respondToBytes(std::string_view request) { return respondWith(request, store_); }
  FakeHealthStore store_;
};

// The bridge's store is made on its first call; making the local store can
// leave a database behind, so what needs no store must never call it.
TEST(Dispatch, StatusAndImportConnectionsNeverMakeTheStore) {
  struct Case {
    std::string request;
    bool makesStore;
  };
  const std::vector<Case> cases = {
      {R"({"method":"status","sourceMode":"native"})", false},
      {R"({"method":"status","sourceMode":"import"})", false},
      {R"({"method":"authorize","sourceMode":"import"})", false},
      {R"({"method":"sync","sourceMode":"import"})", false},
      {R"({"method":"write","sourceMode":"import","items":[{"id":"1","type":"steps","label":"l","value":"1"}]})", false},
      {R"({"method":"query","sourceMode":"native"})", false},
      {R"({"method":"sync","sourceMode":"native"})", true},
      {R"({"method":"authorize","sourceMode":"Native"})", true},
      {R"({"method":"write","sourceMode":"NATIVE","items":[{"id":"1","type":"steps","label":"l","value":"1"}]})", true},
  };
  for (const Case& c : cases) {
    bool made = false;
    health::DeferredHealthStore store([&made] {
      made = true;
      return std::make_unique<FakeHealthStore>();
    });
    respondWith(c.request, store);
    EXPECT_EQ(made, c.makesStore) << c.request;
  }
}

class NoonClock final : public health::Clock {
 public:
  health::Instant now() const override { return 1700000000; }
};

// Anything but "native" in some letter case is an import connection, which
// every method answers without its handler and without the store.
TEST(Dispatch, ImportConnectionsAreAnsweredWithoutTheStore) {
  const std::vector<std::pair<std::string, std::string>> answers = {
      {"status", R"({"ok":true,"data":{"available":false,"authorizationStatus":"import-only","readableTypes":[],)"
                 R"("writableTypes":[],"sourceMode":"MODE"}})"},
      {"authorize", R"({"ok":true,"data":{"granted":false,"authorizationStatus":"import-only","readableTypes":[],)"
                    R"("writableTypes":[],"sourceMode":"MODE"}})"},
      {"sync", R"({"ok":true,"data":{"permissions":{"read":false,"write":false},"readableTypes":[],)"
               R"("writableTypes":[],"metrics":[],"records":[],"sourceMode":"import","lastSyncedAt":1700000000000}})"},
      {"write", failure("BRIDGE_ERROR", "Writeback is only available for native Apple Health connections.")},
  };
  for (const char* mode : {"import-only", "", "IMPORT", "nativ", " native", "native ", "Native2"}) {
    for (const auto& [method, answer] : answers) {
      bool made = false;
      health::DeferredHealthStore store([&made] {
        made = true;
        return std::make_unique<FakeHealthStore>();
      });
      std::string request = R"({"method":")" + method + R"(","sourceMode":")" + mode +
                            R"(","readTypes":["steps"],"items":[{"id":"1","type":"steps","label":"l","value":"1"}]})";
      std::string expected = answer;
      if (auto at = expected.find("MODE"); at != std::string::npos) expected.replace(at, 4, mode);
      EXPECT_EQ(shell::respondToBytes(request, store, NoonClock()).json, expected) << request;
      EXPECT_FALSE(made) << request;
    }
  }
}

TEST_F(WithFakeStore, AStoreErrorIsPassedOnWordForWord) {
  const std::string description = "Protected health data is inaccessible because the device is locked.";
  for (auto call : {StoreCall::statisticsQuery, StoreCall::sampleQuery}) {
    store_.scriptNext(call, {health::HealthStoreError(health::HealthErrorCode::databaseInaccessible, description)});
  }
  shell::EncodedResponse response = respondToBytes(R"({"method":"SYNC","sourceMode":"native"})");
  EXPECT_EQ(response.json, failure("SWIFT_ERROR", description));
  EXPECT_FALSE(response.ok);
}

TEST_F(WithFakeStore, AStoreErrorWithAStrayByteStillReachesTheCaller) {
  for (auto call : {StoreCall::statisticsQuery, StoreCall::sampleQuery}) {
    store_.scriptNext(call, {health::HealthStoreError(health::HealthErrorCode::databaseInaccessible, "bad \xFF")});
  }
  shell::EncodedResponse response = respondToBytes(R"({"method":"sync","sourceMode":"native"})");
  EXPECT_EQ(response.json, R"({"ok":false,"error":{"code":"SWIFT_ERROR","message":"bad \\xFF"}})");
}

TEST_F(WithFakeStore, EveryMethodAnswersWithOneOfTheTwoShapes) {
  for (const char* method : {"status", "authorize", "sync", "write"}) {
    for (const char* mode : {"native", "import"}) {
      std::string request = std::string(R"({"method":")") + method + R"(","sourceMode":")" + mode +
                            R"(","items":[{"id":"1","type":"steps","label":"Steps","value":"12",)"
                            R"("startDate":1700000000000,"endDate":1700000060000}]})";
      shell::EncodedResponse response = respondToBytes(request);
      nlohmann::json envelope = nlohmann::json::parse(response.json);
      ASSERT_TRUE(envelope.is_object()) << response.json;
      EXPECT_EQ(envelope.value("ok", !response.ok), response.ok) << response.json;
      if (response.ok) {
        EXPECT_EQ(envelope.size(), 2u) << response.json;
        EXPECT_TRUE(envelope["data"].is_object()) << response.json;
      } else {
        EXPECT_EQ(envelope.size(), 2u) << response.json;
        EXPECT_EQ(envelope["error"].size(), 2u) << response.json;
        EXPECT_TRUE(envelope["error"]["code"].is_string() && envelope["error"]["message"].is_string());
      }
    }
  }
}

}  // namespace
}  // namespace tarnwick::testing
