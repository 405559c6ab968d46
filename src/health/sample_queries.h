// The two questions the read side asks the store: the general sample query
// and the step total. Each builds the store's query and hands back the
// result or the store's error unchanged. Neither filters, retries nor times
// out.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "health/health_store.h"
#include "health/instant.h"
#include "health/object_types.h"
#include "health/samples.h"

namespace tarnwick::health {

// Every sample of `type`, of any date unless a predicate narrows it, sorted
// on the start date only (newest first when `descending`; ties in the
// store's order), at most `limit` of them (kObjectQueryNoLimit: all). No
// sample is an empty list. Throws the store's HealthStoreError.
std::vector<Sample> sampleQueryResults(HealthStore& store, const ObjectType& type, std::int64_t limit,
                                       bool descending, std::optional<SamplePredicate> predicate = std::nullopt);

// The cumulative sum, in `unit`, of the samples of `type` that start at or
// after `since` and before now (read from `clock` once, when the query is
// built). No statistics, or statistics without a sum, give 0. The store's
// "no data" error means exactly that the window is empty, so it gives 0 as
// well; every other store error is thrown unchanged.
double cumulativeSum(HealthStore& store, const ObjectType& type, const Unit& unit, Instant since, const Clock& clock);

}  // namespace tarnwick::health
