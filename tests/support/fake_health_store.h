// An in-memory health store for tests. It keeps samples and permissions the
// way the real stores do, calls every handler on a thread of its own,
// records which calls a request caused, and can be told to answer any one
// call with an error (alone or together with data) or with nothing at all.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "health/health_store.h"

namespace tarnwick::testing {

enum class Access { notDetermined, denied, authorized };

// The calls whose answers can be scripted.
enum class StoreCall { sampleQuery, statisticsQuery, requestAuthorization, saveObjects };

// How the next call of one kind answers instead of the normal way.
struct ScriptedReply {
  std::optional<health::HealthStoreError> error;
  // With an error: also deliver what the call would have delivered.
  bool alsoDeliverData = false;
  // Without an error: deliver neither data nor error (success false for
  // completions).
  bool deliverNothing = false;
};

class FakeHealthStore final : public health::HealthStore {
 public:
  // Knows the seven metric types; every access is authorized.
  FakeHealthStore();
  ~FakeHealthStore() override;

  // ---- Set-up --------------------------------------------------------------
  // Sources rank for cumulative sums in the order they first add a sample,
  // as in the local store, until preferSources moves some to the top.
  void addSample(health::Sample sample, std::string sourceName = "Fake Watch");
  void preferSources(const std::vector<std::string>& names);
  void forgetType(std::string identifier);  // lookups for it give nothing
  void setReadAccess(const std::string& identifier, Access access);
  void setShareAccess(const std::string& identifier, Access access);
  void setAllAccess(Access access);
  // Answer of the "sheet" when a permission request names an undecided type.
  void setUndecidedAuthorizationAnswer(bool success) { undecidedAnswer_ = success; }
  void scriptNext(StoreCall call, ScriptedReply reply);

  // ---- What happened -------------------------------------------------------
  std::vector<StoreCall> calls() const;
  std::vector<health::SampleQuery> sampleQueries() const;
  std::vector<health::StatisticsQuery> statisticsQueries() const;
  struct AuthorizationCall {
    std::set<health::ObjectType> shareTypes;
    std::set<health::ObjectType> readTypes;
  };
  std::vector<AuthorizationCall> authorizationCalls() const;
  std::vector<std::vector<health::Sample>> saves() const;
  // Every sample the store holds, in insertion order, with its source.
  std::vector<health::Sample> samples() const;
  Access readAccess(const std::string& identifier) const;
  Access shareAccess(const std::string& identifier) const;

  // ---- HealthStore ---------------------------------------------------------
  std::optional<health::ObjectType> quantityTypeForIdentifier(std::string_view identifier) override;
  std::optional<health::ObjectType> categoryTypeForIdentifier(std::string_view identifier) override;
  health::ObjectType workoutType() override;
  std::optional<health::Unit> unitFromString(std::string_view text) override;
  void executeSampleQuery(health::SampleQuery query, health::SampleQueryHandler handler) override;
  void executeStatisticsQuery(health::StatisticsQuery query, health::StatisticsHandler handler) override;
  void requestAuthorization(std::set<health::ObjectType> shareTypes, std::set<health::ObjectType> readTypes,
                            health::CompletionHandler handler) override;
  void saveObjects(std::vector<health::Sample> objects, health::CompletionHandler handler) override;

 private:
  std::optional<ScriptedReply> takeScript(StoreCall call);
  void store(health::Sample sample);
  void deliver(std::function<void()> callback);
  std::vector<health::Sample> matching(const health::SampleQuery& query, std::optional<health::HealthStoreError>& error) const;

  mutable std::mutex mutex_;
  std::set<std::string> knownTypes_;
  std::vector<health::Sample> samples_;
  std::vector<std::string> sourceOrder_;  // highest priority first
  std::map<std::string, Access> readAccess_;
  std::map<std::string, Access> shareAccess_;
  Access defaultAccess_ = Access::authorized;
  bool undecidedAnswer_ = true;
  std::map<StoreCall, std::deque<ScriptedReply>> scripts_;
  std::vector<StoreCall> calls_;
  std::vector<health::SampleQuery> sampleQueries_;
  std::vector<health::StatisticsQuery> statisticsQueries_;
  std::vector<AuthorizationCall> authorizationCalls_;
  std::vector<std::vector<health::Sample>> saves_;
  std::vector<std::thread> callbackThreads_;
};

}  // namespace tarnwick::testing
