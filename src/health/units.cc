#include "health/units.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

// The grammar, as a recursive descent over the text without copying it:
//
//   quotient := product ( "/" product )?
//   product  := factor ( ( "." | "*" ) factor )*
//   factor   := primary ( "^" integer )?
//   primary  := atom | "(" quotient ")"
//   atom     := name | name "<" molar-mass ">"
//
// so multiplication binds before the one division of a level, and a
// parenthesised group may hold a division of its own ("(count/min)/s").
namespace tarnwick::health {
namespace {

enum Axis : std::size_t { kMass, kLength, kTime, kTemperature, kAmount, kCurrent, kPercent, kInternationalUnit };

constexpr Unit::Dimensions along(Axis axis) {
  Unit::Dimensions d{};
  d[axis] = 1;
  return d;
}

constexpr Unit::Dimensions mechanical(int mass, int length, int time, int current = 0) {
  Unit::Dimensions d{};
  d[kMass] = static_cast<std::int8_t>(mass);
  d[kLength] = static_cast<std::int8_t>(length);
  d[kTime] = static_cast<std::int8_t>(time);
  d[kCurrent] = static_cast<std::int8_t>(current);
  return d;
}

constexpr Unit::Dimensions kScalar{};
constexpr Unit::Dimensions kMassDims = along(kMass);
constexpr Unit::Dimensions kLengthDims = along(kLength);
constexpr Unit::Dimensions kTimeDims = along(kTime);
constexpr Unit::Dimensions kTemperatureDims = along(kTemperature);
constexpr Unit::Dimensions kVolumeDims = mechanical(0, 3, 0);
constexpr Unit::Dimensions kEnergyDims = mechanical(1, 2, -2);
constexpr Unit::Dimensions kPressureDims = mechanical(1, -1, -2);

// A unit with a name of its own. Sizes are mantissa * 10^exponent10 in
// grams, metres, seconds, kelvins, moles and amperes, with the decimal
// definitions written as integers so that no constant is rounded twice.
struct NamedUnit {
  std::string_view name;
  long double mantissa;
  int exponent10;
  long double offset;
  Unit::Dimensions dimensions;
};

// Units that take SI prefixes.
constexpr NamedUnit kPrefixable[] = {
    {"g", 1, 0, 0, kMassDims},
    {"m", 1, 0, 0, kLengthDims},
    {"L", 1, -3, 0, kVolumeDims},
    {"l", 1, -3, 0, kVolumeDims},
    {"s", 1, 0, 0, kTimeDims},
    {"J", 1, 3, 0, kEnergyDims},  // kg·m²/s², and the mass axis counts grams
    {"K", 1, 0, 0, kTemperatureDims},
    {"Pa", 1, 3, 0, kPressureDims},
    {"Hz", 1, 0, 0, mechanical(0, 0, -1)},
    {"S", 1, -3, 0, mechanical(-1, -2, 3, 2)},
    {"V", 1, 3, 0, mechanical(1, 2, -3, -1)},
    {"mol", 1, 0, 0, along(kAmount)},
};

// Units that stand only as written. None of these names is a prefix glued
// to a prefixable name ("min" is not milli-"in", "ft" not femto-"t"), and no
// prefixable name starts with "a" or "c", so every name has one reading.
constexpr NamedUnit kUnprefixed[] = {
    {"oz", 45359237.0L / 16, -5, 0, kMassDims},
    {"lb", 45359237, -5, 0, kMassDims},
    {"st", 45359237LL * 14, -5, 0, kMassDims},
    {"in", 254, -4, 0, kLengthDims},
    {"ft", 254 * 12, -4, 0, kLengthDims},
    {"yd", 254 * 36, -4, 0, kLengthDims},
    {"mi", 254LL * 36 * 1760, -4, 0, kLengthDims},
    {"mmHg", 133322387415LL, -6, 0, kPressureDims},
    {"cmAq", 980665, -1, 0, kPressureDims},
    {"atm", 101325, 3, 0, kPressureDims},
    {"inHg", 3386389, 0, 0, kPressureDims},
    {"fl_oz_us", 295735295625LL, -16, 0, kVolumeDims},
    {"fl_oz_imp", 284130625, -13, 0, kVolumeDims},
    {"pt_us", 295735295625LL * 16, -16, 0, kVolumeDims},
    {"pt_imp", 284130625LL * 20, -13, 0, kVolumeDims},
    {"cup_us", 295735295625LL * 8, -16, 0, kVolumeDims},
    {"cup_imp", 284130625, -12, 0, kVolumeDims},
    {"min", 60, 0, 0, kTimeDims},
    {"hr", 3600, 0, 0, kTimeDims},
    {"d", 86400, 0, 0, kTimeDims},
    {"cal", 4184, 0, 0, kEnergyDims},
    {"kcal", 4184, 3, 0, kEnergyDims},
    {"Cal", 4184, 3, 0, kEnergyDims},
    {"degC", 1, 0, 273.15L, kTemperatureDims},
    {"degF", 5.0L / 9, 0, 45967.0L / 180, kTemperatureDims},  // 459.67 °F below 0 °F, in kelvins
    {"IU", 1, 0, 0, along(kInternationalUnit)},
    {"count", 1, 0, 0, kScalar},
    {"%", 1, 0, 0, along(kPercent)},
};

struct Prefix {
  std::string_view text;
  int exponent10;
};

// Indexed by MetricPrefix. No prefix begins another's text and then
// continues into a base name ("da"/"d", "mc"/"m"), so a split is unique.
constexpr Prefix kPrefixes[] = {
    {"", 0},   {"p", -12}, {"n", -9}, {"mc", -6}, {"m", -3}, {"c", -2}, {"d", -1},
    {"da", 1}, {"h", 2},   {"k", 3},  {"M", 6},   {"G", 9},  {"T", 12}, {"f", -15},
};

constexpr int kMaxPower = 127;         // exponents, and each dimension's power
constexpr int kMaxDepth = 16;          // parentheses
constexpr int kMaxExponent10 = 10000;  // far beyond any real unit, far inside int

// x * 10^n, exact while 10^|n| fits the long double mantissa.
long double scaledByTen(long double x, int n) {
  static const auto kExact = [] {
    std::array<long double, 28> powers{};
    long double p = 1;
    for (long double& power : powers) {
      power = p;
      p *= 10;
    }
    return powers;
  }();
  const int magnitude = std::abs(n);
  const long double power = magnitude < static_cast<int>(kExact.size())
                                ? kExact[static_cast<std::size_t>(magnitude)]
                                : std::pow(10.0L, magnitude);
  return n < 0 ? x / power : x * power;
}

// A unit while it is being built, with room to notice powers overflowing.
struct Term {
  long double mantissa = 1;
  int exponent10 = 0;
  long double offset = 0;
  std::array<int, Unit::kDimensionCount> dimensions{};
  bool lone = true;  // one atom to the first power: the only form that keeps an offset

