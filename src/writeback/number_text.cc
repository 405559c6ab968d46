#include "writeback/number_text.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <system_error>

namespace tarnwick::writeback {
namespace {

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

bool isHexDigit(char c) { return isDecimalDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (asciiLower(text[i]) != word[i]) return false;
  }
  return true;
}

// from_chars reports a magnitude beyond the double range without saying in
// which direction; the text says it. `body` is a complete, unsigned
// significand-and-exponent text with a non-zero digit (anything else would
// not be out of range). True when it lies above the largest double.
bool overflowsUpward(std::string_view body, bool hexadecimal) {
  std::size_t mark = body.find_first_of(hexadecimal ? "pP" : "eE");
  std::string_view significand = body.substr(0, mark);

  // Exponent, saturated far beyond any double so that a thousand-digit
  // exponent cannot overflow the counter.
  constexpr std::int64_t kSaturation = std::int64_t{1} << 40;
  std::int64_t exponent = 0;
  if (mark != std::string_view::npos) {
    std::string_view digits = body.substr(mark + 1);
    bool negative = !digits.empty() && digits.front() == '-';
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) digits.remove_prefix(1);
    for (char c : digits) {
      if (exponent < kSaturation) exponent = exponent * 10 + (c - '0');
    }
    if (negative) exponent = -exponent;
  }

  // Place of the leading non-zero digit: the count of significant digits
  // before the point, or minus the zeros between the point and that digit.
  std::int64_t integerDigits = 0;
  std::int64_t fractionZeros = 0;
  bool afterPoint = false;
  bool significant = false;
  for (char c : significand) {
    if (c == '.') {
      afterPoint = true;
      if (significant) break;
      continue;
    }
    if (!afterPoint) {
      if (c != '0') significant = true;
      if (significant) ++integerDigits;
    } else if (c == '0') {
      ++fractionZeros;
    } else {
      break;
    }
  }
  std::int64_t place = integerDigits > 0 ? integerDigits : -fractionZeros;
  // A hexadecimal digit is four binary places; its exponent counts in two.
  std::int64_t scale = hexadecimal ? place * 4 + exponent : place + exponent;
  return scale > 0;
}

}  // namespace

std::optional<double> parseNumberText(std::string_view text) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  std::string_view rest = text;
  bool negative = false;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  if (equalsIgnoringCase(rest, "inf") || equalsIgnoringCase(rest, "infinity")) {
    return negative ? -kInfinity : kInfinity;
  }
  if (equalsIgnoringCase(rest, "nan")) return std::numeric_limits<double>::quiet_NaN();

  bool hexadecimal = rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X');
  if (hexadecimal) rest.remove_prefix(2);
  // from_chars takes a sign and the words itself; past this point only a
  // significand may follow, so it must start like one. This also rejects
  // the empty text and leading white space.
  if (rest.empty()) return std::nullopt;
  char first = rest.front();
  if (!(first == '.' || (hexadecimal ? isHexDigit(first) : isDecimalDigit(first)))) return std::nullopt;

  double magnitude = 0;
  const char* end = rest.data() + rest.size();
  auto [stop, status] = std::from_chars(rest.data(), end, magnitude,
                                        hexadecimal ? std::chars_format::hex : std::chars_format::general);
  if (stop != end) return std::nullopt;
  if (status == std::errc::result_out_of_range) {
    magnitude = overflowsUpward(rest, hexadecimal) ? kInfinity : 0.0;
  } else if (status != std::errc()) {
    return std::nullopt;
  }
  return negative ? -magnitude : magnitude;
}

}  // namespace tarnwick::writeback
