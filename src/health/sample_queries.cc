#include "health/sample_queries.h"

#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "health/continuation.h"
#include "health/units.h"

namespace tarnwick::health {

std::vector<Sample> sampleQueryResults(HealthStore& store, const ObjectType& type, std::int64_t limit,
                                       bool descending, std::optional<SamplePredicate> predicate) {
  SampleQuery query{type, std::move(predicate), limit, {SortDescriptor{std::string(kSampleSortIdentifierStartDate), !descending}}};
  return withContinuation<std::vector<Sample>>(
      "sampleQueryResults(for:limit:descending:)", [&](Continuation<std::vector<Sample>> continuation) {
        // The handler runs on a store thread: it only resumes the waiter.
        store.executeSampleQuery(std::move(query), [continuation](std::optional<std::vector<Sample>> results,
                                                                  std::optional<HealthStoreError> error) {
          if (error) {
            continuation.resumeThrowing(std::make_exception_ptr(std::move(*error)));
          } else {
            continuation.resume(results ? std::move(*results) : std::vector<Sample>{});
          }
        });
      });
}

double cumulativeStepCount(HealthStore& store, const ObjectType& stepType, Instant since) {
  StatisticsQuery query{stepType, SamplePredicate{since, currentInstant(), kQueryOptionStrictStartDate},
                        kStatisticsOptionCumulativeSum};
  std::optional<Statistics> statistics = withContinuation<std::optional<Statistics>>(
      "aggregatedSteps(since:)", [&](Continuation<std::optional<Statistics>> continuation) {
        store.executeStatisticsQuery(std::move(query), [continuation](std::optional<Statistics> delivered,
                                                                      std::optional<HealthStoreError> error) {
          // The store answers an empty window with "no data" rather than a
          // zero sum; that is no failure of the read, only an empty total.
          if (error && error->is(HealthErrorCode::noData)) {
            continuation.resume(std::nullopt);
          } else if (error) {
            continuation.resumeThrowing(std::make_exception_ptr(std::move(*error)));
          } else {
            continuation.resume(std::move(delivered));
          }
        });
      });
  if (!statistics || !statistics->sumQuantity) return 0;
  return statistics->sumQuantity->doubleValueForUnit(Unit::count());
}

}  // namespace tarnwick::health
