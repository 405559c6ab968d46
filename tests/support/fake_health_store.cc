#include "support/fake_health_store.h"

#include <atomic>
#include <utility>

#include "health/metric_catalogue.h"
#include "platform/local_store/local_health_store.h"

namespace tarnwick::testing {
namespace {

using health::HealthStoreError;
using health::ObjectType;
using health::Sample;

// Replaces what the store delivered by what the script says. An empty value
// ({}) is no data: no samples or statistics, or success false.
template <class Value>
void applyScript(const ScriptedReply& script, Value& value, std::optional<HealthStoreError>& error) {
  if (script.error) {
    if (!script.alsoDeliverData) value = {};
    error = script.error;
  } else if (script.deliverNothing) {
    value = {};
    error.reset();
  }
}

}  // namespace

// The sheet a request naming an undecided type meets: it answers at once,
// on the store's thread, "Allow" with every switch on or "Don't Allow".
class FakeHealthStore::Sheet final : public platform::PermissionSheet {
 public:
  void present(platform::PermissionSheetRequest request,
               std::function<void(platform::PermissionSheetAnswer)> answer) override {
    using Outcome = platform::PermissionSheetAnswer::Outcome;
    platform::PermissionSheetAnswer reply{allow ? Outcome::allow : Outcome::dontAllow, {}, {}};
    if (reply.outcome == Outcome::allow) {
      for (const ObjectType& type : request.readTypes) reply.readAllowed[type.identifier] = true;
      for (const ObjectType& type : request.shareTypes) reply.shareAllowed[type.identifier] = true;
    }
    answer(std::move(reply));
  }
  std::atomic<bool> allow = true;
};

FakeHealthStore::FakeHealthStore()
    : directory_(Backing::memory),
      setup_(directory_.file("health.sqlite3")),
      sheet_(std::make_shared<Sheet>()),
      store_(platform::makeLocalHealthStore(setup_.path(), {sheet_})) {
  setAllAccess(Access::authorized);
}

FakeHealthStore::~FakeHealthStore() = default;

void FakeHealthStore::addSample(Sample sample, std::string sourceName) { setup_.add(std::move(sample), sourceName); }

void FakeHealthStore::preferSources(const std::vector<std::string>& names) { setup_.prefer(names); }

void FakeHealthStore::forgetType(std::string identifier) {
  std::lock_guard lock(mutex_);
  forgottenTypes_.insert(std::move(identifier));
}

void FakeHealthStore::setReadAccess(const std::string& identifier, Access access) {
  setup_.setAccess({identifier}, access, std::nullopt);
}

void FakeHealthStore::setShareAccess(const std::string& identifier, Access access) {
  setup_.setAccess({identifier}, std::nullopt, access);
}

void FakeHealthStore::setAllAccess(Access access) {
  // Every type the metric keys name, as "tarnwick-store grant" with no key.
  std::vector<std::string> identifiers;
  for (const health::MetricEntry& metric : health::metricCatalogue()) identifiers.push_back(metric.type.identifier);
  setup_.setAccess(identifiers, access, access);
}

void FakeHealthStore::setUndecidedAuthorizationAnswer(bool allow) { sheet_->allow = allow; }

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

std::vector<Sample> FakeHealthStore::samples() const { return setup_.samples(); }

std::optional<ScriptedReply> FakeHealthStore::record(StoreCall call) {
  calls_.push_back(call);
  auto found = scripts_.find(call);
  if (found == scripts_.end() || found->second.empty()) return std::nullopt;
  ScriptedReply reply = std::move(found->second.front());
  found->second.pop_front();
  return reply;
}

bool FakeHealthStore::forgotten(std::string_view identifier) const {
  std::lock_guard lock(mutex_);
  return forgottenTypes_.contains(identifier);
}

std::optional<ObjectType> FakeHealthStore::quantityTypeForIdentifier(std::string_view identifier) {
  if (forgotten(identifier)) return std::nullopt;
  return store_->quantityTypeForIdentifier(identifier);
}

std::optional<ObjectType> FakeHealthStore::categoryTypeForIdentifier(std::string_view identifier) {
  if (forgotten(identifier)) return std::nullopt;
  return store_->categoryTypeForIdentifier(identifier);
}

ObjectType FakeHealthStore::workoutType() { return store_->workoutType(); }

std::optional<health::Unit> FakeHealthStore::unitFromString(std::string_view text) {
  return store_->unitFromString(text);
}

void FakeHealthStore::executeSampleQuery(health::SampleQuery query, health::SampleQueryHandler handler) {
  std::optional<ScriptedReply> script;
  {
    std::lock_guard lock(mutex_);
    sampleQueries_.push_back(query);
    script = record(StoreCall::sampleQuery);
  }
  store_->executeSampleQuery(std::move(query), [script, handler = std::move(handler)](auto results, auto error) {
    if (script) applyScript(*script, results, error);
    if (script && script->samples) {
      results = script->samples;
      error.reset();
    }
    handler(std::move(results), std::move(error));
  });
}

void FakeHealthStore::executeStatisticsQuery(health::StatisticsQuery query, health::StatisticsHandler handler) {
  std::optional<ScriptedReply> script;
  {
    std::lock_guard lock(mutex_);
    statisticsQueries_.push_back(query);
    script = record(StoreCall::statisticsQuery);
  }
  store_->executeStatisticsQuery(std::move(query), [script, handler = std::move(handler)](auto statistics, auto error) {
    if (script) applyScript(*script, statistics, error);
    handler(std::move(statistics), std::move(error));
  });
}

void FakeHealthStore::requestAuthorization(std::set<ObjectType> shareTypes, std::set<ObjectType> readTypes,
                                           health::CompletionHandler handler) {
  std::optional<ScriptedReply> script;
  {
    std::lock_guard lock(mutex_);
    authorizationCalls_.push_back({shareTypes, readTypes});
    script = record(StoreCall::requestAuthorization);
  }
  store_->requestAuthorization(std::move(shareTypes), std::move(readTypes),
                               [script, handler = std::move(handler)](bool success, auto error) {
                                 if (script) applyScript(*script, success, error);
                                 handler(success, std::move(error));
                               });
}

void FakeHealthStore::saveObjects(std::vector<Sample> objects, health::CompletionHandler handler) {
  std::optional<ScriptedReply> script;
  {
    std::lock_guard lock(mutex_);
    saves_.push_back(objects);
    script = record(StoreCall::saveObjects);
  }
  // A save whose answer the script replaces stores nothing; it still goes
  // to the store empty, so that the answer comes from the store's thread in
  // turn with the other calls.
  bool answerReplaced = script && (script->error ? !script->alsoDeliverData : script->deliverNothing);
  if (answerReplaced) objects.clear();
  store_->saveObjects(std::move(objects), [script, handler = std::move(handler)](bool success, auto error) {
    if (script) applyScript(*script, success, error);
    handler(success, std::move(error));
  });
}

}  // namespace tarnwick::testing
