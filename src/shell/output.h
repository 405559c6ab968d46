// Writing the one response and ending the process. Every response the
// process gives leaves through emit.
#pragma once

#include <algorithm>
#include <array>
#include <new>
#include <string>
#include <string_view>

#include "protocol/error_codes.h"
#include "protocol/json_codec.h"
#include "protocol/out_of_memory.h"
#include "protocol/records.h"
#include "shell/command_line.h"

namespace tarnwick::shell {

// The answer to a request that needed more memory than the process may use.
inline constexpr std::string_view kOutOfMemoryMessage = protocol::kOutOfMemoryMessage;

namespace detail {

// True when text may stand inside a JSON string as it is: printable ASCII
// without a quote or a backslash, which the encoder writes unchanged.
constexpr bool needsNoJsonEscape(std::string_view text) {
  for (char c : text) {
    if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') return false;
  }
  return true;
}

// The failure envelope of code and message as the encoder writes it, joined
// at compile time so that it can be written without allocating.
template <const std::string_view& code, const std::string_view& message>
constexpr auto encodedFailure() {
  static_assert(needsNoJsonEscape(code) && needsNoJsonEscape(message));
  constexpr std::string_view kHead = R"({"ok":false,"error":{"code":")";
  constexpr std::string_view kMiddle = R"(","message":")";
  constexpr std::string_view kTail = R"("}})";
  std::array<char, kHead.size() + code.size() + kMiddle.size() + message.size() + kTail.size()> text{};
  auto out = text.begin();
  for (std::string_view part : {kHead, code, kMiddle, message, kTail}) out = std::copy(part.begin(), part.end(), out);
  return text;
}

inline constexpr auto kOutOfMemoryResponseText = encodedFailure<protocol::kSwiftErrorCode, kOutOfMemoryMessage>();

}  // namespace detail

// The same answer as finished response text, written when not even its
// encoding can be allocated.
inline constexpr std::string_view kOutOfMemoryResponse{detail::kOutOfMemoryResponseText.data(),
                                                       detail::kOutOfMemoryResponseText.size()};

// A response as text, for callers that keep it (the fuzzer, tests): its
// bytes, and whether the process would end with status 0.
struct EncodedResponse {
  std::string json;
  bool ok = false;
};

// The response text emit writes for envelope, and the envelope's ok: a value
// JSON cannot carry gives the fixed ENCODE_FAILED text (ok kept), running out
// of memory gives kOutOfMemoryResponse (not ok).
template <class Payload>
EncodedResponse encodeEnvelope(const protocol::BridgeEnvelope<Payload>& envelope) {
  try {
    return {protocol::encodeJsonText(envelope), envelope.ok};
  } catch (const std::bad_alloc&) {
    return {std::string(kOutOfMemoryResponse), false};
  } catch (...) {
    return {std::string(protocol::kEncodeFailedResponse), envelope.ok};
  }
}

// The path after "--response-file", or nullptr. Allocates nothing.
const std::string* responseOutputPath(const CommandLine& commandLine);

namespace detail {
// emit's last step: writes text to the response file (no line feed; see
// writeWholeFile) or to standard output followed by one line feed, then ends
// the process with status 0 when ok and every byte was written, else 1.
// Allocates nothing.
[[noreturn]] void writeResponseAndEnd(std::string_view text, bool ok, const CommandLine& commandLine);
}  // namespace detail

// Encodes envelope, writes it where the command line says and ends the
// process with the status that matches what was written (see
// encodeEnvelope), or 1 when it could not be written whole. Never returns, never throws, and when memory runs out
// still writes the out-of-memory response.
template <class Payload>
[[noreturn]] void emit(const protocol::BridgeEnvelope<Payload>& envelope, const CommandLine& commandLine) noexcept {
  // Not through encodeEnvelope: its fallback texts would need memory too.
  std::string encoded;
  std::string_view text;
  bool ok = envelope.ok;
  try {
    encoded = protocol::encodeJsonText(envelope);
    text = encoded;
  } catch (const std::bad_alloc&) {
    text = kOutOfMemoryResponse;
    ok = false;
  } catch (...) {
    text = protocol::kEncodeFailedResponse;
  }
  detail::writeResponseAndEnd(text, ok, commandLine);
}

// Writes kOutOfMemoryResponse as emit would and ends the process with status
// 1. Allocates nothing.
[[noreturn]] void emitOutOfMemory(const CommandLine& commandLine) noexcept;

}  // namespace tarnwick::shell
