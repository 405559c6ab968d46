// Feeds arbitrary bytes to the request-to-response path, in process and
// without ending it, and stops at the first response that is not exactly one
// envelope of the two shapes (or the fixed encode-failure text).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "health/instant.h"
#include "protocol/envelope_shape.h"
#include "shell/bridge.h"
#include "support/fake_health_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarnwick;
  // One store for the whole run, made by the first input in a memory-backed
  // folder: a store per input would create a database file per input. What
  // earlier inputs saved stays in it; no response's shape depends on that.
  static testing::FakeHealthStore store;
  shell::EncodedResponse response = shell::respondToBytes(std::string_view(reinterpret_cast<const char*>(data), size),
                                                          store, health::systemClock());

  if (protocol::envelopeShapeProblem(response.json)) __builtin_trap();
  // The exit status follows ok; the bytes must say the same, unless they are
  // the encode-failure text, which keeps the envelope's own ok.
  bool saysOk = response.json.starts_with(R"({"ok":true,)");
  if (response.json != protocol::kEncodeFailedResponse && saysOk != response.ok) __builtin_trap();
  return 0;
}
