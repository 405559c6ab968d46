// The argument list and the flag rules: a flag is a whole, case-sensitive
// argument; its value is the next argument, taken verbatim; only the first
// occurrence counts.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::shell {

inline constexpr std::string_view kRequestFileFlag = "--request-file";
inline constexpr std::string_view kResponseFileFlag = "--response-file";
inline constexpr std::string_view kAppShellFlag = "--appkit";
inline constexpr std::string_view kHelpFlag = "--help";
inline constexpr std::string_view kVersionFlag = "--version";

class CommandLine {
 public:
  CommandLine() = default;
  explicit CommandLine(std::vector<std::string> arguments) : arguments_(std::move(arguments)) {}
  CommandLine(int argc, char** argv);

  // True when any argument, the program's own path included, equals flag.
  bool hasFlag(std::string_view flag) const;

  // The argument after the first one that equals flag; nothing when the flag
  // is absent or is the last argument.
  std::optional<std::string> flagValue(std::string_view flag) const;

  // The same argument in place, or nullptr. Allocates nothing, so that the
  // response can be written when no memory is left.
  const std::string* flagArgument(std::string_view flag) const;

  const std::vector<std::string>& arguments() const { return arguments_; }

 private:
  std::vector<std::string> arguments_;
};

// What the program prints instead of answering a request when a person asks
// for it: the usage for "--help" and the version for "--version", each only
// as the sole argument. Every other argument list gets nothing, so a caller's
// run, whatever else it passes, still has the response as its only output.
std::optional<std::string> informationRequested(const CommandLine& commandLine);

}  // namespace tarnwick::shell
