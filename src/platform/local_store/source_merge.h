// How a cumulative sum counts samples of several sources that record the
// same hours (a watch and a phone both counting steps): the higher-priority
// source wins wherever both have samples, so a walk is not counted twice.
#pragma once

#include <vector>

#include "health/instant.h"

namespace tarnwick::platform::local_store {

// One sample as the merge sees it: its interval, its amount in the type's
// unit, and its source's rank (0 is the highest priority).
struct RankedAmount {
  health::Instant start = 0;
  health::Instant end = 0;
  double amount = 0;
  int rank = 0;
};

// The sum of the amounts with sources taken from the highest priority down:
// a sample counts for the share of its interval that samples of
// higher-ranked sources do not cover, in proportion to its duration; a
// sample without duration counts in full unless such a sample covers its
// instant (start <= t < end). Samples of one rank never reduce each other.
double mergedSourceSum(std::vector<RankedAmount> samples);

}  // namespace tarnwick::platform::local_store
