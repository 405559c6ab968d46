// The unit words a caller naturally sends for a metric beside the platform's
// unit grammar: the unit text "sync" answers with ("bpm", "steps") and the
// customary spelling of glucose in millimoles ("mmol/L"). Each is an alias of
// a grammar text, so the grammar itself stays the platform's.
#pragma once

#include <string_view>

#include "health/metric_catalogue.h"

namespace tarnwick::writeback {

// The grammar text to read a caller's unit text as for metric: the text an
// alias stands for, or the text itself when it is no alias of metric.
std::string_view unitTextFor(const health::MetricEntry& metric, std::string_view text);

// The units metric takes, as a warning lists them ("mg/dL or mmol/L"); empty
// for metrics that hold no quantity.
std::string_view acceptedUnitsText(const health::MetricEntry& metric);

}  // namespace tarnwick::writeback
