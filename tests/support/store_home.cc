#include "support/store_home.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarnwick::testing {
namespace {

// Debian's sqlite3 package (scripts/setup installs it).
constexpr const char* kSqliteShell = "/usr/bin/sqlite3";

}  // namespace

StoreHome::StoreHome() : path_(directory_.path()) {}

StoreHome::StoreHome(const std::string& folder) : path_(directory_.file(folder)) {}

ProcessOptions StoreHome::options(std::vector<std::string> arguments, std::optional<std::string> standardInput) const {
  ProcessOptions options;
  options.arguments = std::move(arguments);
  options.standardInput = std::move(standardInput);
  options.environment["XDG_DATA_HOME"] = path_;
  // A display would let "--appkit" show the sheet; tests that want one say so.
  options.unsetEnvironment = {"DISPLAY", "WAYLAND_DISPLAY"};
  return options;
}

ProcessResult StoreHome::bridge(std::optional<std::string> request, std::vector<std::string> arguments) const {
  return runProcess(builtProgram("tarnwick"), options(std::move(arguments), std::move(request)));
}

ProcessResult StoreHome::tool(std::vector<std::string> arguments, std::optional<std::string> input) const {
  return runProcess(builtProgram("tarnwick-store"), options(std::move(arguments), std::move(input)));
}

std::string StoreHome::toolOutput(std::vector<std::string> arguments, std::optional<std::string> input) const {
  ProcessResult result = tool(std::move(arguments), std::move(input));
  EXPECT_EQ(result.exitStatus, 0) << result.standardError;
  return result.standardOutput;
}

ProcessResult StoreHome::sqlite(const std::string& statements) const {
  ProcessOptions options;
  options.arguments = {storePath()};
  options.standardInput = statements;
  return runProcess(kSqliteShell, options);
}

bool StoreHome::hasSqliteShell() { return std::filesystem::exists(kSqliteShell); }

}  // namespace tarnwick::testing
