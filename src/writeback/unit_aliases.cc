#include "writeback/unit_aliases.h"

namespace tarnwick::writeback {

std::string_view unitTextFor(const health::MetricEntry& metric, std::string_view text) {
  if (!metric.quantity) return text;
  // What "sync" answers with reads back as the unit it was given in.
  if (text == metric.unitText) return metric.quantity->defaultUnit.unitString();
  for (const health::UnitAlias& alias : metric.quantity->aliases) {
    if (alias.text == text) return alias.unit;
  }
  return text;
}

std::string_view acceptedUnitsText(const health::MetricEntry& metric) {
  return metric.quantity ? metric.quantity->acceptedUnits : std::string_view();
}

}  // namespace tarnwick::writeback
