// One request from end to end: decode, dispatch on the method, answer.
#pragma once

#include <string_view>

#include "shell/command_line.h"
#include "shell/output.h"

namespace tarnwick::shell {

// Answers request bytes already in memory and returns the response that emit
// would write (the fuzzer's and the tests' entry). Never throws: every
// failure becomes a failure envelope.
EncodedResponse respondToBytes(std::string_view requestBytes);

// Reads the request the command line names, answers it and ends the process
// inside emit. Runs on a worker thread; never returns and never throws.
[[noreturn]] void runBridge();

}  // namespace tarnwick::shell
