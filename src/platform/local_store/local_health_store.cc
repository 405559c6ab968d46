#include "platform/local_store/local_health_store.h"

#include <exception>
#include <future>
#include <map>
#include <memory>
#include <new>
#include <string_view>
#include <utility>

#include "health/metric_catalogue.h"
#include "platform/local_store/permission_records.h"
#include "platform/local_store/sample_records.h"
#include "platform/local_store/sample_validation.h"
#include "platform/local_store/store_error.h"
#include "platform/local_store/store_file.h"
#include "platform/local_store/stored_types.h"
#include "platform/permission_sheet.h"

namespace tarnwick::platform::local_store {
namespace {

using health::HealthErrorCode;
using health::HealthStoreError;
using health::ObjectType;

// The metric key a person types at the companion tool, for a type.
std::string metricKey(std::string_view typeIdentifier) {
  const health::MetricEntry* metric = findStoredType(typeIdentifier);
  return std::string(metric ? metric->key : typeIdentifier);
}

// The platform's words first, so that callers matching them keep working,
// then which metric and what the person can do about it.
HealthStoreError notDetermined(std::string_view typeIdentifier) {
  std::string key = metricKey(typeIdentifier);
  return {HealthErrorCode::authorizationNotDetermined,
          "Authorization not determined for " + key +
              ": ask with \"authorize\" (with --appkit, on a display) or run \"tarnwick-store grant " + key + "\"."};
}

HealthStoreError notAuthorized(std::string_view typeIdentifier) {
  std::string key = metricKey(typeIdentifier);
  return {HealthErrorCode::authorizationDenied,
          "Not authorized for " + key + ": run \"tarnwick-store grant " + key + "\", or \"tarnwick-store reset " +
              key + "\" and ask with \"authorize\" again."};
}

HealthStoreError invalidArgument(const std::string& description) {
  return {HealthErrorCode::invalidArgument, description};
}

// Runs `work`, letting a HealthStoreError and running out of memory through
// (the bridge answers the latter with its one out-of-memory sentence);
// anything else a library throws becomes a store failure naming the file.
template <class Work>
auto guarded(const std::string& path, Work&& work) -> decltype(work()) {
  try {
    return work();
  } catch (const HealthStoreError&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& error) {
    throw HealthStoreError(HealthErrorCode::databaseInaccessible,
                           "The health store at '" + path + "' failed: " + error.what());
  }
}

// Shows the sheet and waits for the person's answer, which may come on any
// thread (the sheet lives on the main thread).
PermissionSheetAnswer askPerson(PermissionSheet& sheet, PermissionSheetRequest request) {
  auto answered = std::make_shared<std::promise<PermissionSheetAnswer>>();
  std::future<PermissionSheetAnswer> answer = answered->get_future();
  sheet.present(std::move(request), [answered](PermissionSheetAnswer reply) { answered->set_value(std::move(reply)); });
  return answer.get();
}

const health::MetricEntry& knownType(const ObjectType& type) {
  const health::MetricEntry* stored = findStoredType(type.identifier);
  if (!stored) throw invalidArgument("The health store does not know the type '" + type.identifier + "'.");
  return *stored;
}

// The source a read is limited to: a denied read still shows the bridge its
// own samples; an undecided one is an error.
std::optional<std::string_view> readableSource(Database& database, const ObjectType& type) {
  switch (accessFor(database, type.identifier).read) {
    case Access::notDetermined: throw notDetermined(type.identifier);
    case Access::denied: return health::kBridgeSourceName;
    case Access::authorized: break;
  }
  return std::nullopt;
}

bool allDecided(Database& database, const std::set<ObjectType>& shareTypes, const std::set<ObjectType>& readTypes) {
  for (const ObjectType& type : shareTypes) {
    if (accessFor(database, type.identifier).share == Access::notDetermined) return false;
  }
  for (const ObjectType& type : readTypes) {
    if (accessFor(database, type.identifier).read == Access::notDetermined) return false;
  }
  return true;
}

Access choice(const std::map<std::string, bool>& switches, const std::string& identifier) {
  auto found = switches.find(identifier);
  return found != switches.end() && found->second ? Access::authorized : Access::denied;
}

}  // namespace

LocalHealthStore::LocalHealthStore(std::string path, PermissionSheetOffer sheet)
    : path_(std::move(path)), sheetOffer_(std::move(sheet)) {}

Database& LocalHealthStore::database() {
  if (!database_) database_ = openStore(path_);
  return *database_;
}

Database& LocalHealthStore::writableDatabase() {
  Database& opened = database();
  if (opened.isReadOnly()) throw brokenStoreError(path_, "is read-only");
  return opened;
}

std::vector<health::Sample> LocalHealthStore::executeSampleQuery(health::SampleQuery query) {
  return guarded(path_, [&] {
    knownType(query.sampleType);
    Database& opened = database();
    return selectSamples(opened, query, readableSource(opened, query.sampleType));
  });
}

std::optional<health::Statistics> LocalHealthStore::executeStatisticsQuery(health::StatisticsQuery query) {
  return guarded(path_, [&] {
    const health::MetricEntry& metric = knownType(query.quantityType);
    if (metric.kind() != health::ObjectKind::quantity) {
      throw invalidArgument("Statistics need a quantity type, not '" + query.quantityType.identifier + "'.");
    }
    bool wantsSum = (query.options & health::kStatisticsOptionCumulativeSum) != 0;
    if (wantsSum && !metric.cumulative()) {
      throw invalidArgument("A cumulative sum needs a cumulative type; '" + query.quantityType.identifier +
                            "' is discrete.");
    }
    Database& opened = database();
    SampleSum sum = sumSamples(opened, metric.type.identifier, query.predicate, readableSource(opened, query.quantityType));
    if (sum.count == 0) throw HealthStoreError(HealthErrorCode::noData, "No data available for the specified predicate.");
    health::Statistics statistics{query.quantityType, query.predicate ? query.predicate->startDate : std::nullopt,
                                  query.predicate ? query.predicate->endDate : std::nullopt, std::nullopt};
    if (wantsSum) statistics.sumQuantity = health::Quantity(canonicalUnit(metric.type.identifier), sum.sum);
    return std::optional(std::move(statistics));
  });
}

bool LocalHealthStore::requestAuthorization(std::set<ObjectType> shareTypes, std::set<ObjectType> readTypes) {
  std::shared_ptr<PermissionSheet> sheet = guarded(path_, [&]() -> std::shared_ptr<PermissionSheet> {
    if (shareTypes.empty() && readTypes.empty()) {
      throw invalidArgument("A permission request must name at least one type to share or read.");
    }
    for (const ObjectType& type : shareTypes) knownType(type);
    for (const ObjectType& type : readTypes) knownType(type);
    if (allDecided(database(), shareTypes, readTypes)) return nullptr;
    if (!sheetOffer_.sheet) throw HealthStoreError(HealthErrorCode::healthDataUnavailable, sheetOffer_.unavailableReason);
    writableDatabase();
    return sheetOffer_.sheet;
  });
  if (!sheet) return true;

  PermissionSheetAnswer answer =
      askPerson(*sheet, {{readTypes.begin(), readTypes.end()}, {shareTypes.begin(), shareTypes.end()}});
  using Outcome = PermissionSheetAnswer::Outcome;
  if (answer.outcome == Outcome::dismissed) return false;
  if (answer.outcome == Outcome::failed) throw HealthStoreError(HealthErrorCode::healthDataUnavailable, answer.failure);
  return recordAnswer(answer, shareTypes, readTypes);
}

bool LocalHealthStore::recordAnswer(const PermissionSheetAnswer& answer, const std::set<ObjectType>& shareTypes,
                                    const std::set<ObjectType>& readTypes) {
  bool allow = answer.outcome == PermissionSheetAnswer::Outcome::allow;
  guarded(path_, [&] {
    Database& opened = writableDatabase();
    WriteTransaction transaction(opened);
    for (const ObjectType& type : shareTypes) {
      setAccess(opened, type.identifier, std::nullopt, allow ? choice(answer.shareAllowed, type.identifier) : Access::denied);
    }
    for (const ObjectType& type : readTypes) {
      setAccess(opened, type.identifier, allow ? choice(answer.readAllowed, type.identifier) : Access::denied, std::nullopt);
    }
    transaction.commit();
  });
  return allow;
}

bool LocalHealthStore::saveObjects(std::vector<health::Sample> objects) {
  guarded(path_, [&] {
    for (const health::Sample& object : objects) knownType(object.type);
    Database& opened = database();
    // The first type of each kind of refusal names the metric in the error.
    std::optional<std::string_view> denied;
    std::optional<std::string_view> undecided;
    // One look-up per type, not per object: a batch holds thousands of
    // objects of a handful of types.
    std::map<std::string_view, Access> shareByType;
    for (const health::Sample& object : objects) {
      auto [entry, added] = shareByType.try_emplace(object.type.identifier, Access::notDetermined);
      if (added) entry->second = accessFor(opened, object.type.identifier).share;
      if (!denied && entry->second == Access::denied) denied = entry->first;
      if (!undecided && entry->second == Access::notDetermined) undecided = entry->first;
    }
    if (denied) throw notAuthorized(*denied);
    if (undecided) throw notDetermined(*undecided);
    for (const health::Sample& object : objects) validateSample(object);
    if (objects.empty()) return;
    Database& writable = writableDatabase();
    WriteTransaction transaction(writable);
    SampleWriter writer(writable);
    for (health::Sample& object : objects) {
      object.sourceName = std::string(health::kBridgeSourceName);
      writer.add(object);
    }
    transaction.commit();
  });
  return true;
}

}  // namespace tarnwick::platform::local_store
