#include "shell/command_line.h"

#include <algorithm>

namespace tarnwick::shell {
CommandLine::CommandLine(int argc, char** argv) {
  arguments_.reserve(static_cast<std::size_t>(argc > 0 ? argc : 0));
  for (int i = 0; i < argc; ++i) arguments_.emplace_back(argv[i] ? argv[i] : "");
}

bool CommandLine::hasFlag(std::string_view flag) const {
  return std::find(arguments_.begin(), arguments_.end(), flag) != arguments_.end();
}

std::optional<std::string> CommandLine::flagValue(std::string_view flag) const {
  if (const std::string* value = flagArgument(flag)) return *value;
  return std::nullopt;
}

const std::string* CommandLine::flagArgument(std::string_view flag) const {
  auto found = std::find(arguments_.begin(), arguments_.end(), flag);
  if (found == arguments_.end() || std::next(found) == arguments_.end()) return nullptr;
  return &*std::next(found);
}

}  // namespace tarnwick::shell
