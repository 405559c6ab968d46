// Samples in the store's file: adding them (with the sync-identifier rule),
// reading them back for a query, summing them. No permission checks here:
// the store applies those, and the companion tool deliberately bypasses
// them. Quantities are kept in their type's canonical unit.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "health/health_store.h"
#include "platform/local_store/database.h"

namespace tarnwick::platform::local_store {

// Adds samples through statements prepared once, so that adding millions in
// one transaction costs no re-parsing. Call inside a WriteTransaction.
class SampleWriter {
 public:
  explicit SampleWriter(Database& database);

  // Stores the sample under its own sourceName, which joins the bottom of
  // the source priority list on its first sample. A sample whose sync
  // identifier is already stored for its type with the same or a greater
  // sync version is not stored (returns false); with a smaller one the
  // stored sample is replaced. Expects a sample validateSample accepted.
  // Throws HealthStoreError when the file cannot be written.
  bool add(const health::Sample& sample);

 private:
  Statement insert_;
  Statement findSynced_;
  Statement remove_;
  Statement registerSource_;
  // Sources already on the list: one look-up per source, not per sample.
  std::set<std::string, std::less<>> registered_;
};

// The samples of a query's type that its predicate matches, leaving out
// quantities beyond their type's bound (largestStoredValue), sorted by its
// descriptors with ties in insertion order (a descending sort is the exact
// reverse of the ascending one), at most `limit` (0: all). With
// `onlySource` only that source's samples. Throws HealthStoreError (code 3
// for a sort key the store does not know).
std::vector<health::Sample> selectSamples(Database& database, const health::SampleQuery& query,
                                          std::optional<std::string_view> onlySource);

// The SQL text selectSamples and sumSamples run for a query; exposed so
// that tests can check the query plans use the index.
std::string sampleQuerySql(const health::SampleQuery& query, bool onlySource);
std::string sumQuerySql(const std::optional<health::SamplePredicate>& predicate, bool onlySource);

// The number of matching quantity samples and the sum of their values in
// the type's canonical unit, sources merged by their priority (see
// mergedSourceSum). Stored values beyond the type's bound are left out, as
// by selectSamples.
struct SampleSum {
  std::int64_t count = 0;
  double sum = 0;
};
SampleSum sumSamples(Database& database, std::string_view typeIdentifier,
                     const std::optional<health::SamplePredicate>& predicate,
                     std::optional<std::string_view> onlySource);

// Every sample in the store, ordered by start date, then insertion.
std::vector<health::Sample> allSamples(Database& database);

}  // namespace tarnwick::platform::local_store