  static Term of(const NamedUnit& unit, int prefixExponent10) {
    Term term;
    term.mantissa = unit.mantissa;
    term.exponent10 = unit.exponent10 + prefixExponent10;
    term.offset = unit.offset;
    for (std::size_t i = 0; i < term.dimensions.size(); ++i) term.dimensions[i] = unit.dimensions[i];
    return term;
  }

  bool withinLimits() const {
    if (!std::isfinite(mantissa) || mantissa == 0 || std::abs(exponent10) > kMaxExponent10) return false;
    for (int power : dimensions) {
      if (power < -kMaxPower || power > kMaxPower) return false;
    }
    return true;
  }

  bool multiplyBy(const Term& other, int sign) {
    mantissa = sign > 0 ? mantissa * other.mantissa : mantissa / other.mantissa;
    exponent10 += sign * other.exponent10;
    for (std::size_t i = 0; i < dimensions.size(); ++i) dimensions[i] += sign * other.dimensions[i];
    offset = 0;
    lone = false;
    return withinLimits();
  }

  bool raiseTo(int power) {
    if (power == 1) return true;
    long double result = 1;
    long double base = mantissa;
    for (unsigned k = static_cast<unsigned>(std::abs(power)); k != 0; k >>= 1) {
      if (k & 1U) result *= base;
      if (k > 1) base *= base;
    }
    mantissa = power < 0 ? 1 / result : result;
    exponent10 *= power;
    for (int& d : dimensions) d *= power;
    offset = 0;
    lone = false;
    return withinLimits();
  }

