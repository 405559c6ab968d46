// The X server ending at any moment of an "--appkit" run, from before the
// toolkit starts to after the answer: every run still answers one envelope
// and ends by itself, never by a signal. TARNWICK_LOST_DISPLAY_ROUNDS sets
// the number of rounds for a longer campaign (the seed is printed, and
// TARNWICK_LOST_DISPLAY_SEED replays it).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <thread>

#include "support/store_home.h"
#include "virtual_display.h"

namespace tarnwick::testing {
namespace {

unsigned environmentNumber(const char* name, unsigned fallback) {
  const char* value = std::getenv(name);
  return value && *value ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : fallback;
}

TEST(LostDisplayTest, EveryRunAnswersOneEnvelopeWheneverTheServerEnds) {
#ifndef TARNWICK_DESKTOP_MODULE
  GTEST_SKIP() << "the desktop module was not built (GTK 4 development files missing)";
#endif
  if (findOnPath("Xvfb").empty()) GTEST_SKIP() << "Xvfb is not installed";
  const unsigned rounds = environmentNumber("TARNWICK_LOST_DISPLAY_ROUNDS", 8);
  const unsigned seed = environmentNumber("TARNWICK_LOST_DISPLAY_SEED", std::random_device{}());
  std::cout << "[ seed     ] TARNWICK_LOST_DISPLAY_SEED=" << seed << '\n';
  std::mt19937 random(seed);
  // Up to well past a "status" answer, which with the toolkit's start-up
  // takes a few hundred milliseconds; "authorize" waits for the sheet, which
  // only the server's end answers.
  std::uniform_int_distribution<int> killAfterMicroseconds(0, 900'000);
  const char* requests[] = {
      R"({"method":"status","sourceMode":"native"})",
      R"({"method":"authorize","sourceMode":"native","readTypes":["steps"]})",
      R"({"method":"sync","sourceMode":"native"})",
      R"({"method":"write","sourceMode":"native","items":[{"id":"s","type":"steps","label":"Steps","value":"5"}]})",
  };

  StoreHome home;
  ASSERT_EQ(home.tool({"grant", "sleep", "heart_rate", "hrv", "weight", "glucose", "workout"}).exitStatus, 0);
  int envelopes = 0, signals = 0;
  for (unsigned round = 0; round < rounds; ++round) {
    VirtualDisplay display;
    ASSERT_TRUE(display.running());
    ProcessOptions options = home.options({"--appkit"}, requests[round % std::size(requests)]);
    options.environment["DISPLAY"] = display.name();
    options.timeoutSeconds = 60;
    auto run = std::async(std::launch::async, [options] { return runProcess(builtProgram("tarnwick"), options); });
    std::this_thread::sleep_for(std::chrono::microseconds(killAfterMicroseconds(random)));
    display.kill();
    ProcessResult result = run.get();
    SCOPED_TRACE("round " + std::to_string(round) + ": " + options.standardInput.value_or(""));
    signals += result.terminatingSignal != 0;
    EXPECT_EQ(result.terminatingSignal, 0);
    EXPECT_FALSE(result.timedOut);
    nlohmann::json envelope = nlohmann::json::parse(result.standardOutput, nullptr, false);
    bool answered = envelope.is_object() && result.exitStatus != -1 &&
                    (result.exitStatus == 0) == envelope.value("ok", false);
    envelopes += answered;
    EXPECT_TRUE(answered) << "status " << result.exitStatus << ", output " << result.standardOutput;
    EXPECT_EQ(result.standardError, "");
  }
  std::cout << "[ displays ] " << rounds << " rounds, " << envelopes << " envelopes, " << signals
            << " ended by a signal\n";
}

}  // namespace
}  // namespace tarnwick::testing
