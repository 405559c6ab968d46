// Finding and reading the one request.
#pragma once

#include "protocol/records.h"
#include "shell/command_line.h"

namespace tarnwick::shell {

inline constexpr const char* kMissingRequestPayload = "Missing request payload.";

// Reads the file named by "--request-file", else standard input to its end,
// and decodes it. Throws BridgeRuntimeError.invalidRequest for zero bytes,
// RequestReadError when the bytes cannot be read and RequestDecodeError when
// they are not a valid request.
protocol::BridgeRequest decodeRequest(const CommandLine& commandLine);

// Decodes request bytes already read: zero bytes is the missing payload.
protocol::BridgeRequest decodeRequestBytes(std::string_view bytes);

}  // namespace tarnwick::shell