  Unit::Dimensions packedDimensions() const {
    Unit::Dimensions packed{};
    for (std::size_t i = 0; i < packed.size(); ++i) packed[i] = static_cast<std::int8_t>(dimensions[i]);
    return packed;
  }
};

const NamedUnit* findIn(std::string_view name, const auto& table) {
  for (const NamedUnit& unit : table) {
    if (unit.name == name) return &unit;
  }
  return nullptr;
}

// A name without a molar mass: an unprefixed unit, a bare base, or a
// prefix glued to a base.
std::optional<Term> lookUpName(std::string_view name) {
  if (const NamedUnit* unit = findIn(name, kUnprefixed)) return Term::of(*unit, 0);
  if (const NamedUnit* unit = findIn(name, kPrefixable)) return Term::of(*unit, 0);
  for (const Prefix& prefix : kPrefixes) {
    if (prefix.text.empty() || !name.starts_with(prefix.text)) continue;
    if (const NamedUnit* unit = findIn(name.substr(prefix.text.size()), kPrefixable)) {
      return Term::of(*unit, prefix.exponent10);
    }
  }
  return std::nullopt;
}

// The power of ten of the prefix before "mol" in `name`, or nothing when
// `name` is not a (prefixed) mole.
std::optional<int> molePrefix(std::string_view name) {
  if (!name.ends_with("mol")) return std::nullopt;
  const std::string_view text = name.substr(0, name.size() - 3);
  for (const Prefix& prefix : kPrefixes) {
    if (prefix.text == text) return prefix.exponent10;
  }
  return std::nullopt;
}

bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '%';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

class UnitParser {
 public:
  explicit UnitParser(std::string_view text) : text_(text) {}

  std::optional<Unit> parse() {
    Term term;
    if (!parseQuotient(term, 0) || pos_ != text_.size()) return std::nullopt;
    const long double size = scaledByTen(term.mantissa, term.exponent10);
    if (!std::isfinite(size) || size == 0) return std::nullopt;
    return Unit(std::string(text_), term.mantissa, term.exponent10, term.lone ? term.offset : 0,
                term.packedDimensions());
  }

 private:
  bool parseQuotient(Term& out, int depth) {
    if (!parseProduct(out, depth)) return false;
    if (!consume('/')) return true;
    Term divisor;
    return parseProduct(divisor, depth) && out.multiplyBy(divisor, -1);
  }

  bool parseProduct(Term& out, int depth) {
    if (!parseFactor(out, depth)) return false;
    while (consume('.') || consume('*')) {
      Term factor;
      if (!parseFactor(factor, depth) || !out.multiplyBy(factor, +1)) return false;
    }
    return true;
  }

  bool parseFactor(Term& out, int depth) {
    if (!parsePrimary(out, depth)) return false;
    if (!consume('^')) return true;
    const std::optional<int> power = parseInteger();
    return power && out.raiseTo(*power);
  }

  bool parsePrimary(Term& out, int depth) {
    if (!consume('(')) return parseAtom(out);
    return depth < kMaxDepth && parseQuotient(out, depth + 1) && consume(')');
  }

  bool parseAtom(Term& out) {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && isNameCharacter(text_[pos_])) ++pos_;
    const std::string_view name = text_.substr(start, pos_ - start);
    if (name.empty()) return false;
    std::optional<Term> term = consume('<') ? parseMole(name) : lookUpName(name);
    if (!term) return false;
    out = *term;
    return true;
  }

