// Units and quantities with the platform's unit-string grammar ("kg",
// "count/min", "mmol<180.15588000005408>/L", "kg/m.s^2"). Values convert
// between compatible units (same dimensions) exactly to double precision;
// converting between incompatible units is an error, never a silent number.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace tarnwick::health {

// SI prefixes accepted before base units ("mc" is micro).
enum class MetricPrefix { none, pico, nano, micro, milli, centi, deci, deca, hecto, kilo, mega, giga, tera, femto };

// Asking for a quantity's value in a unit of other dimensions.
class IncompatibleUnitsError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// A unit of measure: its dimensions (powers of mass, length, time,
// temperature, amount of substance, electric current, and the two scalar
// kinds "%" and "IU"), its size and, for a lone temperature on a shifted
// scale, its zero point. "count" is dimensionless, so "count/min" and "Hz"
// measure the same thing; "%" and "IU" are each a kind of their own and so
// compatible with nothing else.
//
// degC and degF convert affinely (0 degC is 273.15 K) only when they stand
// alone ("degC", "(degC)", "degC^1"). Inside a compound ("degC/min",
// "degF.s") they count as temperature differences: scale only, no offset.
class Unit {
 public:
  // The unit a text names, or nothing when the text is not a unit. Never
  // throws, whatever the text. Whitespace is not part of the grammar.
  // Exponents are integers within -127..127 and parentheses nest at most
  // 16 deep; texts beyond those limits are not units.
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

  // This unit divided by another ("count" / "min" is "count/min"). Throws
  // std::overflow_error when the quotient's exponents or size leave the
  // representable range (only units with absurd powers get there).
  Unit dividedBy(const Unit& divisor) const;

  // A text that fromString reads back as an equal unit: the text the unit
  // was parsed from, or the platform's usual text for factory units.
  const std::string& unitString() const { return text_; }

  // Same dimensions: a value in one can be expressed in the other.
  bool isCompatibleWith(const Unit& other) const;

  // `value` in this unit expressed in `target`, rounded once to double.
  // Throws IncompatibleUnitsError naming both units.
  double convert(double value, const Unit& target) const;

  // Same dimensions, size and zero point: the two name the same unit,
  // however written ("mg/dL" equals "cg/L").
  bool operator==(const Unit& other) const;

  // Number of independent dimensions tracked (mass, length, time, ...).
  static constexpr std::size_t kDimensionCount = 8;
  using Dimensions = std::array<std::int8_t, kDimensionCount>;

 private:
  // The size is mantissa * 10^exponent10 coherent units (grams, metres,
  // seconds, kelvins, moles, amperes): keeping SI prefixes as an exact
  // power of ten makes prefix-only conversions exact in long double.
  Unit(std::string text, long double mantissa, int exponent10, long double offset, Dimensions dimensions)
      : text_(std::move(text)),
        mantissa_(mantissa),
        exponent10_(exponent10),
        offset_(offset),
        dimensions_(dimensions) {}
  friend class UnitParser;

  // How many of `target` one of this unit is (offsets aside).
  long double ratioTo(const Unit& target) const;

  std::string text_;
  long double mantissa_ = 1;
  int exponent10_ = 0;
  long double offset_ = 0;  // kelvins at this unit's zero; only lone degC and degF have one
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
