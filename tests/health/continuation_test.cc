#include "health/continuation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "health/health_store.h"

namespace tarnwick::testing {
namespace {

using health::Continuation;

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

TEST(Continuation, ErrorIsRethrownUnchanged) {
  Continuation<int> continuation("failing");
  continuation.resumeThrowing(std::make_exception_ptr(
      health::HealthStoreError(health::HealthErrorCode::databaseInaccessible, "The store cannot be read.")));
  try {
    continuation.wait();
    FAIL() << "no error thrown";
  } catch (const health::HealthStoreError& error) {
    EXPECT_EQ(error.code(), 6);
    EXPECT_STREQ(error.what(), "The store cannot be read.");
  }
}

TEST(Continuation, SecondResumeIsMisuseAndKeepsTheFirstOutcome) {
  Continuation<int> continuation("twice");
  continuation.resume(1);
  EXPECT_THROW(continuation.resume(2), health::ContinuationMisuse);
  EXPECT_THROW(continuation.resumeThrowing(std::make_exception_ptr(std::runtime_error("late"))),
               health::ContinuationMisuse);
  EXPECT_EQ(continuation.wait(), 1);
}

}  // namespace
}  // namespace tarnwick::testing