  // "mol<M>" is M grams: a mole of a substance of molar mass M g/mol.
  std::optional<Term> parseMole(std::string_view name) {
    const std::optional<int> prefixExponent10 = molePrefix(name);
    const std::size_t close = text_.find('>', pos_);
    if (!prefixExponent10 || close == std::string_view::npos) return std::nullopt;
    const std::string_view digits = text_.substr(pos_, close - pos_);
    // from_chars would also take "-1", "inf" and "nan"; a molar mass starts with a digit.
    if (digits.empty() || !(isDigit(digits.front()) || digits.front() == '.')) return std::nullopt;
    long double molarMass = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), molarMass);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    if (!std::isfinite(molarMass) || molarMass <= 0) return std::nullopt;
    pos_ = close + 1;
    Term term;
    term.mantissa = molarMass;
    term.exponent10 = *prefixExponent10;
    term.dimensions[kMass] = 1;
    return term;
  }

  std::optional<int> parseInteger() {
    const bool negative = consume('-');
    const std::size_t start = pos_;
    int magnitude = 0;
    while (pos_ < text_.size() && isDigit(text_[pos_])) {
      magnitude = magnitude * 10 + (text_[pos_] - '0');
      if (magnitude > kMaxPower) return std::nullopt;
      ++pos_;
    }
    if (pos_ == start) return std::nullopt;
    return negative ? -magnitude : magnitude;
  }

  bool consume(char c) {
    if (pos_ >= text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

namespace {

// A named unit as a Unit, for the factories; `name` is always in the tables.
Unit named(std::string_view prefix, std::string_view name) {
  std::string text(prefix);
  text += name;
  return *Unit::fromString(text);
}

std::string_view prefixText(MetricPrefix prefix) { return kPrefixes[static_cast<std::size_t>(prefix)].text; }

bool containsAny(const std::string& text, std::string_view characters) {
  return text.find_first_of(characters) != std::string::npos;
}

}  // namespace

std::optional<Unit> Unit::fromString(std::string_view text) { return UnitParser(text).parse(); }

Unit Unit::count() { return named("", "count"); }
Unit Unit::percent() { return named("", "%"); }
Unit Unit::second(MetricPrefix prefix) { return named(prefixText(prefix), "s"); }
Unit Unit::minute() { return named("", "min"); }
Unit Unit::hour() { return named("", "hr"); }
Unit Unit::gram(MetricPrefix prefix) { return named(prefixText(prefix), "g"); }
Unit Unit::pound() { return named("", "lb"); }
Unit Unit::meter(MetricPrefix prefix) { return named(prefixText(prefix), "m"); }
Unit Unit::liter(MetricPrefix prefix) { return named(prefixText(prefix), "L"); }
Unit Unit::kilocalorie() { return named("", "kcal"); }

Unit Unit::dividedBy(const Unit& divisor) const {
  // Each level holds one "/", and the divisor's own product must divide as
  // a whole, so compound sides are grouped.
  std::string text = containsAny(text_, "/") ? "(" + text_ + ")" : text_;
  text += '/';
  text += containsAny(divisor.text_, "./*") ? "(" + divisor.text_ + ")" : divisor.text_;

  Term term;
  term.mantissa = mantissa_;
  term.exponent10 = exponent10_;
  for (std::size_t i = 0; i < kDimensionCount; ++i) term.dimensions[i] = dimensions_[i];
  Term other;
  other.mantissa = divisor.mantissa_;
  other.exponent10 = divisor.exponent10_;
  for (std::size_t i = 0; i < kDimensionCount; ++i) other.dimensions[i] = divisor.dimensions_[i];
  if (!term.multiplyBy(other, -1) || !std::isfinite(scaledByTen(term.mantissa, term.exponent10))) {
    throw std::overflow_error("Dividing " + text_ + " by " + divisor.text_ +
                              " gives a unit beyond the representable range.");
  }
  return Unit(std::move(text), term.mantissa, term.exponent10, 0, term.packedDimensions());
}

bool Unit::isCompatibleWith(const Unit& other) const { return dimensions_ == other.dimensions_; }

long double Unit::ratioTo(const Unit& target) const {
  return scaledByTen(mantissa_ / target.mantissa_, exponent10_ - target.exponent10_);
}

double Unit::convert(double value, const Unit& target) const {
  if (!isCompatibleWith(target)) {
    throw IncompatibleUnitsError("Cannot express a value in " + text_ + " as " + target.text_ +
                                 ": the units measure different things.");
  }
  const long double amount = value;
  if (offset_ == 0 && target.offset_ == 0) return static_cast<double>(amount * ratioTo(target));
  // Shifted scales meet in kelvins.
  const long double kelvins = amount * scaledByTen(mantissa_, exponent10_) + offset_;
  return static_cast<double>((kelvins - target.offset_) / scaledByTen(target.mantissa_, target.exponent10_));
}

bool Unit::operator==(const Unit& other) const {
  if (dimensions_ != other.dimensions_ || offset_ != other.offset_) return false;
  // Sizes reached by different products of the same constants may differ in
  // the last long double bits; no two real units are this close.
  return std::fabs(ratioTo(other) - 1) <= 1e-15L;
}

}  // namespace tarnwick::health
