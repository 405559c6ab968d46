// One request from end to end: decode, dispatch on the method, answer.
#pragma once

#include <string_view>

#include "shell/command_line.h"
#include "shell/output.h"

namespace tarnwick::shell {

// Reads the request the command line names and answers it. Never throws:
// every failure becomes a failure envelope.
EncodedResponse respond(const CommandLine& commandLine);

// The same for request bytes already in memory (the fuzzer's entry).
EncodedResponse respondToBytes(std::string_view requestBytes);

// Answers the process's request and ends the process inside emit. Runs on a
// worker thread; never returns.
[[noreturn]] void runBridge();

}  // namespace tarnwick::shell
