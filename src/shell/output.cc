#include "shell/output.h"

#include <unistd.h>

#include "shell/file_io.h"
#include "shell/process.h"

namespace tarnwick::shell {

const std::string* responseOutputPath(const CommandLine& commandLine) {
  return commandLine.flagArgument(kResponseFileFlag);
}

namespace detail {

void writeResponseAndEnd(std::string_view text, bool ok, const CommandLine& commandLine) {
  // A caller that trusts the status must not read an answer that is not
  // there: whatever did not arrive whole ends the process with status 1.
  bool delivered;
  if (const std::string* path = responseOutputPath(commandLine)) {
    delivered = writeWholeFile(*path, text);
  } else {
    delivered = writeAll(STDOUT_FILENO, text) && writeAll(STDOUT_FILENO, "\n");
  }
  endProcess(ok && delivered ? 0 : 1);
}

}  // namespace detail

void emitOutOfMemory(const CommandLine& commandLine) noexcept {
  detail::writeResponseAndEnd(kOutOfMemoryResponse, false, commandLine);
}
}  // namespace tarnwick::shell
