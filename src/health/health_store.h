// The interface the bridge uses to reach the person's health store: the
// platform calls it makes (queries, the permission request, the save), so
// that the platform's store, the local SQLite store and the test fake can
// all stand behind it; the bridge never knows which one it has.
//
// Every call runs on the caller's thread and returns its value or throws
// HealthStoreError; a store whose platform answers through callbacks waits
// for them itself. Types and units are no store's business: they need none.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
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

// ---- The store -------------------------------------------------------------

class HealthStore {
 public:
  virtual ~HealthStore() = default;

  // The samples a query matches, sorted by its descriptors (ties in a stable
  // order), at most `limit` of them. No match is an empty list, not an
  // error. A type whose read access was denied reads as if it held only the
  // samples this application saved. Throws HealthStoreError: "Authorization
  // not determined" (code 5) for a type whose read access was never decided,
  // invalid argument (code 3) for a query the store cannot run, a store
  // failure (code 6) when the store cannot be read.
  virtual std::vector<Sample> executeSampleQuery(SampleQuery query) = 0;

  // Statistics over the quantity samples the predicate matches; with the
  // cumulative-sum option they carry the sum in the type's unit. Nothing
  // when the store computed no statistics. No matching sample is not an
  // empty result: as on the platform it throws the "no data" error (code 11,
  // "No data available for the specified predicate."), which a caller that
  // reads an empty window as zero catches. Throws otherwise as for sample
  // queries.
  virtual std::optional<Statistics> executeStatisticsQuery(StatisticsQuery query) = 0;

  // Asks the person for permission to save `shareTypes` and to read
  // `readTypes`, and returns once they have answered: true when they did,
  // false when the request was refused or dismissed. When every type has
  // been decided already it returns true at once and nothing is shown;
  // otherwise the store's permission sheet decides, so the caller must not
  // be the thread that shows it. Throws HealthStoreError when the request
  // cannot be made (no type, an unknown type, no sheet, a store failure).
  virtual bool requestAuthorization(std::set<ObjectType> shareTypes, std::set<ObjectType> readTypes) = 0;

  // Saves every object or none and returns once the save is durable: true,
  // or false when the store declined without saying why (the platform's
  // completion can say only that). Throws HealthStoreError: "Not
  // authorized" (code 4) when saving any object's type was denied,
  // "Authorization not determined" (code 5) when it was never decided,
  // invalid argument (code 3) for an object that does not fit its type, a
  // store failure (code 6) when the store cannot be written.
  virtual bool saveObjects(std::vector<Sample> objects) = 0;
};

// A store that hands every call to target(), so that a store which changes
// a few calls (a double, a store made later, one that cannot be reached)
// overrides just those.
class HealthStoreWrapper : public HealthStore {
 public:
  std::vector<Sample> executeSampleQuery(SampleQuery query) override {
    return target().executeSampleQuery(std::move(query));
  }
  std::optional<Statistics> executeStatisticsQuery(StatisticsQuery query) override {
    return target().executeStatisticsQuery(std::move(query));
  }
  bool requestAuthorization(std::set<ObjectType> shareTypes, std::set<ObjectType> readTypes) override {
    return target().requestAuthorization(std::move(shareTypes), std::move(readTypes));
  }
  bool saveObjects(std::vector<Sample> objects) override { return target().saveObjects(std::move(objects)); }

 protected:
  // The store the calls go to; may throw, which then fails the call.
  virtual HealthStore& target() = 0;
};

}  // namespace tarnwick::health
