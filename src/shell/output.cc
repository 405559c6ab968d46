#include "shell/output.h"

#include <unistd.h>

#include "shell/file_io.h"
#include "shell/process.h"

namespace tarnwick::shell {

std::optional<std::string> responseOutputPath(const CommandLine& commandLine) {
  return commandLine.flagValue(kResponseFileFlag);
}

void deliverResponse(const EncodedResponse& response, const CommandLine& commandLine) {
  if (std::optional<std::string> path = responseOutputPath(commandLine)) {
    // A response file that cannot be written leaves no trace anywhere: the
    // caller learns from the exit status and the missing file.
    (void)writeWholeFile(*path, response.json);
    return;
  }
  if (writeAll(STDOUT_FILENO, response.json)) (void)writeAll(STDOUT_FILENO, "\n");
}

void emitEncoded(const EncodedResponse& response, const CommandLine& commandLine) {
  deliverResponse(response, commandLine);
  endProcess(response.ok ? 0 : 1);
}

}  // namespace tarnwick::shell
