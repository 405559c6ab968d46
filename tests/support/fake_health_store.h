// A health store for tests: a local store on a file in a temporary
// directory, wrapped so that a test can see which calls a request caused
// and can make any one call answer with an error (alone or together with
// data) or with nothing at all. Every rule (types, permissions, queries,
// sums, saves) is the local store's own; this class only records, scripts
// and forwards. Handlers run on the local store's worker thread.
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
  std::optional<health::HealthStoreError> error;
  // With an error: also deliver what the store delivered.
  bool alsoDeliverData = false;
  // Without an error: deliver neither data nor error (success false for
  // completions).
  bool deliverNothing = false;
  // For a sample query: deliver these samples, and no error, instead of the
  // store's answer. For samples no store keeps (a value of another kind, a
  // negative duration) that readers must still cope with.
  std::optional<std::vector<health::Sample>> samples = std::nullopt;

  static ScriptedReply delivering(std::vector<health::Sample> samples) {
    return {std::nullopt, false, false, std::move(samples)};
  }
};

class FakeHealthStore final : public health::HealthStore {
 public:
  // A new, empty store in which every type's access is authorized.
  FakeHealthStore();
  // Finishes the calls still queued, then removes the store's file.
  ~FakeHealthStore() override;

  // ---- Set-up, through the local store's own file ---------------------------
  // Sources rank for cumulative sums in the order they first add a sample
  // until preferSources moves some to the top. Throws HealthStoreError for a
  // sample the store would refuse.
  void addSample(health::Sample sample, std::string sourceName = "Fake Watch");
  void preferSources(const std::vector<std::string>& names);
  void forgetType(std::string identifier);  // lookups for it give nothing
  void setReadAccess(const std::string& identifier, Access access);
  void setShareAccess(const std::string& identifier, Access access);
  void setAllAccess(Access access);
  // How the permission sheet answers a request that names an undecided type:
  // "Allow" with every switch on, or "Don't Allow".
  void setUndecidedAuthorizationAnswer(bool allow);
  // Queues `reply` for the next call of its kind, after any queued before.
  // A save whose answer the reply replaces (an error alone, or nothing)
  // stores nothing.
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
  class Sheet;

  // Notes the call and takes the script waiting for it, if any.
  std::optional<ScriptedReply> record(StoreCall call);
  bool forgotten(std::string_view identifier) const;

  TemporaryDirectory directory_;
  LocalStoreSetup setup_;
  std::shared_ptr<Sheet> sheet_;

  mutable std::mutex mutex_;
  std::set<std::string, std::less<>> forgottenTypes_;
  std::map<StoreCall, std::deque<ScriptedReply>> scripts_;
  std::vector<StoreCall> calls_;
  std::vector<health::SampleQuery> sampleQueries_;
  std::vector<health::StatisticsQuery> statisticsQueries_;
  std::vector<AuthorizationCall> authorizationCalls_;
  std::vector<std::vector<health::Sample>> saves_;

  // Last: destroyed first, so its queued calls finish while the rest exists.
  std::unique_ptr<health::HealthStore> store_;
};

}  // namespace tarnwick::testing
