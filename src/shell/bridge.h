// One request from end to end: decode, dispatch on the method, answer.
#pragma once

#include <string_view>

#include "health/health_store.h"
#include "health/instant.h"
#include "platform/permission_sheet.h"
#include "shell/command_line.h"
#include "shell/output.h"

namespace tarnwick::shell {

// Answers request bytes already in memory with store and clock, and returns
// the response that emit would write (the fuzzer's and the tests' entry).
// Never throws: every failure becomes a failure envelope.
EncodedResponse respondToBytes(std::string_view requestBytes, health::HealthStore& store, const health::Clock& clock);

// Reads the request commandLine names, answers it and ends the process inside
// emit. The handlers get the system clock and the process's one store, the
// platform's, made with `sheet` on the first call that needs it, so that a
// request which needs none never makes it. Runs on a worker thread;
// commandLine must outlive the process. Never returns and never throws.
[[noreturn]] void runBridge(const CommandLine& commandLine, platform::PermissionSheetOffer sheet);

}  // namespace tarnwick::shell
