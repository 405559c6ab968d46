#include "support/fake_health_store.h"

#include <algorithm>

#include "platform/local_store/sample_validation.h"
#include "platform/local_store/source_merge.h"

namespace tarnwick::testing {
namespace {

using health::HealthErrorCode;
using health::HealthStoreError;
using health::ObjectKind;
using health::ObjectType;
using health::Sample;

HealthStoreError notDetermined() { return {HealthErrorCode::authorizationNotDetermined, "Authorization not determined"}; }
HealthStoreError notAuthorized() { return {HealthErrorCode::authorizationDenied, "Not authorized"}; }

ObjectKind kindOf(std::string_view identifier) {
  if (identifier == health::kSleepAnalysisIdentifier) return ObjectKind::category;
  if (identifier == health::kWorkoutTypeIdentifier) return ObjectKind::workout;
  return ObjectKind::quantity;
}

// The unit every sample of a quantity type must be compatible with.
health::Unit typeUnit(std::string_view identifier) {
  if (identifier == health::kHeartRateIdentifier) return health::Unit::count().dividedBy(health::Unit::minute());
  if (identifier == health::kHeartRateVariabilityIdentifier) return health::Unit::second(health::MetricPrefix::milli);
  if (identifier == health::kBodyMassIdentifier) return health::Unit::gram(health::MetricPrefix::kilo);
  if (identifier == health::kBloodGlucoseIdentifier) {
    return health::Unit::gram(health::MetricPrefix::milli).dividedBy(health::Unit::liter(health::MetricPrefix::deci));
  }
  return health::Unit::count();
}

std::optional<std::string> syncIdentifierOf(const Sample& sample) {
  auto found = sample.metadata.find(health::kMetadataKeySyncIdentifier);
  if (found == sample.metadata.end()) return std::nullopt;
  if (const auto* text = std::get_if<std::string>(&found->second)) return *text;
  return std::nullopt;
}

double syncVersionOf(const Sample& sample) {
  auto found = sample.metadata.find(health::kMetadataKeySyncVersion);
  if (found == sample.metadata.end()) return 0;
  if (const auto* number = std::get_if<double>(&found->second)) return *number;
  return 0;
}

bool matches(const health::SamplePredicate& predicate, const Sample& sample) {
  if (predicate.options & health::kQueryOptionStrictStartDate) {
    if (predicate.startDate && sample.startDate < *predicate.startDate) return false;
  } else if (predicate.startDate && sample.endDate < *predicate.startDate) {
    return false;
  }
  if (predicate.options & health::kQueryOptionStrictEndDate) {
    if (predicate.endDate && sample.endDate >= *predicate.endDate) return false;
  } else if (predicate.endDate && sample.startDate >= *predicate.endDate) {
    return false;
  }
  return true;
}

}  // namespace

FakeHealthStore::FakeHealthStore() {
  for (std::string_view identifier :
       {health::kStepCountIdentifier, health::kHeartRateIdentifier, health::kHeartRateVariabilityIdentifier,
        health::kBodyMassIdentifier, health::kBloodGlucoseIdentifier, health::kSleepAnalysisIdentifier}) {
    knownTypes_.emplace(identifier);
  }
}

FakeHealthStore::~FakeHealthStore() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    threads.swap(callbackThreads_);
  }
  for (std::thread& thread : threads) thread.join();
}

void FakeHealthStore::addSample(Sample sample, std::string sourceName) {
  std::lock_guard lock(mutex_);
  sample.sourceName = std::move(sourceName);
  store(std::move(sample));
}

void FakeHealthStore::store(Sample sample) {
  if (std::find(sourceOrder_.begin(), sourceOrder_.end(), sample.sourceName) == sourceOrder_.end()) {
    sourceOrder_.push_back(sample.sourceName);
  }
  samples_.push_back(std::move(sample));
}

void FakeHealthStore::preferSources(const std::vector<std::string>& names) {
  std::lock_guard lock(mutex_);
  // Sources not named all share the last place, so the stable sort keeps
  // them in their order below the named ones.
  auto rank = [&](const std::string& source) {
    return std::find(names.begin(), names.end(), source) - names.begin();
  };
  std::stable_sort(sourceOrder_.begin(), sourceOrder_.end(),
                   [&](const std::string& a, const std::string& b) { return rank(a) < rank(b); });
}

