#include "writeback/unit_aliases.h"

namespace tarnwick::writeback {
namespace {

// Glucose in millimoles per litre, with glucose's molar mass in g/mol.
constexpr std::string_view kGlucoseMillimolar = "mmol<180.15588000005408>/L";

struct Alias {
  std::string_view key;
  std::string_view text;
  std::string_view unit;
};

// Aliases beyond a row's own unit text, which every quantity row accepts.
constexpr Alias kAliases[] = {
    {"glucose", "mmol/L", kGlucoseMillimolar},
    {"glucose", "mmol/l", kGlucoseMillimolar},
};

struct AcceptedUnits {
  std::string_view key;
  std::string_view text;
};

// The units a person uses for each quantity; any unit of the same dimension
// is taken too, so these name the common ones, not all.
constexpr AcceptedUnits kAcceptedUnits[] = {
    {"steps", "count or steps"}, {"heart_rate", "count/min or bpm"}, {"hrv", "ms or s"},
    {"weight", "lb, kg or st"},  {"glucose", "mg/dL or mmol/L"},
};

}  // namespace

std::string_view unitTextFor(const health::MetricEntry& metric, std::string_view text) {
  // What "sync" answers with reads back as the unit it was given in.
  if (metric.kind == health::ObjectKind::quantity && text == metric.unitText) return metric.defaultUnit;
  for (const Alias& alias : kAliases) {
    if (alias.key == metric.key && alias.text == text) return alias.unit;
  }
  return text;
}

std::string_view acceptedUnitsText(const health::MetricEntry& metric) {
  for (const AcceptedUnits& accepted : kAcceptedUnits) {
    if (accepted.key == metric.key) return accepted.text;
  }
  return {};
}

}  // namespace tarnwick::writeback
