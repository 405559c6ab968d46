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
  if (const std::string* path = responseOutputPath(commandLine)) {
    // A response file that cannot be written leaves no trace anywhere: the
    // caller learns from the exit status and the missing file.
    (void)writeWholeFile(*path, text);
  } else if (writeAll(STDOUT_FILENO, text)) {
    (void)writeAll(STDOUT_FILENO, "\n");
  }
  endProcess(ok ? 0 : 1);
}

}  // namespace detail

void emitOutOfMemory(const CommandLine& commandLine) noexcept {
  detail::writeResponseAndEnd(kOutOfMemoryResponse, false, commandLine);
}
}  // namespace tarnwick::shell