void FakeHealthStore::forgetType(std::string identifier) {
  std::lock_guard lock(mutex_);
  knownTypes_.erase(identifier);
}

void FakeHealthStore::setReadAccess(const std::string& identifier, Access access) {
  std::lock_guard lock(mutex_);
  readAccess_[identifier] = access;
}

void FakeHealthStore::setShareAccess(const std::string& identifier, Access access) {
  std::lock_guard lock(mutex_);
  shareAccess_[identifier] = access;
}

void FakeHealthStore::setAllAccess(Access access) {
  std::lock_guard lock(mutex_);
  readAccess_.clear();
  shareAccess_.clear();
  defaultAccess_ = access;
}

void FakeHealthStore::scriptNext(StoreCall call, ScriptedReply reply) {
  std::lock_guard lock(mutex_);
  scripts_[call].push_back(std::move(reply));
}

std::vector<StoreCall> FakeHealthStore::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<health::SampleQuery> FakeHealthStore::sampleQueries() const {
  std::lock_guard lock(mutex_);
  return sampleQueries_;
}

std::vector<health::StatisticsQuery> FakeHealthStore::statisticsQueries() const {
  std::lock_guard lock(mutex_);
  return statisticsQueries_;
}

std::vector<FakeHealthStore::AuthorizationCall> FakeHealthStore::authorizationCalls() const {
  std::lock_guard lock(mutex_);
  return authorizationCalls_;
}

std::vector<std::vector<Sample>> FakeHealthStore::saves() const {
  std::lock_guard lock(mutex_);
  return saves_;
}

std::vector<Sample> FakeHealthStore::samples() const {
  std::lock_guard lock(mutex_);
  return samples_;
}

Access FakeHealthStore::readAccess(const std::string& identifier) const {
  std::lock_guard lock(mutex_);
  auto found = readAccess_.find(identifier);
  return found == readAccess_.end() ? defaultAccess_ : found->second;
}

Access FakeHealthStore::shareAccess(const std::string& identifier) const {
  std::lock_guard lock(mutex_);
  auto found = shareAccess_.find(identifier);
  return found == shareAccess_.end() ? defaultAccess_ : found->second;
}

std::optional<ObjectType> FakeHealthStore::quantityTypeForIdentifier(std::string_view identifier) {
  std::lock_guard lock(mutex_);
  if (!knownTypes_.count(std::string(identifier)) || kindOf(identifier) != ObjectKind::quantity) return std::nullopt;
  return ObjectType{ObjectKind::quantity, std::string(identifier)};
}

std::optional<ObjectType> FakeHealthStore::categoryTypeForIdentifier(std::string_view identifier) {
  std::lock_guard lock(mutex_);
  if (!knownTypes_.count(std::string(identifier)) || kindOf(identifier) != ObjectKind::category) return std::nullopt;
  return ObjectType{ObjectKind::category, std::string(identifier)};
}

ObjectType FakeHealthStore::workoutType() { return {ObjectKind::workout, std::string(health::kWorkoutTypeIdentifier)}; }

std::optional<health::Unit> FakeHealthStore::unitFromString(std::string_view text) {
  return health::Unit::fromString(text);
}

std::optional<ScriptedReply> FakeHealthStore::takeScript(StoreCall call) {
  auto found = scripts_.find(call);
  if (found == scripts_.end() || found->second.empty()) return std::nullopt;
  ScriptedReply reply = std::move(found->second.front());
  found->second.pop_front();
  return reply;
}

void FakeHealthStore::deliver(std::function<void()> callback) {
  callbackThreads_.emplace_back(std::move(callback));
}

