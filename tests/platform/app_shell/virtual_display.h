// A private X server for tests that show windows: Xvfb on a display number
// it picks itself, stopped when the object goes.
#pragma once

#include <memory>
#include <string>

#include "support/process_runner.h"

namespace tarnwick::testing {

class VirtualDisplay {
 public:
  // Starts Xvfb (1280x800, 24 bits) and waits until it accepts clients.
  // running() is false when Xvfb is not installed or did not start.
  VirtualDisplay();
  ~VirtualDisplay();
  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  bool running() const { return !name_.empty(); }
  // ":N", the value for DISPLAY.
  const std::string& name() const { return name_; }

  // Ends the server at once, as a crash would: every client loses its
  // connection. name() stays as it was.
  void kill();

 private:
  std::unique_ptr<StartedProcess> server_;
  std::string name_;
};

}  // namespace tarnwick::testing
