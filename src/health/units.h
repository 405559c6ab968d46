// Units and quantities with the platform's unit-string grammar ("kg",
// "count/min", "mmol<180.15588000005408>/L", "kg/m.s^2"). Values convert
// between compatible units (same dimensions) exactly to double precision;
// converting between incompatible units is an error, never a silent number.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnwick::health {

// SI prefixes accepted before base units ("mc" is micro).
enum class MetricPrefix { none, pico, nano, micro, milli, centi, deci, deca, hecto, kilo, mega, giga, tera, femto };

// Asking for a quantity's value in a unit of other dimensions.
class IncompatibleUnitsError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

class Unit {
 public:
  // The unit a text names, or nothing when the text is not a unit. Never
  // throws, whatever the text.
  static std::optional<Unit> fromString(std::string_view text);

  static Unit count();
  static Unit percent();
  static Unit second(MetricPrefix prefix = MetricPrefix::none);
  static Unit minute();
  static Unit hour();
  static Unit gram(MetricPrefix prefix = MetricPrefix::none);
  static Unit pound();
  static Unit meter(MetricPrefix prefix = MetricPrefix::none);
  static Unit liter(MetricPrefix prefix = MetricPrefix::none);
  static Unit kilocalorie();

  // This unit divided by another ("count" / "min" is "count/min").
  Unit dividedBy(const Unit& divisor) const;

  // A text that fromString reads back as this unit.
  const std::string& unitString() const { return text_; }

  // Same dimensions: a value in one can be expressed in the other.
  bool isCompatibleWith(const Unit& other) const;

  // `value` in this unit expressed in `target`. Throws IncompatibleUnitsError.
  double convert(double value, const Unit& target) const;

  // Same dimensions and scale: the two name the same unit, however written.
  bool operator==(const Unit& other) const;

  // Number of independent dimensions tracked (mass, length, time, ...).
  static constexpr std::size_t kDimensionCount = 8;
  using Dimensions = std::array<std::int8_t, kDimensionCount>;

 private:
  Unit(std::string text, long double scale, long double offset, Dimensions dimensions)
      : text_(std::move(text)), scale_(scale), offset_(offset), dimensions_(dimensions) {}
  friend class UnitParser;

  std::string text_;
  long double scale_ = 1;   // one of this unit in the coherent unit of its dimensions
  long double offset_ = 0;  // only temperatures on shifted scales (degC, degF) have one
  Dimensions dimensions_{};
};

// An amount in a unit (quantityWithUnit:doubleValue:).
class Quantity {
 public:
  Quantity(Unit unit, double value) : unit_(std::move(unit)), value_(value) {}

  // The amount in `unit` (doubleValueForUnit:). Throws IncompatibleUnitsError.
  double doubleValueForUnit(const Unit& unit) const { return unit_.convert(value_, unit); }
  bool isCompatibleWithUnit(const Unit& unit) const { return unit_.isCompatibleWith(unit); }

  const Unit& unit() const { return unit_; }
  double value() const { return value_; }

  bool operator==(const Quantity& other) const = default;

 private:
  Unit unit_;
  double value_;
};

}  // namespace tarnwick::health
