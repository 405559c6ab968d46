#include "platform/local_store/sample_records.h"

#include <climits>

#include <nlohmann/json.hpp>

#include "platform/local_store/metadata_json.h"
#include "platform/local_store/source_merge.h"
#include "platform/local_store/stored_types.h"

namespace tarnwick::platform::local_store {
namespace {

constexpr std::string_view kColumns =
    "SELECT id, type, start, end, value, category, activity, duration, energy, distance, source, metadata "
    "FROM samples";

std::optional<std::string> metadataText(const health::Metadata& metadata) {
  if (metadata.empty()) return std::nullopt;
  return metadataToJson(metadata).dump();
}

health::Metadata metadataFromText(const std::string& text) {
  return metadataFromJson(nlohmann::json::parse(text, nullptr, false));
}

std::optional<std::string> syncIdentifier(const health::Sample& sample) {
  auto found = sample.metadata.find(health::kMetadataKeySyncIdentifier);
  if (found == sample.metadata.end()) return std::nullopt;
  if (const auto* text = std::get_if<std::string>(&found->second)) return *text;
  return std::nullopt;
}

double syncVersion(const health::Sample& sample) {
  auto found = sample.metadata.find(health::kMetadataKeySyncVersion);
  if (found == sample.metadata.end()) return 0;
  if (const auto* number = std::get_if<double>(&found->second)) return *number;
  return 0;
}

// Reads rows of kColumns into samples. Units are built once per type rather
// than once per row: a query may return years of sleep stages.
class RowReader {
 public:
  health::Sample read(const Statement& row) {
    std::string identifier = row.columnText(1).value_or("");
    if (identifier != cachedIdentifier_) {
      cachedIdentifier_ = identifier;
      cachedType_ = objectTypeFor(identifier).value_or(health::ObjectType{health::ObjectKind::quantity, identifier});
      cachedUnit_ = canonicalUnit(identifier);
    }
    health::Sample sample;
    sample.type = cachedType_;
    sample.startDate = row.columnDouble(2);
    sample.endDate = row.columnDouble(3);
    switch (cachedType_.kind) {
      case health::ObjectKind::quantity:
        sample.value = health::QuantitySampleValue{health::Quantity(*cachedUnit_, row.columnDouble(4))};
        break;
      case health::ObjectKind::category:
        sample.value = health::CategorySampleValue{static_cast<int>(row.columnInt(5))};
        break;
      case health::ObjectKind::workout: {
        health::WorkoutValue workout{static_cast<int>(row.columnInt(6)), row.columnDouble(7), std::nullopt,
                                     std::nullopt};
        if (!row.isNull(8)) workout.totalEnergyBurned = health::Quantity(health::Unit::kilocalorie(), row.columnDouble(8));
        if (!row.isNull(9)) workout.totalDistance = health::Quantity(health::Unit::meter(), row.columnDouble(9));
        sample.value = std::move(workout);
        break;
      }
    }
    sample.sourceName = row.columnText(10).value_or("");
    if (!row.isNull(11)) sample.metadata = metadataFromText(*row.columnText(11));
    return sample;
  }

