#include "health/sample_queries.h"

#include <optional>
#include <string>
#include <utility>

#include "health/units.h"

namespace tarnwick::health {

std::vector<Sample> sampleQueryResults(HealthStore& store, const ObjectType& type, std::int64_t limit,
                                       bool descending, std::optional<SamplePredicate> predicate) {
  return store.executeSampleQuery(
      {type, std::move(predicate), limit, {SortDescriptor{std::string(kSampleSortIdentifierStartDate), !descending}}});
}

double cumulativeSum(HealthStore& store, const ObjectType& type, const Unit& unit, Instant since, const Clock& clock) {
  StatisticsQuery query{type, SamplePredicate{since, clock.now(), kQueryOptionStrictStartDate},
                        kStatisticsOptionCumulativeSum};
  std::optional<Statistics> statistics;
  try {
    statistics = store.executeStatisticsQuery(std::move(query));
  } catch (const HealthStoreError& error) {
    // The store answers an empty window with "no data" rather than a zero
    // sum; that is no failure of the read, only an empty total.
    if (!error.is(HealthErrorCode::noData)) throw;
  }
  if (!statistics || !statistics->sumQuantity) return 0;
  return statistics->sumQuantity->doubleValueForUnit(unit);
}

}  // namespace tarnwick::health
