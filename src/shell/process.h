// Process-level housekeeping: the standard descriptors at start and the one
// way the process ends.
#pragma once

namespace tarnwick::shell {

// Makes descriptors 0, 1 and 2 safe before anything opens a file: a closed
// one is reopened read-only on /dev/null (so no store file can land on
// descriptor 1 and receive the response, and a response written there fails
// as it would have on the closed descriptor), standard error is pointed at
// /dev/null (nothing the bridge or a library might print reaches the
// caller), and SIGPIPE and SIGXFSZ are ignored (a reader that went away,
// or a file-size limit, makes the write fail and the exit status or the
// store's error say so, rather than killing the process).
void prepareStandardStreams();

// Ends the process at once with status, from whichever thread calls it. No
// static destructors run, so nothing is torn down under other threads.
[[noreturn]] void endProcess(int status);

}  // namespace tarnwick::shell
