// Running the built bridge and tool against a store chosen through the
// environment, as people and calling applications run them.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/bridge_process.h"

namespace tarnwick::testing {

inline ProcessResult runBuilt(const std::string& program, std::vector<std::string> arguments,
                              const std::map<std::string, std::string>& environment,
                              std::optional<std::string> standardInput = std::nullopt) {
  ProcessOptions options;
  options.arguments = std::move(arguments);
  options.standardInput = std::move(standardInput);
  options.environment = environment;
  return runProcess(builtProgram(program), options);
}

}  // namespace tarnwick::testing
