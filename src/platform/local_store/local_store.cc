#include "platform/local_store/local_store.h"

#include <cstdlib>
#include <optional>

#include "platform/local_store/local_health_store.h"
#include "protocol/utf8.h"

namespace tarnwick::platform::local_store {
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

// The local store of a process whose environment gives it no place: every
// call fails with why.
class UnlocatedHealthStore final : public health::HealthStoreWrapper {
 public:
  explicit UnlocatedHealthStore(health::HealthStoreError error) : error_(std::move(error)) {}

 protected:
  health::HealthStore& target() override { throw error_; }

 private:
  const health::HealthStoreError error_;
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
  return std::make_unique<LocalHealthStore>(std::move(path), std::move(sheet));
}

std::unique_ptr<health::HealthStore> makeDefaultLocalHealthStore(PermissionSheetOffer sheet) {
  try {
    return makeLocalHealthStore(defaultLocalStorePath(), std::move(sheet));
  } catch (const health::HealthStoreError& error) {
    return std::make_unique<UnlocatedHealthStore>(error);
  }
}

}  // namespace tarnwick::platform::local_store
