#include "writeback/item_plausibility.h"

#include <charconv>

namespace tarnwick::writeback {
namespace {

constexpr double kMillisecondsPerSecond = 1000;

// Whether the instant a sent number names, read in some unit, lies in the
// window a real reading can: used to guess which unit the caller used.
bool isPlausibleInstant(health::Instant instant, health::Instant now) {
  return instant >= kEarliestPlausibleDate && instant <= now + kLatestPlausibleLeadSeconds;
}

// The reason for one sent date ("start" or "end"), or nothing when it is
// plausible. Written so that a NaN date is refused too.
std::optional<std::string> implausibleDate(std::string_view which, double milliseconds, health::Instant now) {
  health::Instant instant = health::fromMilliseconds(milliseconds);
  std::string subject = "its " + std::string(which) + " date";
  if (!(instant >= kEarliestPlausibleDate)) {
    std::string reason = subject + " is before 1980; timestamps are milliseconds since 1970";
    // The same number read as seconds would be a sensible date.
    if (isPlausibleInstant(milliseconds, now)) reason += ", and this looks like seconds";
    return reason;
  }
  if (!(instant <= now + kLatestPlausibleLeadSeconds)) {
    // The same number read as microseconds would be a sensible date.
    if (isPlausibleInstant(instant / kMillisecondsPerSecond, now)) {
      return subject +
             " is more than a day in the future; timestamps are milliseconds since 1970, and this looks "
             "like microseconds";
    }
    return subject +
           " is more than a day in the future, which no reading can be; check the date and the clock "
           "of the device that made it";
  }
  return std::nullopt;
}

std::string wholeHours(double seconds) {
  char digits[24];
  auto written = std::to_chars(digits, digits + sizeof digits, static_cast<long long>(seconds / 3600));
  return std::string(digits, written.ptr);
}

}  // namespace

std::optional<std::string> implausibleDates(const protocol::WritebackItem& item, const health::MetricEntry& metric,
                                            const health::Clock& clock) {
  if (!item.startDate && !item.endDate) return std::nullopt;
  health::Instant now = clock.now();
  if (item.startDate) {
    if (auto reason = implausibleDate("start", *item.startDate, now)) return reason;
  }
  if (item.endDate) {
    if (auto reason = implausibleDate("end", *item.endDate, now)) return reason;
  }
  // A session with only one date sent lasts no time (or until now, which
  // lies within a day of a plausible date), so only a pair is judged.
  if (metric.longestSeconds > 0 && item.startDate && item.endDate) {
    double seconds = health::fromMilliseconds(*item.endDate - *item.startDate);
    if (seconds > metric.longestSeconds) {
      return "it lasts more than " + wholeHours(metric.longestSeconds) + " hours, which no " + std::string(metric.key) +
             " does; its start and end dates likely belong to different sessions";
    }
  }
  return std::nullopt;
}

std::optional<std::string> implausibleAmount(const health::MetricEntry& metric, double amount) {
  if (amount < 0) {
    return "its value is negative, which no reading of " + std::string(metric.key) +
           " can be; a write adds readings, so send the corrected reading rather than a difference";
  }
  if (amount == 0 && !(metric.quantity && metric.quantity->zeroIsAReading)) {
    return "its value is 0, which is no reading of " + std::string(metric.key) +
           "; leave out a reading the device did not take rather than sending 0";
  }
  return std::nullopt;
}

}  // namespace tarnwick::writeback
