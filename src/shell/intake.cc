#include "shell/intake.h"

#include <unistd.h>

#include "protocol/bridge_runtime_error.h"
#include "protocol/json_codec.h"
#include "shell/file_io.h"

namespace tarnwick::shell {

protocol::BridgeRequest decodeRequestBytes(std::string_view bytes) {
  if (bytes.empty()) throw protocol::BridgeRuntimeError::invalidRequest(kMissingRequestPayload);
  return protocol::decodeRequestText(bytes);
}

protocol::BridgeRequest decodeRequest(const CommandLine& commandLine) {
  std::optional<std::string> path = commandLine.flagValue(kRequestFileFlag);
  std::string bytes = path ? readWholeFile(*path) : readToEnd(STDIN_FILENO);
  return decodeRequestBytes(bytes);
}

}  // namespace tarnwick::shell
