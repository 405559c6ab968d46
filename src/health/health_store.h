// The interface the bridge uses to reach the person's health store. It is
// shaped like the platform calls the bridge makes (type look-ups, queries,
// the permission request, the save) so that the platform's store, the local
// SQLite store and the test fake can all stand behind it; the
// bridge never knows which one it has.
//
// Every call that reports through a handler calls it exactly once, on a
// thread the store owns (never the caller's, never before the call returns
// when the caller holds a lock it needs). An error delivered to a handler
// wins over any value delivered with it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "health/instant.h"
#include "health/object_types.h"
#include "health/samples.h"
#include "health/units.h"

namespace tarnwick::health {

inline constexpr std::string_view kHealthErrorDomain = "com.apple.healthkit";

// The source name of every sample the bridge saves. A type whose read access
// was denied still shows the bridge the samples of this source.
inline constexpr std::string_view kBridgeSourceName = "Tarnwick";

// The platform's error codes in kHealthErrorDomain.
enum class HealthErrorCode : int {
  healthDataUnavailable = 1,
  healthDataRestricted = 2,
  invalidArgument = 3,
  authorizationDenied = 4,
  authorizationNotDetermined = 5,
  databaseInaccessible = 6,
  userCanceled = 7,
  noData = 11,
  dataSizeExceeded = 13,
};

// An error the store reports. what() is the store's human-readable
// description, passed to the caller unchanged.
class HealthStoreError : public std::runtime_error {
 public:
  HealthStoreError(HealthErrorCode code, const std::string& description,
                   std::string domain = std::string(kHealthErrorDomain))
      : std::runtime_error(description), domain_(std::move(domain)), code_(static_cast<int>(code)) {}
  HealthStoreError(std::string domain, int code, const std::string& description)
      : std::runtime_error(description), domain_(std::move(domain)), code_(code) {}

  const std::string& domain() const { return domain_; }
  int code() const { return code_; }
  bool is(HealthErrorCode code) const { return domain_ == kHealthErrorDomain && code_ == static_cast<int>(code); }

 private:
  std::string domain_;
  int code_;
};

// ---- Query descriptions ---------------------------------------------------

inline constexpr std::string_view kSampleSortIdentifierStartDate = "startDate";
inline constexpr std::string_view kSampleSortIdentifierEndDate = "endDate";

// A limit of zero asks for every matching sample.
inline constexpr std::int64_t kObjectQueryNoLimit = 0;

struct SortDescriptor {
  std::string key;
  bool ascending = true;
};

// Bit options of a sample predicate.
enum QueryOptions : unsigned {
  kQueryOptionNone = 0,
  kQueryOptionStrictStartDate = 1,  // sample start within [start, end)
  kQueryOptionStrictEndDate = 2,    // sample end before the window end
};

// Samples in a time window (predicateForSamplesWithStartDate:endDate:options:).
// Without options a sample matches when it ends at or after the start and
// starts before the end. A missing bound is no bound.
struct SamplePredicate {
  std::optional<Instant> startDate;
  std::optional<Instant> endDate;
  unsigned options = kQueryOptionNone;
};

struct SampleQuery {
  ObjectType sampleType;
  std::optional<SamplePredicate> predicate;  // none: every sample of the type
  std::int64_t limit = kObjectQueryNoLimit;
  std::vector<SortDescriptor> sortDescriptors;
};

// Bit options of a statistics query.
enum StatisticsOptions : unsigned {
  kStatisticsOptionNone = 0,
  kStatisticsOptionCumulativeSum = 16,
};

struct StatisticsQuery {
  ObjectType quantityType;
  std::optional<SamplePredicate> predicate;
  unsigned options = kStatisticsOptionNone;
};

struct Statistics {
  ObjectType quantityType;
  std::optional<Instant> startDate;
  std::optional<Instant> endDate;
  std::optional<Quantity> sumQuantity;  // present when a sum was asked for and computed
};

// Handlers. `results` or `statistics` may be missing with or without an
// error; an error present wins over anything delivered with it.
using SampleQueryHandler =
    std::function<void(std::optional<std::vector<Sample>> results, std::optional<HealthStoreError> error)>;
using StatisticsHandler =
    std::function<void(std::optional<Statistics> statistics, std::optional<HealthStoreError> error)>;
using CompletionHandler = std::function<void(bool success, std::optional<HealthStoreError> error)>;

// ---- The store -------------------------------------------------------------

class HealthStore {
 public:
  virtual ~HealthStore() = default;

  // The quantity type with a platform identifier, or nothing when the store
  // does not know it. Never fails.
  virtual std::optional<ObjectType> quantityTypeForIdentifier(std::string_view identifier) = 0;

  // The category type with a platform identifier, or nothing. Never fails.
  virtual std::optional<ObjectType> categoryTypeForIdentifier(std::string_view identifier) = 0;

  // The workout type; always exists.
  virtual ObjectType workoutType() = 0;

  // The unit a text names, or nothing when the text is not a unit. Never
  // fails and never raises, whatever the text.
  virtual std::optional<Unit> unitFromString(std::string_view text) = 0;

  // Runs a sample query. The handler receives the matching samples sorted by
  // the descriptors (ties in a stable order), at most `limit` of them, or an
  // error: "Authorization not determined" (code 5) for a type whose read
  // access was never decided, a store failure (code 6) when the store cannot
  // be read. A type whose read access was denied reads as if it held only the
  // samples this application saved. No match is an empty list, not an error.
  virtual void executeSampleQuery(SampleQuery query, SampleQueryHandler handler) = 0;

  // Runs a statistics query over the quantity samples the predicate matches.
  // With the cumulative-sum option the statistics carry the sum in the
  // type's unit. No matching sample gives no statistics and the "no data"
  // error (code 11, "No data available for the specified predicate.").
  // Errors otherwise as for sample queries.
  virtual void executeStatisticsQuery(StatisticsQuery query, StatisticsHandler handler) = 0;

  // Asks the person for permission to save `shareTypes` and to read
  // `readTypes`. When every type has been decided already the handler runs at
  // once with success and nothing is shown; otherwise the store's permission
  // sheet decides. success false without an error means the request was
  // refused or dismissed; an error means it could not be made.
  virtual void requestAuthorization(std::set<ObjectType> shareTypes, std::set<ObjectType> readTypes,
                                    CompletionHandler handler) = 0;

  // Saves every object or none. The handler runs once the save is durable.
  // Errors: "Not authorized" (code 4) when saving any object's type was
  // denied, "Authorization not determined" (code 5) when it was never
  // decided, invalid argument (code 3) for an object that does not fit its
  // type, a store failure (code 6) when the store cannot be written.
  virtual void saveObjects(std::vector<Sample> objects, CompletionHandler handler) = 0;
};

}  // namespace tarnwick::health
