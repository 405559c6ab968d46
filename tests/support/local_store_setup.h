// Setting up a local store's file for a test the way tarnwick-store does:
// samples added under a source name, permission decisions, source priority,
// and everything stored read back. Each call opens the file, acts in one
// transaction and closes it again, so a store open on the same file sees the
// change at its next call. Like the tool, these bypass the permission rules.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "health/samples.h"
#include "platform/local_store/permission_records.h"

namespace tarnwick::testing {

using Access = platform::local_store::Access;

class LocalStoreSetup {
 public:
  // The store at `path`; the file (and its folder) is created by the first
  // call that needs it.
  explicit LocalStoreSetup(std::string path) : path_(std::move(path)) {}

  // Stores `sample` as coming from `source`. Throws HealthStoreError when
  // the store would refuse the sample, as the tool refuses such a line.
  void add(health::Sample sample, const std::string& source) const;
  // Records read and/or share access of the types; a missing value keeps
  // what is stored.
  void setAccess(const std::vector<std::string>& typeIdentifiers, std::optional<Access> read,
                 std::optional<Access> share) const;
  // Moves the named sources to the top of the priority list, in this order.
  void prefer(const std::vector<std::string>& sources) const;
  // Every sample stored, ordered by start, then insertion.
  std::vector<health::Sample> samples() const;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace tarnwick::testing
