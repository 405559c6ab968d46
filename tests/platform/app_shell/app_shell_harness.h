// Running the built bridge and store tool against a store of the test's own,
// as a calling application and a person at the terminal would.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/bridge_process.h"
#include "support/temporary_directory.h"

namespace tarnwick::testing {

// A store that exists only for one test: XDG_DATA_HOME points into a fresh
// temporary directory.
class PrivateStore {
 public:
  const std::string& dataHome() const { return directory_.path(); }
  // Options for a run of the bridge or the tool on this store, with no
  // display unless display is given.
  ProcessOptions options(std::vector<std::string> arguments, const std::string& display = "") const;

  // `tarnwick-store COMMAND ARGUMENTS` on this store; fails the test when
  // the tool does not succeed. Returns its standard output.
  std::string tool(std::vector<std::string> arguments) const;

  // Each metric key's access as the tool reports it, e.g.
  // {"steps", "read=authorized write=not determined"}.
  std::map<std::string, std::string> permissions() const;

 private:
  TemporaryDirectory directory_;
};

// The permissions of a store nothing was ever decided in.
std::map<std::string, std::string> undecidedPermissions();

}  // namespace tarnwick::testing
