#include "app_shell_harness.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tarnwick::testing {

ProcessOptions PrivateStore::options(std::vector<std::string> arguments, const std::string& display) const {
  ProcessOptions options;
  options.arguments = std::move(arguments);
  options.environment["XDG_DATA_HOME"] = dataHome();
  options.unsetEnvironment = {"WAYLAND_DISPLAY", "DISPLAY"};
  if (!display.empty()) options.environment["DISPLAY"] = display;
  return options;
}

std::string PrivateStore::tool(std::vector<std::string> arguments) const {
  ProcessResult result = runProcess(TARNWICK_STORE_TOOL, options(std::move(arguments)));
  EXPECT_EQ(result.exitStatus, 0) << result.standardError;
  return result.standardOutput;
}

std::map<std::string, std::string> PrivateStore::permissions() const {
  std::map<std::string, std::string> table;
  std::istringstream lines(tool({"permissions"}));
  std::string line;
  while (std::getline(lines, line)) {
    size_t space = line.find(' ');
    if (space != std::string::npos) table[line.substr(0, space)] = line.substr(space + 1);
  }
  return table;
}

std::map<std::string, std::string> undecidedPermissions() {
  std::map<std::string, std::string> table;
  for (const char* key : {"steps", "sleep", "heart_rate", "hrv", "weight", "glucose", "workout"}) {
    table[key] = "read=not determined write=not determined";
  }
  return table;
}

}  // namespace tarnwick::testing
