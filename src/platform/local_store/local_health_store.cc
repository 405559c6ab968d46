#include "platform/local_store/local_health_store.h"

#include <cstdlib>
#include <optional>

#include "platform/local_store/local_store.h"
#include "protocol/utf8.h"
#include "platform/local_store/serial_worker.h"

namespace tarnwick::platform {
namespace {

// An absolute path in the variable, or nothing.
std::optional<std::string> absoluteFolder(const char* name) {
  const char* value = std::getenv(name);
  if (!value || value[0] != '/') return std::nullopt;
  return std::string(value);
}

std::string whatIsWrong(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::string(name) + " is not set";
  if (value[0] == '\0') return std::string(name) + " is empty";
  return std::string(name) + " ('" + protocol::printableUtf8(value, 256) + "') is not an absolute path";
}

// The local store of a process whose environment gives it no place: look-ups
// answer as usual, everything that needs the database fails. Handlers run on
// a worker thread, as the local store's do, never on the caller's.
class UnlocatedHealthStore final : public health::HealthStore {
 public:
  explicit UnlocatedHealthStore(health::HealthStoreError error)
      : error_(std::move(error)), lookups_(makeLocalHealthStore("")) {}

  std::optional<health::ObjectType> quantityTypeForIdentifier(std::string_view identifier) override {
    return lookups_->quantityTypeForIdentifier(identifier);
  }
  std::optional<health::ObjectType> categoryTypeForIdentifier(std::string_view identifier) override {
    return lookups_->categoryTypeForIdentifier(identifier);
  }
  health::ObjectType workoutType() override { return lookups_->workoutType(); }
  std::optional<health::Unit> unitFromString(std::string_view text) override { return lookups_->unitFromString(text); }

  void executeSampleQuery(health::SampleQuery, health::SampleQueryHandler handler) override {
    worker_.post([this, handler = std::move(handler)] { handler(std::nullopt, error_); });
  }
  void executeStatisticsQuery(health::StatisticsQuery, health::StatisticsHandler handler) override {
    worker_.post([this, handler = std::move(handler)] { handler(std::nullopt, error_); });
  }
  void requestAuthorization(std::set<health::ObjectType>, std::set<health::ObjectType>,
                            health::CompletionHandler handler) override {
    worker_.post([this, handler = std::move(handler)] { handler(false, error_); });
  }
  void saveObjects(std::vector<health::Sample>, health::CompletionHandler handler) override {
    worker_.post([this, handler = std::move(handler)] { handler(false, error_); });
  }

 private:
  const health::HealthStoreError error_;
  std::unique_ptr<health::HealthStore> lookups_;
  // Last member: queued handlers finish before the rest is destroyed.
  local_store::SerialWorker worker_;
};

}  // namespace

std::string defaultLocalStorePath() {
  constexpr const char* kStoreUnderDataHome = "/tarnwick/health.sqlite3";
  if (auto dataHome = absoluteFolder("XDG_DATA_HOME")) return *dataHome + kStoreUnderDataHome;
  if (auto home = absoluteFolder("HOME")) return *home + "/.local/share" + kStoreUnderDataHome;
  throw health::HealthStoreError(health::HealthErrorCode::databaseInaccessible,
                                 "The health store has no location because " + whatIsWrong("XDG_DATA_HOME") + " and " +
                                     whatIsWrong("HOME") + "; set HOME (or XDG_DATA_HOME) to an absolute folder.");
}

std::unique_ptr<health::HealthStore> makeLocalHealthStore(std::string path, PermissionSheetOffer sheet) {
  return std::make_unique<local_store::LocalHealthStore>(std::move(path), std::move(sheet));
}

std::unique_ptr<health::HealthStore> makeDefaultLocalHealthStore(PermissionSheetOffer sheet) {
  try {
    return makeLocalHealthStore(defaultLocalStorePath(), std::move(sheet));
  } catch (const health::HealthStoreError& error) {
    return std::make_unique<UnlocatedHealthStore>(error);
  }
}

}  // namespace tarnwick::platform
