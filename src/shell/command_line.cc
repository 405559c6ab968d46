#include "shell/command_line.h"

#include <algorithm>

#include "tarnwick_version.h"

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

std::optional<std::string> informationRequested(const CommandLine& commandLine) {
  const std::vector<std::string>& arguments = commandLine.arguments();
  if (arguments.size() != 2) return std::nullopt;
  if (arguments[1] == kVersionFlag) return "tarnwick " + std::string(kVersion) + "\n";
  if (arguments[1] != kHelpFlag) return std::nullopt;
  return "Usage: tarnwick [--request-file PATH] [--response-file PATH] [--appkit]\n"
         "       tarnwick --help | --version\n"
         "\n"
         "Answers one JSON request (\"status\", \"authorize\", \"sync\" or \"write\") against the\n"
         "health store and exits: 0 when the response has \"ok\" true, 1 otherwise.\n"
         "\n"
         "  --request-file PATH   read the request from PATH, not standard input\n"
         "  --response-file PATH  write the response to PATH, not standard output\n"
         "  --appkit              run inside a desktop application, so that \"authorize\"\n"
         "                        can show the permission sheet (needs a display)\n"
         "\n"
         "Example: echo '{\"method\":\"status\",\"sourceMode\":\"native\"}' | tarnwick\n"
         "See tarnwick(1) for the request and response, tarnwick-store(1) for the local store.\n";
}

}  // namespace tarnwick::shell
