#include "health/units.h"

// Placeholder until the unit grammar lands.
namespace tarnwick::health {
std::optional<Unit> Unit::fromString(std::string_view) { return std::nullopt; }
Unit Unit::count() { return Unit("count", 1, 0, {}); }
Unit Unit::percent() { return Unit("%", 1, 0, {}); }
Unit Unit::second(MetricPrefix) { return Unit("s", 1, 0, {}); }
Unit Unit::minute() { return Unit("min", 60, 0, {}); }
Unit Unit::hour() { return Unit("hr", 3600, 0, {}); }
Unit Unit::gram(MetricPrefix) { return Unit("g", 1, 0, {}); }
Unit Unit::pound() { return Unit("lb", 1, 0, {}); }
Unit Unit::meter(MetricPrefix) { return Unit("m", 1, 0, {}); }
Unit Unit::liter(MetricPrefix) { return Unit("L", 1, 0, {}); }
Unit Unit::kilocalorie() { return Unit("kcal", 1, 0, {}); }
Unit Unit::dividedBy(const Unit& d) const { return Unit(text_ + "/" + d.text_, scale_ / d.scale_, 0, {}); }
bool Unit::isCompatibleWith(const Unit& o) const { return dimensions_ == o.dimensions_; }
double Unit::convert(double v, const Unit&) const { return v; }
bool Unit::operator==(const Unit& o) const { return text_ == o.text_; }
}  // namespace tarnwick::health
