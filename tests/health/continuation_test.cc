#include "health/continuation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "health/health_store.h"

namespace tarnwick::testing {
namespace {

using health::Continuation;
using health::ContinuationMisuse;
using health::HealthErrorCode;
using health::HealthStoreError;

TEST(Continuation, WaitBlocksUntilAnotherThreadResumes) {
  std::atomic<bool> resumed{false};
  std::thread store;
  int value = health::withContinuation<int>("answer", [&](Continuation<int> continuation) {
    store = std::thread([continuation, &resumed] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      resumed = true;
      continuation.resume(42);
    });
  });
  EXPECT_TRUE(resumed);
  EXPECT_EQ(value, 42);
  store.join();
}

TEST(Continuation, ResumedBeforeWaitingStillDelivers) {
  Continuation<std::string> continuation("early");
  continuation.resume("done");
  EXPECT_EQ(continuation.wait(), "done");
}

TEST(Continuation, ErrorIsRethrownUnchanged) {
  Continuation<int> continuation("failing");
  continuation.resumeThrowing(std::make_exception_ptr(
      HealthStoreError(HealthErrorCode::databaseInaccessible, "The store cannot be read.")));
  try {
    continuation.wait();
    FAIL() << "no error thrown";
  } catch (const HealthStoreError& error) {
    EXPECT_EQ(error.code(), 6);
    EXPECT_EQ(error.domain(), health::kHealthErrorDomain);
    EXPECT_STREQ(error.what(), "The store cannot be read.");
  }
}

TEST(Continuation, SecondResumeIsMisuseAndKeepsTheFirstOutcome) {
  Continuation<int> continuation("twice");
  continuation.resume(1);
  EXPECT_THROW(continuation.resume(2), ContinuationMisuse);
  EXPECT_THROW(continuation.resumeThrowing(std::make_exception_ptr(std::runtime_error("late"))),
               ContinuationMisuse);
  EXPECT_EQ(continuation.wait(), 1);
}

TEST(Continuation, MisuseNamesTheLabel) {
  Continuation<int> continuation("sampleQueryResults(for:limit:descending:)");
  continuation.resumeThrowing(std::make_exception_ptr(std::runtime_error("first")));
  try {
    continuation.resume(0);
    FAIL() << "second resume accepted";
  } catch (const ContinuationMisuse& misuse) {
    EXPECT_NE(std::string(misuse.what()).find("sampleQueryResults(for:limit:descending:)"), std::string::npos);
  }
}

}  // namespace
}  // namespace tarnwick::testing
