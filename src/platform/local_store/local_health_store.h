// The local store's implementation of the health store interface. Calls run
// on the caller's thread, one at a time; the database is opened on first
// need.
#pragma once

#include <memory>
#include <string>

#include "health/health_store.h"
#include "platform/local_store/database.h"
#include "platform/permission_sheet.h"

namespace tarnwick::platform::local_store {

class LocalHealthStore final : public health::HealthStore {
 public:
  // `sheet` asks the person about undecided types.
  LocalHealthStore(std::string path, PermissionSheetOffer sheet);

  std::vector<health::Sample> executeSampleQuery(health::SampleQuery query) override;
  std::optional<health::Statistics> executeStatisticsQuery(health::StatisticsQuery query) override;
  bool requestAuthorization(std::set<health::ObjectType> shareTypes, std::set<health::ObjectType> readTypes) override;
  bool saveObjects(std::vector<health::Sample> objects) override;

 private:
  // The open database; opens (and creates) it on first need.
  Database& database();
  Database& writableDatabase();
  // Records the person's answer for the requested types; true for "Allow".
  bool recordAnswer(const PermissionSheetAnswer& answer, const std::set<health::ObjectType>& shareTypes,
                    const std::set<health::ObjectType>& readTypes);

  std::string path_;
  const PermissionSheetOffer sheetOffer_;
  std::unique_ptr<Database> database_;
};

}  // namespace tarnwick::platform::local_store
