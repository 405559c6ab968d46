// The built bridge under address-space limits, as a caller on a constrained
// machine would run it: whatever the limit and the request, the process ends
// with one well-formed envelope and the exit status that matches it, never
// with a signal, and a write that failed recorded nothing.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "shell/output.h"
#include "support/sanitizers.h"
#include "support/store_home.h"

namespace tarnwick::testing {
namespace {

using nlohmann::json;

constexpr const char* kPrlimit = "/usr/bin/prlimit";
constexpr long long kMebibyte = 1024 * 1024;

// A "write" of count step items of about 145 bytes each: 200,000 of them
// make the 29 MB request of a year of minute-by-minute steps.
std::string stepsWriteRequest(int count) {
  std::string request = R"({"method":"write","sourceMode":"native","items":[)";
  request.reserve(static_cast<std::size_t>(count) * 150 + 64);
  for (int i = 0; i < count; ++i) {
    std::string start = std::to_string(1'600'000'000'000LL + i * 60'000LL);
    std::string end = std::to_string(1'600'000'000'000LL + i * 60'000LL + 59'000LL);
    if (i > 0) request += ',';
    request += R"({"id":"steps-)" + std::to_string(i) + R"(","type":"steps","label":"Steps","value":")" +
               std::to_string(i % 4000) + R"(","unit":"count","startDate":)" + start + R"(,"endDate":)" + end + "}";
  }
  return request + "]}";
}

enum class Expect { ok, outOfMemory, eitherEnvelope };

struct LimitCase {
  const char* name;
  long long addressSpaceBytes;
  int items;  // 0: a "status" request
  Expect expect;
};

class MemoryLimitTest : public ::testing::TestWithParam<LimitCase> {
 protected:
  void SetUp() override {
    if (kAddressSanitizer) GTEST_SKIP() << "AddressSanitizer needs more address space than these limits allow";
    if (::access(kPrlimit, X_OK) != 0) GTEST_SKIP() << "prlimit (util-linux) is not installed";
  }

  StoreHome home;
};

// One line of JSON holding one envelope whose ok matches the exit status.
void expectOneEnvelope(const ProcessResult& result) {
  ASSERT_FALSE(result.timedOut);
  ASSERT_EQ(result.terminatingSignal, 0) << "the bridge was ended by a signal";
  ASSERT_TRUE(result.exitStatus == 0 || result.exitStatus == 1) << result.exitStatus;
  const std::string& output = result.standardOutput;
  ASSERT_FALSE(output.empty());
  ASSERT_EQ(output.find('\n'), output.size() - 1) << "not exactly one line";
  std::optional<json> envelope;
  ASSERT_NO_THROW(envelope = json::parse(output)) << output.substr(0, 400);
  EXPECT_EQ((*envelope)["ok"], result.exitStatus == 0) << output.substr(0, 400);
  if (result.exitStatus == 1) {
    EXPECT_TRUE((*envelope)["error"]["code"].is_string()) << output.substr(0, 400);
    EXPECT_TRUE((*envelope)["error"]["message"].is_string()) << output.substr(0, 400);
  }
  EXPECT_EQ(result.standardError, "");
}

TEST_P(MemoryLimitTest, EveryRunEndsWithOneEnvelope) {
  const LimitCase& limit = GetParam();
  ASSERT_EQ(home.tool({"grant"}).exitStatus, 0);
  ProcessOptions options =
      home.options({"--as=" + std::to_string(limit.addressSpaceBytes), "--", builtProgram("tarnwick")},
                   limit.items > 0 ? stepsWriteRequest(limit.items) : R"({"method":"status","sourceMode":"native"})");
  options.timeoutSeconds = 300;
  ProcessResult result = runProcess(kPrlimit, options);

  expectOneEnvelope(result);
  if (limit.expect == Expect::ok) {
    EXPECT_EQ(result.exitStatus, 0) << result.standardOutput.substr(0, 400);
  }
  if (limit.expect == Expect::outOfMemory) {
    EXPECT_EQ(result.standardOutput, std::string(shell::kOutOfMemoryResponse) + "\n");
  }
  if (limit.items > 0 && result.exitStatus != 0) {
    EXPECT_EQ(home.toolOutput({"dump"}), "") << "a failed write recorded samples";
  }
}

// A write of 200,000 items that succeeds takes minutes and needs about
// 350 MB; these limits are all below that, where the request fails, so the
// large cases check how it fails. The small cases show that the limits leave
// ordinary requests working.
INSTANTIATE_TEST_SUITE_P(
    AddressSpaceLimits, MemoryLimitTest,
    ::testing::Values(LimitCase{"StatusUnder16MiB", 16 * kMebibyte, 0, Expect::eitherEnvelope},
                      LimitCase{"StatusUnder200000KiB", 200000 * 1024LL, 0, Expect::ok},
                      LimitCase{"SmallWriteUnder32MiB", 32 * kMebibyte, 10, Expect::eitherEnvelope},
                      LimitCase{"SmallWriteUnder200000KiB", 200000 * 1024LL, 10, Expect::ok},
                      LimitCase{"LargeWriteUnder48MiB", 48 * kMebibyte, 200'000, Expect::outOfMemory},
                      LimitCase{"LargeWriteUnder128MiB", 128 * kMebibyte, 200'000, Expect::eitherEnvelope},
                      LimitCase{"LargeWriteUnder200000KiB", 200000 * 1024LL, 200'000, Expect::eitherEnvelope},
                      LimitCase{"LargeWriteUnder256MiB", 256 * kMebibyte, 200'000, Expect::eitherEnvelope}),
    [](const ::testing::TestParamInfo<LimitCase>& info) { return std::string(info.param.name); });

// A "sync" over a year of history needs its memory in the store, where both
// SQLite and the store's own allocations run out: the answer is the same
// out-of-memory sentence as anywhere else, never the store's own failure.
TEST(MemoryLimitInStoreTest, RunningOutInsideTheStoreAnswersTheOutOfMemorySentence) {
  if (kAddressSanitizer) GTEST_SKIP() << "AddressSanitizer needs more address space than these limits allow";
  if (::access(kPrlimit, X_OK) != 0) GTEST_SKIP() << "prlimit (util-linux) is not installed";
  StoreHome home;
  ASSERT_EQ(home.tool({"generate", "--days", "365"}).exitStatus, 0);
  ASSERT_EQ(home.tool({"grant"}).exitStatus, 0);
  int outOfMemory = 0;
  for (long long limit : {24 * kMebibyte, 28 * kMebibyte, 32 * kMebibyte, 40 * kMebibyte}) {
    SCOPED_TRACE(limit / kMebibyte);
    ProcessResult result = runProcess(kPrlimit, home.options({"--as=" + std::to_string(limit), "--",
                                                              builtProgram("tarnwick")},
                                                             R"({"method":"sync","sourceMode":"native","since":0})"));
    expectOneEnvelope(result);
    if (result.exitStatus == 0) continue;
    EXPECT_EQ(result.standardOutput, std::string(shell::kOutOfMemoryResponse) + "\n");
    ++outOfMemory;
  }
  EXPECT_GT(outOfMemory, 0) << "no limit was tight enough to test anything";
}

}  // namespace
}  // namespace tarnwick::testing
