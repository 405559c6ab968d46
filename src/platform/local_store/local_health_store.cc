#include "platform/local_store/local_health_store.h"

#include <cstdlib>
#include <exception>
#include <mutex>

#include "platform/local_store/local_store.h"

namespace tarnwick::platform {

std::string defaultLocalStorePath() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && dataHome[0] == '/') return std::string(dataHome) + "/tarnwick/health.sqlite3";
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.local/share/tarnwick/health.sqlite3";
}

std::unique_ptr<health::HealthStore> makeLocalHealthStore(std::string path) {
  return std::make_unique<local_store::LocalHealthStore>(std::move(path));
}

}  // namespace tarnwick::platform
