// The amount of a writeback item, read from its text the same way whatever
// the machine's locale: a full stop is the decimal point and nothing groups
// digits.
#pragma once

#include <optional>
#include <string_view>

namespace tarnwick::writeback {

// The number the whole text spells: an optional sign, then a decimal
// significand with optional fraction and exponent ("1e3", ".5", "2.E-1"), a
// hexadecimal one after "0x" or "0X" with optional fraction and binary
// exponent ("0x1.8p1"), or inf, infinity or nan in any letter case. Too large
// a magnitude gives infinity, too small a zero. Returns nothing for every
// other text: empty, starting with white space, or with anything left over
// after the number (trailing white space included). Never throws.
std::optional<double> parseNumberText(std::string_view text);

}  // namespace tarnwick::writeback