std::vector<Sample> FakeHealthStore::matching(const health::SampleQuery& query,
                                              std::optional<HealthStoreError>& error) const {
  auto access = readAccess_.find(query.sampleType.identifier);
  Access read = access == readAccess_.end() ? defaultAccess_ : access->second;
  if (read == Access::notDetermined) {
    error = notDetermined();
    return {};
  }
  std::vector<Sample> found;
  for (const Sample& sample : samples_) {
    if (sample.type.identifier != query.sampleType.identifier) continue;
    if (read == Access::denied && sample.sourceName != health::kBridgeSourceName) continue;
    if (query.predicate && !matches(*query.predicate, sample)) continue;
    found.push_back(sample);
  }
  // Insertion order breaks ties; a descending sort is the ascending one
  // reversed, ties included.
  for (auto descriptor = query.sortDescriptors.rbegin(); descriptor != query.sortDescriptors.rend(); ++descriptor) {
    bool byStart = descriptor->key == health::kSampleSortIdentifierStartDate;
    std::stable_sort(found.begin(), found.end(), [&](const Sample& a, const Sample& b) {
      return byStart ? a.startDate < b.startDate : a.endDate < b.endDate;
    });
    if (!descriptor->ascending) std::reverse(found.begin(), found.end());
  }
  if (query.limit > 0 && found.size() > static_cast<std::size_t>(query.limit)) {
    found.resize(static_cast<std::size_t>(query.limit));
  }
  return found;
}

void FakeHealthStore::executeSampleQuery(health::SampleQuery query, health::SampleQueryHandler handler) {
  std::lock_guard lock(mutex_);
  calls_.push_back(StoreCall::sampleQuery);
  sampleQueries_.push_back(query);
  std::optional<HealthStoreError> error;
  std::vector<Sample> results = matching(query, error);
  std::optional<std::vector<Sample>> delivered;
  if (!error) delivered = std::move(results);
  if (auto script = takeScript(StoreCall::sampleQuery)) {
    if (script->error) {
      if (!script->alsoDeliverData) delivered.reset();
      error = script->error;
    } else if (script->deliverNothing) {
      delivered.reset();
      error.reset();
    }
  }
  deliver([handler = std::move(handler), delivered = std::move(delivered), error = std::move(error)] {
    handler(delivered, error);
  });
}

void FakeHealthStore::executeStatisticsQuery(health::StatisticsQuery query, health::StatisticsHandler handler) {
  std::lock_guard lock(mutex_);
  calls_.push_back(StoreCall::statisticsQuery);
  statisticsQueries_.push_back(query);
  health::SampleQuery asSamples{query.quantityType, query.predicate, health::kObjectQueryNoLimit, {}};
  std::optional<HealthStoreError> error;
  // As the real stores: statistics only of quantity types, sums only of
  // cumulative ones (the step count).
  if (kindOf(query.quantityType.identifier) != ObjectKind::quantity) {
    error = HealthStoreError(HealthErrorCode::invalidArgument, "Statistics need a quantity type.");
  } else if ((query.options & health::kStatisticsOptionCumulativeSum) &&
             query.quantityType.identifier != health::kStepCountIdentifier) {
    error = HealthStoreError(HealthErrorCode::invalidArgument, "A cumulative sum needs a cumulative type.");
  }
  std::vector<Sample> found;
  if (!error) found = matching(asSamples, error);
  std::optional<health::Statistics> statistics;
  if (!error && found.empty()) {
    error = HealthStoreError(HealthErrorCode::noData, "No data available for the specified predicate.");
  } else if (!error) {
    statistics = health::Statistics{query.quantityType,
                                    query.predicate ? query.predicate->startDate : std::nullopt,
                                    query.predicate ? query.predicate->endDate : std::nullopt,
                                    std::nullopt};
    if (query.options & health::kStatisticsOptionCumulativeSum) {
      health::Unit unit = typeUnit(query.quantityType.identifier);
      std::vector<platform::local_store::RankedAmount> amounts;
      for (const Sample& sample : found) {
        if (auto* quantity = sample.asQuantitySample()) {
          auto rank = std::find(sourceOrder_.begin(), sourceOrder_.end(), sample.sourceName) - sourceOrder_.begin();
          amounts.push_back({sample.startDate, sample.endDate, quantity->quantity.doubleValueForUnit(unit),
                             static_cast<int>(rank)});
        }
      }
      statistics->sumQuantity = health::Quantity(unit, platform::local_store::mergedSourceSum(std::move(amounts)));
    }
  }
  if (auto script = takeScript(StoreCall::statisticsQuery)) {
    if (script->error) {
      if (!script->alsoDeliverData) statistics.reset();
      error = script->error;
    } else if (script->deliverNothing) {
      statistics.reset();
      error.reset();
    }
  }
  deliver([handler = std::move(handler), statistics = std::move(statistics), error = std::move(error)] {
    handler(statistics, error);
  });
}

