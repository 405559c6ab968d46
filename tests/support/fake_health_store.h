// A health store for tests: a local store on a file in a temporary
// directory, wrapped so that a test can see which calls a request caused
// and can make any one call answer with an error (alone or together with
// data) or with nothing at all. Every rule (types, permissions, queries,
// sums, saves) is the local store's own; this class only records, scripts
// and forwards.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "health/health_store.h"
#include "platform/permission_sheet.h"
#include "support/local_store_setup.h"
#include "support/temporary_directory.h"

namespace tarnwick::testing {

// The calls whose answers can be scripted.
enum class StoreCall { sampleQuery, statisticsQuery, requestAuthorization, saveObjects };

// How the next call of one kind answers instead of the normal way.
struct ScriptedReply {
  // The call throws this.
  std::optional<health::HealthStoreError> error;
  // With an error: the store still does the call first (a save stores).
  bool alsoDeliverData = false;
  // Without an error: the call returns nothing at all without reaching the
  // store: no samples, no statistics, false from a request or a save.
  bool deliverNothing = false;
  // For a sample query: return these samples instead of asking the store.
  // For samples no store keeps (a value of another kind, a negative
  // duration) that readers must still cope with.
  std::optional<std::vector<health::Sample>> samples = std::nullopt;

  static ScriptedReply delivering(std::vector<health::Sample> samples) {
    return {std::nullopt, false, false, std::move(samples)};
  }
};

class FakeHealthStore final : public health::HealthStoreWrapper {
 public:
  // A new, empty store in which every type's access is authorized.
  FakeHealthStore();
  // Removes the store's file.
  ~FakeHealthStore() override;

  // ---- Set-up, through the local store's own file ---------------------------
  // Sources rank for cumulative sums in the order they first add a sample
  // until preferSources moves some to the top. Throws HealthStoreError for a
  // sample the store would refuse.
  void addSample(health::Sample sample, std::string sourceName = "Fake Watch");
  void preferSources(const std::vector<std::string>& names);
  void setReadAccess(const std::string& identifier, Access access);
  void setShareAccess(const std::string& identifier, Access access);
  void setAllAccess(Access access);
  // How the permission sheet answers a request that names an undecided type:
  // "Allow" with every switch on, or "Don't Allow".
  void setUndecidedAuthorizationAnswer(bool allow);
  // Queues `reply` for the next call of its kind, after any queued before.
  // A save whose answer the reply replaces (an error alone, or nothing)
  // never reaches the store, so it stores nothing.
  void scriptNext(StoreCall call, ScriptedReply reply);

  // ---- What happened ---------------------------------------------------------
  std::vector<StoreCall> calls() const;
  std::vector<health::SampleQuery> sampleQueries() const;
  std::vector<health::StatisticsQuery> statisticsQueries() const;
  struct AuthorizationCall {
    std::set<health::ObjectType> shareTypes;
    std::set<health::ObjectType> readTypes;
  };
  std::vector<AuthorizationCall> authorizationCalls() const;
  std::vector<std::vector<health::Sample>> saves() const;
  // Every sample the store holds, ordered by start, then insertion.
  std::vector<health::Sample> samples() const;

  // ---- HealthStore -----------------------------------------------------------
  std::vector<health::Sample> executeSampleQuery(health::SampleQuery query) override;
  std::optional<health::Statistics> executeStatisticsQuery(health::StatisticsQuery query) override;
  bool requestAuthorization(std::set<health::ObjectType> shareTypes, std::set<health::ObjectType> readTypes) override;
  bool saveObjects(std::vector<health::Sample> objects) override;

 protected:
  health::HealthStore& target() override { return *store_; }

 private:
  class Sheet;

  // Notes the call and takes the script waiting for it, if any.
  std::optional<ScriptedReply> record(StoreCall call);

  TemporaryDirectory directory_;
  LocalStoreSetup setup_;
  std::shared_ptr<Sheet> sheet_;

  mutable std::mutex mutex_;
  std::map<StoreCall, std::deque<ScriptedReply>> scripts_;
  std::vector<StoreCall> calls_;
  std::vector<health::SampleQuery> sampleQueries_;
  std::vector<health::StatisticsQuery> statisticsQueries_;
  std::vector<AuthorizationCall> authorizationCalls_;
  std::vector<std::vector<health::Sample>> saves_;

  std::unique_ptr<health::HealthStore> store_;
};

}  // namespace tarnwick::testing
