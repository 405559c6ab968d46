// A data home of a test's own: the programs run through it get
// XDG_DATA_HOME pointing into a fresh temporary directory, so they share one
// store that no other test sees.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "support/process_runner.h"
#include "support/temporary_directory.h"

namespace tarnwick::testing {

class StoreHome {
 public:
  // The data home is the temporary directory itself.
  StoreHome();
  // The data home is `folder` inside the temporary directory, not yet made.
  explicit StoreHome(const std::string& folder);

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // The store file the programs use here.
  std::string storePath() const { return file("tarnwick/health.sqlite3"); }

  // Options for a run on this store with no display in the environment.
  ProcessOptions options(std::vector<std::string> arguments = {},
                         std::optional<std::string> standardInput = std::nullopt) const;

  // The bridge with request on standard input (none: input closed).
  ProcessResult bridge(std::optional<std::string> request, std::vector<std::string> arguments = {}) const;

  // tarnwick-store with arguments and, when given, standard input.
  ProcessResult tool(std::vector<std::string> arguments, std::optional<std::string> input = std::nullopt) const;

  // tarnwick-store's standard output; fails the test unless it exited 0.
  std::string toolOutput(std::vector<std::string> arguments, std::optional<std::string> input = std::nullopt) const;

  // The sqlite3 shell on the store file, running statements: the store as
  // an older version or a hand edit left it. Skip the test first when
  // hasSqliteShell() is false.
  ProcessResult sqlite(const std::string& statements) const;
  static bool hasSqliteShell();

 private:
  TemporaryDirectory directory_;
  std::string path_;
};

}  // namespace tarnwick::testing