 private:
  std::string cachedIdentifier_;
  health::ObjectType cachedType_;
  std::optional<health::Unit> cachedUnit_;
};

// The WHERE clause of a predicate, with its values bound from ?2 and ?3
// (?1 is the type, ?4 the source, ?6 the largest magnitude a value may
// have).
std::string predicateClause(const std::optional<health::SamplePredicate>& predicate) {
  std::string clause;
  if (!predicate) return clause;
  if (predicate->startDate) {
    clause += (predicate->options & health::kQueryOptionStrictStartDate) ? " AND start >= ?2" : " AND end >= ?2";
  }
  if (predicate->endDate) {
    clause += (predicate->options & health::kQueryOptionStrictEndDate) ? " AND end < ?3" : " AND start < ?3";
  }
  return clause;
}

// Leaves out quantities a read must never hand on: an older version or a
// hand edit may have stored an infinite value (which SQLite keeps as a
// REAL) or a NaN (which it keeps as NULL), and one such value would make
// every later answer unencodable. Neither passes the comparison.
constexpr std::string_view kPlausibleValue = " AND abs(value) <= ?6";

bool isQuantityType(std::string_view typeIdentifier) {
  const health::MetricEntry* type = findStoredType(typeIdentifier);
  return type && type->kind() == health::ObjectKind::quantity;
}

void bindFilter(Statement& statement, std::string_view typeIdentifier,
                const std::optional<health::SamplePredicate>& predicate, std::optional<std::string_view> onlySource) {
  statement.bind(1, typeIdentifier);
  if (isQuantityType(typeIdentifier)) statement.bind(6, largestStoredValue(typeIdentifier));
  if (predicate && predicate->startDate) statement.bind(2, *predicate->startDate);
  if (predicate && predicate->endDate) statement.bind(3, *predicate->endDate);
  if (onlySource) statement.bind(4, *onlySource);
}

}  // namespace

SampleWriter::SampleWriter(Database& database)
    : insert_(database,
              "INSERT INTO samples (type, start, end, value, unit, category, activity, duration, energy, distance, "
              "source, metadata, sync_identifier, sync_version) "
              "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)"),
      findSynced_(database, "SELECT id, sync_version FROM samples WHERE type = ?1 AND sync_identifier = ?2"),
      remove_(database, "DELETE FROM samples WHERE id = ?1"),
      registerSource_(database,
                      "INSERT OR IGNORE INTO sources (name, priority) SELECT ?1, coalesce(max(priority), 0) + 1 "
                      "FROM sources") {}

bool SampleWriter::add(const health::Sample& sample) {
  if (!registered_.contains(sample.sourceName)) {
    registerSource_.reset();
    registerSource_.bind(1, sample.sourceName).run();
    registered_.insert(sample.sourceName);
  }
  std::optional<std::string> identifier = syncIdentifier(sample);
  double version = syncVersion(sample);
  if (identifier) {
    findSynced_.reset();
    findSynced_.bind(1, sample.type.identifier).bind(2, *identifier);
    if (findSynced_.step()) {
      std::int64_t storedId = findSynced_.columnInt(0);
      double storedVersion = findSynced_.columnDouble(1);
      findSynced_.reset();
      if (storedVersion >= version) return false;
      remove_.reset();
      remove_.bind(1, storedId).run();
    }
    findSynced_.reset();
  }
  insert_.reset();
  insert_.bind(1, sample.type.identifier).bind(2, sample.startDate).bind(3, sample.endDate);
  if (const auto* quantity = sample.asQuantitySample()) {
    health::Unit unit = canonicalUnit(sample.type.identifier);
    insert_.bind(4, quantity->quantity.doubleValueForUnit(unit)).bind(5, unit.unitString());
  } else if (const auto* category = sample.asCategorySample()) {
    insert_.bind(6, category->value);
  } else if (const auto* workout = sample.asWorkout()) {
    insert_.bind(7, workout->activityType).bind(8, workout->duration);
    if (workout->totalEnergyBurned) {
      insert_.bind(9, workout->totalEnergyBurned->doubleValueForUnit(health::Unit::kilocalorie()));
    }
    if (workout->totalDistance) insert_.bind(10, workout->totalDistance->doubleValueForUnit(health::Unit::meter()));
  }
  insert_.bind(11, sample.sourceName).bind(12, metadataText(sample.metadata)).bind(13, identifier);
  if (identifier) insert_.bind(14, version);
  insert_.run();
  return true;
}

std::string sampleQuerySql(const health::SampleQuery& query, bool onlySource) {
  std::string sql(kColumns);
  sql += " WHERE type = ?1" + predicateClause(query.predicate);
  if (onlySource) sql += " AND source = ?4";
  if (isQuantityType(query.sampleType.identifier)) sql += kPlausibleValue;
  // Ties fall back to insertion order; each descending key reverses it, so
  // that a descending sort is exactly the ascending one reversed.
  std::string order;
  bool reversed = false;
  for (const health::SortDescriptor& descriptor : query.sortDescriptors) {
    std::string_view column;
    if (descriptor.key == health::kSampleSortIdentifierStartDate) column = "start";
    else if (descriptor.key == health::kSampleSortIdentifierEndDate) column = "end";
    else {
      throw health::HealthStoreError(health::HealthErrorCode::invalidArgument,
                                     "The health store cannot sort samples by '" + descriptor.key + "'.");
    }
    order += std::string(column) + (descriptor.ascending ? " ASC, " : " DESC, ");
    reversed ^= !descriptor.ascending;
  }
  sql += " ORDER BY " + order + (reversed ? "id DESC" : "id ASC");
  if (query.limit > 0) sql += " LIMIT ?5";
  return sql;
}

std::string sumQuerySql(const std::optional<health::SamplePredicate>& predicate, bool onlySource) {
  // Rows, not an SQL sum: overlapping sources are merged by priority, which
  // the window's few thousand rows let a sweep in memory do cheaply.
  std::string sql =
      "SELECT start, end, value, priority FROM samples LEFT JOIN sources ON sources.name = samples.source "
      "WHERE type = ?1" +
      predicateClause(predicate);
  if (onlySource) sql += " AND source = ?4";
  sql += kPlausibleValue;
  return sql;
}

std::vector<health::Sample> selectSamples(Database& database, const health::SampleQuery& query,
                                          std::optional<std::string_view> onlySource) {
  Statement statement(database, sampleQuerySql(query, onlySource.has_value()));
  bindFilter(statement, query.sampleType.identifier, query.predicate, onlySource);
  if (query.limit > 0) statement.bind(5, query.limit);
  std::vector<health::Sample> samples;
  RowReader reader;
  while (statement.step()) samples.push_back(reader.read(statement));
  return samples;
}

SampleSum sumSamples(Database& database, std::string_view typeIdentifier,
                     const std::optional<health::SamplePredicate>& predicate,
                     std::optional<std::string_view> onlySource) {
  Statement statement(database, sumQuerySql(predicate, onlySource.has_value()));
  bindFilter(statement, typeIdentifier, predicate, onlySource);
  std::vector<RankedAmount> amounts;
  while (statement.step()) {
    // A source missing from the list (a sample added by hand) ranks below all.
    int rank = statement.isNull(3) ? INT_MAX : static_cast<int>(statement.columnInt(3));
    amounts.push_back({statement.columnDouble(0), statement.columnDouble(1), statement.columnDouble(2), rank});
  }
  auto count = static_cast<std::int64_t>(amounts.size());
  return {count, mergedSourceSum(std::move(amounts))};
}

std::vector<health::Sample> allSamples(Database& database) {
  Statement statement(database, std::string(kColumns) + " ORDER BY start, id");
  std::vector<health::Sample> samples;
  RowReader reader;
  while (statement.step()) samples.push_back(reader.read(statement));
  return samples;
}

}  // namespace tarnwick::platform::local_store