void FakeHealthStore::requestAuthorization(std::set<ObjectType> shareTypes, std::set<ObjectType> readTypes,
                                           health::CompletionHandler handler) {
  std::lock_guard lock(mutex_);
  calls_.push_back(StoreCall::requestAuthorization);
  authorizationCalls_.push_back({shareTypes, readTypes});
  auto accessIn = [&](std::map<std::string, Access>& table, const ObjectType& type) -> Access& {
    auto found = table.find(type.identifier);
    if (found == table.end()) found = table.emplace(type.identifier, defaultAccess_).first;
    return found->second;
  };
  if (shareTypes.empty() && readTypes.empty()) {
    HealthStoreError empty(HealthErrorCode::invalidArgument, "A permission request must name at least one type.");
    deliver([handler = std::move(handler), empty] { handler(false, empty); });
    return;
  }
  bool success = true;
  bool undecided = false;
  for (const ObjectType& type : shareTypes) undecided |= accessIn(shareAccess_, type) == Access::notDetermined;
  for (const ObjectType& type : readTypes) undecided |= accessIn(readAccess_, type) == Access::notDetermined;
  if (undecided) {
    success = undecidedAnswer_;
    Access decided = undecidedAnswer_ ? Access::authorized : Access::denied;
    for (const ObjectType& type : shareTypes) {
      if (Access& access = accessIn(shareAccess_, type); access == Access::notDetermined) access = decided;
    }
    for (const ObjectType& type : readTypes) {
      if (Access& access = accessIn(readAccess_, type); access == Access::notDetermined) access = decided;
    }
  }
  std::optional<HealthStoreError> error;
  if (auto script = takeScript(StoreCall::requestAuthorization)) {
    if (script->error) {
      error = script->error;
      success = script->alsoDeliverData;
    } else if (script->deliverNothing) {
      success = false;
    }
  }
  deliver([handler = std::move(handler), success, error = std::move(error)] { handler(success, error); });
}

void FakeHealthStore::saveObjects(std::vector<Sample> objects, health::CompletionHandler handler) {
  std::lock_guard lock(mutex_);
  calls_.push_back(StoreCall::saveObjects);
  saves_.push_back(objects);
  std::optional<HealthStoreError> error;
  bool denied = false;
  bool undecided = false;
  for (const Sample& object : objects) {
    auto found = shareAccess_.find(object.type.identifier);
    Access share = found == shareAccess_.end() ? defaultAccess_ : found->second;
    denied |= share == Access::denied;
    undecided |= share == Access::notDetermined;
    // The local store's own checks, so that the two refuse the same objects.
    try {
      if (!error) platform::local_store::validateSample(object);
    } catch (const HealthStoreError& invalid) {
      error = invalid;
    }
  }
  if (denied) error = notAuthorized();
  else if (undecided) error = notDetermined();
  if (auto script = takeScript(StoreCall::saveObjects)) {
    if (script->error) {
      error = script->error;
    } else if (script->deliverNothing) {
      deliver([handler = std::move(handler)] { handler(false, std::nullopt); });
      return;
    }
  }
  bool success = !error;
  if (success) {
    for (Sample& object : objects) {
      object.sourceName = std::string(health::kBridgeSourceName);
      // A stored sync identifier with the same or a greater version keeps
      // its sample; a smaller one is replaced.
      if (std::optional<std::string> identifier = syncIdentifierOf(object)) {
        auto stored = std::find_if(samples_.begin(), samples_.end(), [&](const Sample& sample) {
          return sample.type == object.type && syncIdentifierOf(sample) == identifier;
        });
        if (stored != samples_.end()) {
          if (syncVersionOf(*stored) >= syncVersionOf(object)) continue;
          samples_.erase(stored);
        }
      }
      store(std::move(object));
    }
  }
  deliver([handler = std::move(handler), success, error = std::move(error)] { handler(success, error); });
}

}  // namespace tarnwick::testing
