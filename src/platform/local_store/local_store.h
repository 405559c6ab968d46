// The local store's implementation of the health store interface. Each call
// is queued to the store's one worker thread, which opens the database on
// first need and answers the handler from there.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "health/health_store.h"
#include "platform/local_store/database.h"
#include "platform/local_store/serial_worker.h"
#include "platform/permission_sheet.h"

namespace tarnwick::platform::local_store {

class LocalHealthStore final : public health::HealthStore {
 public:
  // `sheet` asks the person about undecided types.
  LocalHealthStore(std::string path, PermissionSheetOffer sheet);
  // Finishes the calls already queued. A permission sheet still open then
  // has its answer dropped.
  ~LocalHealthStore() override;

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
  // Lets a permission sheet answer after the store is gone: the answer is
  // then dropped instead of reaching a destroyed worker.
  struct Lifeline {
    std::mutex mutex;
    LocalHealthStore* store = nullptr;
  };

  // The open database; opens (and creates) it on first need. Worker only.
  Database& database();
  Database& writableDatabase();

  std::string path_;
  const PermissionSheetOffer sheetOffer_;
  std::unique_ptr<Database> database_;
  std::shared_ptr<Lifeline> lifeline_;
  // Last member: destroyed first, so queued tasks finish while the rest of
  // the store still exists.
  SerialWorker worker_;
};

}  // namespace tarnwick::platform::local_store
