// The checks that catch an item a caller most likely got wrong although the
// store would take it: a date in seconds or microseconds instead of
// milliseconds, a session that spans days, a negative amount, a zero that is
// no reading. Each answer is the end of a warning sentence that says what is
// wrong and what the caller probably did.
#pragma once

#include <optional>
#include <string>

#include "health/instant.h"
#include "health/metric_catalogue.h"
#include "protocol/records.h"

namespace tarnwick::writeback {

// The earliest instant a sent date may name: 1980-01-01 00:00:00 UTC. Any
// wearable reading is later, and a millisecond timestamp before it is almost
// always one in seconds.
inline constexpr health::Instant kEarliestPlausibleDate = 315'532'800;

// How far after now a sent date may lie: a day covers every time zone and a
// clock that runs somewhat ahead.
inline constexpr double kLatestPlausibleLeadSeconds = 86'400;

// Why the dates the item carries (startDate, endDate) cannot be what the
// caller meant for metric, or nothing. Dates the item leaves out are not
// judged; clock is read once, and only when the item carries a date.
std::optional<std::string> implausibleDates(const protocol::WritebackItem& item, const health::MetricEntry& metric,
                                            const health::Clock& clock);

// Why amount (finite, in any unit of metric) cannot be a reading of metric:
// it is negative, or zero where zero means no reading. Nothing otherwise.
std::optional<std::string> implausibleAmount(const health::MetricEntry& metric, double amount);

}  // namespace tarnwick::writeback
