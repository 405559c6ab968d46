#include "virtual_display.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tarnwick::testing {

std::string findOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream directories(path ? path : "/usr/bin:/bin");
  std::string directory;
  while (std::getline(directories, directory, ':')) {
    std::string candidate = directory + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

VirtualDisplay::VirtualDisplay() {
  std::string xvfb = findOnPath("Xvfb");
  if (xvfb.empty()) return;
  // Xvfb chooses a free display number and writes it here once it accepts
  // connections, which is both the number and the readiness signal.
  int ready[2];
  if (::pipe(ready) != 0) return;
  server_ = ::fork();
  if (server_ < 0) return;
  if (server_ == 0) {
    int quiet = ::open("/dev/null", O_RDWR);
    ::dup2(quiet, 0);
    ::dup2(quiet, 1);
    ::dup2(quiet, 2);
    ::close(ready[0]);
    std::string fd = std::to_string(ready[1]);
    ::execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24", "-nolisten", "tcp",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(ready[1]);
  std::string number;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd waiting{ready[0], POLLIN, 0};
    if (::poll(&waiting, 1, 500) <= 0) continue;
    char buffer[32];
    ssize_t got = ::read(ready[0], buffer, sizeof buffer);
    if (got <= 0) break;
    number.append(buffer, static_cast<size_t>(got));
    if (number.find('\n') != std::string::npos) break;
  }
  ::close(ready[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
  if (number.empty()) return;
  name_ = ":" + number;
}

void VirtualDisplay::kill() {
  if (server_ <= 0) return;
  ::kill(server_, SIGKILL);
  int status = 0;
  ::waitpid(server_, &status, 0);
  server_ = -1;
}

VirtualDisplay::~VirtualDisplay() {
  if (server_ <= 0) return;
  ::kill(server_, SIGTERM);
  int status = 0;
  ::waitpid(server_, &status, 0);
}

}  // namespace tarnwick::testing
