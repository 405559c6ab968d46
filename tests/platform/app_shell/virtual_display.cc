#include "virtual_display.h"

#include <csignal>

namespace tarnwick::testing {

VirtualDisplay::VirtualDisplay() {
  std::string xvfb = findOnPath("Xvfb");
  if (xvfb.empty()) return;
  ProcessOptions options;
  options.arguments = {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp"};
  server_ = std::make_unique<StartedProcess>(xvfb, options);
  // Xvfb chooses a free display number and writes it on its standard output
  // once it accepts connections: both the number and the readiness signal.
  std::string number = server_->readLine(std::chrono::seconds(30));
  if (!number.empty()) name_ = ":" + number;
}

void VirtualDisplay::kill() {
  if (server_) server_->stop(SIGKILL);
}

VirtualDisplay::~VirtualDisplay() {
  // Asked to end, Xvfb removes its lock file, which a killed server leaves.
  if (server_) server_->stop(SIGTERM);
}

}  // namespace tarnwick::testing
