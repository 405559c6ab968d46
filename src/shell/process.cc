#include "shell/process.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tarnwick::shell {

void prepareStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1) continue;
    // Read-only for all three: a response written to a closed standard
    // output must fail (and the status say so), not vanish into /dev/null.
    int opened = ::open("/dev/null", O_RDONLY);
    if (opened >= 0 && opened != fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
  int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (devNull >= 0) {
    ::dup2(devNull, STDERR_FILENO);
    if (devNull != STDERR_FILENO) ::close(devNull);
  }
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

void endProcess(int status) { ::_exit(status); }

}  // namespace tarnwick::shell
