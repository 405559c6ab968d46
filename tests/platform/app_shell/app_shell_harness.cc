#include "app_shell_harness.h"

#include <sstream>

namespace tarnwick::testing {

std::map<std::string, std::string> permissions(const StoreHome& home) {
  std::map<std::string, std::string> table;
  std::istringstream lines(home.toolOutput({"permissions"}));
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
