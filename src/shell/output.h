// Writing the one response and ending the process.
#pragma once

#include <optional>
#include <string>

#include "protocol/error_codes.h"
#include "protocol/json_codec.h"
#include "protocol/records.h"
#include "shell/command_line.h"

namespace tarnwick::shell {

// A response ready to leave: its bytes, and the `ok` of the envelope it came
// from (which decides the exit status even when encoding failed).
struct EncodedResponse {
  std::string json;
  bool ok = false;
};

// Encodes an envelope; a failure to encode gives the fixed ENCODE_FAILED text
// and keeps the envelope's ok.
template <class Payload>
EncodedResponse encodeEnvelope(const protocol::BridgeEnvelope<Payload>& envelope) {
  try {
    return {protocol::encodeJsonText(envelope), envelope.ok};
  } catch (...) {
    return {std::string(protocol::kEncodeFailedResponse), envelope.ok};
  }
}

// The path after "--response-file", or nothing.
std::optional<std::string> responseOutputPath(const CommandLine& commandLine);

// Writes the response to the response file (no line feed; a failed write is
// ignored) or to standard output followed by one line feed.
void deliverResponse(const EncodedResponse& response, const CommandLine& commandLine);

// Writes the response and ends the process with status 0 for ok, else 1.
[[noreturn]] void emitEncoded(const EncodedResponse& response, const CommandLine& commandLine);

template <class Payload>
[[noreturn]] void emit(const protocol::BridgeEnvelope<Payload>& envelope, const CommandLine& commandLine) {
  emitEncoded(encodeEnvelope(envelope), commandLine);
}

}  // namespace tarnwick::shell
