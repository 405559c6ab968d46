// The sources list: every source that has written to the store, in the
// order the person trusts them. Cumulative sums count overlapping samples
// of the higher-priority source (see mergedSourceSum).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/local_store/database.h"

namespace tarnwick::platform::local_store {

struct SourceEntry {
  std::string name;
  std::int64_t sampleCount = 0;
};

// The sources, highest priority first, each with how many samples it holds;
// a source whose samples were added past SampleWriter (by hand) comes last.
std::vector<SourceEntry> sourcesByPriority(Database& database);

// Moves the named sources to the top in the order given; the rest keep
// their order below them. Throws HealthStoreError (code 3) naming a source
// the store does not know, and changes nothing then. Runs inside the
// caller's transaction, if any.
void preferSources(Database& database, const std::vector<std::string>& names);

}  // namespace tarnwick::platform::local_store
