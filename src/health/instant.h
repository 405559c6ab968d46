// Points in time as the platform's date type holds them: seconds since
// 1970-01-01 00:00:00 UTC in a double. No JSON number overflows it and
// fractions of a millisecond survive the round trip through the wire.
#pragma once

namespace tarnwick::health {

using Instant = double;

// The wire carries milliseconds; the store and the clock speak seconds.
constexpr double toMilliseconds(Instant instant) { return instant * 1000.0; }
constexpr Instant fromMilliseconds(double milliseconds) { return milliseconds / 1000.0; }

// Where "now" comes from. Handlers are given one: the process passes the
// system clock, tests a clock whose readings they choose.
class Clock {
 public:
  virtual ~Clock() = default;
  // The current instant. Every call is a new reading; any thread.
  virtual Instant now() const = 0;
};

// The system's wall clock. Lives for the whole process.
const Clock& systemClock();

// The instant `days` calendar days before `instant` in the local time zone
// (TZ), keeping the wall-clock time across daylight-saving changes. Returns
// instant - days * 86400 when the calendar cannot represent the result.
Instant calendarDaysBefore(Instant instant, int days);

}  // namespace tarnwick::health
