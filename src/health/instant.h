// Points in time as the platform's date type holds them: seconds since
// 1970-01-01 00:00:00 UTC in a double. No JSON number overflows it and
// fractions of a millisecond survive the round trip through the wire.
#pragma once

namespace tarnwick::health {

using Instant = double;

// The wire carries milliseconds; the store and the clock speak seconds.
constexpr double toMilliseconds(Instant instant) { return instant * 1000.0; }
constexpr Instant fromMilliseconds(double milliseconds) { return milliseconds / 1000.0; }

// The current instant, read from the system clock (or from the clock a test
// installed). Every call is a new reading.
Instant currentInstant();

// Replaces the clock for tests; nullptr restores the system clock.
using ClockFunction = Instant (*)();
void setClockForTesting(ClockFunction clock);

// The instant `days` calendar days before `instant` in the local time zone
// (TZ), keeping the wall-clock time across daylight-saving changes. Returns
// instant - days * 86400 when the calendar cannot represent the result.
Instant calendarDaysBefore(Instant instant, int days);

}  // namespace tarnwick::health
