// Made-up but plausible health data for demonstrations and benchmarks:
// steps and heart rate every few minutes, nightly sleep stages, daily
// weight, heart-rate variability and glucose, and workouts of several kinds,
// from two sources. A day holds 6,000 to 13,000 steps in waking hours (the
// phone counting a subset of the tracker's, over the same slots) and a night
// 6 to 9 hours of sleep samples that do not overlap. The same seed always
// gives the same history.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "health/samples.h"

namespace tarnwick::tools {

// The sources synthetic samples carry; used to replace earlier synthetic
// data without touching anything else.
inline constexpr std::string_view kWatchSource = "Wrist Tracker";
inline constexpr std::string_view kPhoneSource = "Pocket Phone";

// Calls `emit` with every sample of `days` days ending at `end`, in time
// order within each day.
void synthesiseHistory(int days, health::Instant end, const std::function<void(const health::Sample&)>& emit);

}  // namespace tarnwick::tools
