// Process-level housekeeping: the standard descriptors at start and the one
// way the process ends.
#pragma once

namespace tarnwick::shell {

// Makes descriptors 0, 1 and 2 safe before anything opens a file: a closed
// one is reopened on /dev/null (so no store file can land on descriptor 1 and
// receive the response), standard error is pointed at /dev/null (nothing the
// bridge or a library might print reaches the caller), and SIGPIPE is
// ignored (a reader that went away costs the write, not the exit status).
void prepareStandardStreams();

// Ends the process at once with status, from whichever thread calls it. No
// static destructors run, so nothing is torn down under other threads.
[[noreturn]] void endProcess(int status);

}  // namespace tarnwick::shell
