#include "support/fake_health_store.h"

#include <atomic>
#include <type_traits>
#include <utility>

#include "health/metric_catalogue.h"
#include "platform/local_store/local_store.h"

namespace tarnwick::testing {
namespace {

using health::HealthStoreError;
using health::ObjectType;
using health::Sample;

// The call's answer as the script says: its error thrown (after the call,
// when the store is to act anyway), `nothing` without asking the store, or
// the store's own answer.
template <class Call>
auto answer(const std::optional<ScriptedReply>& script, decltype(std::declval<Call>()()) nothing, Call&& call) {
  if (!script) return call();
  if (script->error) {
    if (script->alsoDeliverData) {
      try {
        call();
      } catch (const HealthStoreError&) {
        // The script's error wins over the store's.
      }
    }
    throw *script->error;
  }
  if (script->deliverNothing) return nothing;
  return call();
}

}  // namespace

// The sheet a request naming an undecided type meets: it answers at once,
// "Allow" with every switch on or "Don't Allow".
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
      store_(platform::local_store::makeLocalHealthStore(setup_.path(), {sheet_})) {
  setAllAccess(Access::authorized);
}

FakeHealthStore::~FakeHealthStore() = default;

void FakeHealthStore::addSample(Sample sample, std::string sourceName) { setup_.add(std::move(sample), sourceName); }

void FakeHealthStore::preferSources(const std::vector<std::string>& names) { setup_.prefer(names); }

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

std::vector<Sample> FakeHealthStore::executeSampleQuery(health::SampleQuery query) {
  std::optional<ScriptedReply> script;
  {
    std::lock_guard lock(mutex_);
    sampleQueries_.push_back(query);
    script = record(StoreCall::sampleQuery);
  }
  if (script && !script->error && script->samples) return *script->samples;
  return answer(script, {}, [&] { return HealthStoreWrapper::executeSampleQuery(std::move(query)); });
}

std::optional<health::Statistics> FakeHealthStore::executeStatisticsQuery(health::StatisticsQuery query) {
  std::optional<ScriptedReply> script;
  {
    std::lock_guard lock(mutex_);
    statisticsQueries_.push_back(query);
    script = record(StoreCall::statisticsQuery);
  }
  return answer(script, std::nullopt, [&] { return HealthStoreWrapper::executeStatisticsQuery(std::move(query)); });
}

bool FakeHealthStore::requestAuthorization(std::set<ObjectType> shareTypes, std::set<ObjectType> readTypes) {
  std::optional<ScriptedReply> script;
  {
    std::lock_guard lock(mutex_);
    authorizationCalls_.push_back({shareTypes, readTypes});
    script = record(StoreCall::requestAuthorization);
  }
  return answer(script, false, [&] {
    return HealthStoreWrapper::requestAuthorization(std::move(shareTypes), std::move(readTypes));
  });
}

bool FakeHealthStore::saveObjects(std::vector<Sample> objects) {
  std::optional<ScriptedReply> script;
  {
    std::lock_guard lock(mutex_);
    saves_.push_back(objects);
    script = record(StoreCall::saveObjects);
  }
  return answer(script, false, [&] { return HealthStoreWrapper::saveObjects(std::move(objects)); });
}

}  // namespace tarnwick::testing
