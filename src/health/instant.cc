#include "health/instant.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace tarnwick::health {
namespace {

class SystemClock final : public Clock {
 public:
  Instant now() const override {
    auto since1970 = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(since1970).count();
  }
};

// mktime answers -1 both on failure and for the last second of 1969; on
// success it has normalised `expected` to the local time of its answer.
bool isLocalTime(std::time_t seconds, const std::tm& expected) {
  std::tm actual{};
  if (!localtime_r(&seconds, &actual)) return false;
  return actual.tm_year == expected.tm_year && actual.tm_mon == expected.tm_mon &&
         actual.tm_mday == expected.tm_mday && actual.tm_hour == expected.tm_hour &&
         actual.tm_min == expected.tm_min && actual.tm_sec == expected.tm_sec;
}

}  // namespace

const Clock& systemClock() {
  static const SystemClock clock;
  return clock;
}

Instant calendarDaysBefore(Instant instant, int days) {
  const Instant fallback = instant - static_cast<double>(days) * 86400.0;
  if (!std::isfinite(instant) || std::fabs(instant) > 1e15) return fallback;
  double wholeSeconds = std::floor(instant);
  double fraction = instant - wholeSeconds;
  std::time_t seconds = static_cast<std::time_t>(wholeSeconds);
  std::tm local{};
  tzset();
  if (!localtime_r(&seconds, &local)) return fallback;
  local.tm_mday -= days;
  local.tm_isdst = -1;  // let the calendar decide whether the earlier day is in summer time
  std::time_t moved = std::mktime(&local);
  if (moved == static_cast<std::time_t>(-1) && !isLocalTime(moved, local)) return fallback;
  return static_cast<double>(moved) + fraction;
}

}  // namespace tarnwick::health
