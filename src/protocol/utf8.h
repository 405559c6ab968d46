// UTF-8 checks for texts that leave the process.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::protocol {

// The length of the well-formed UTF-8 sequence that starts at text[i], or 0
// when there is none.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i);

// True when text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool isValidUtf8(std::string_view text);

// At most maxCharacters characters of text, with every byte that is not part
// of a well-formed sequence shown as \xHH and control characters as \uHHHH,
// and "..." appended when text was cut.
std::string printableUtf8(std::string_view text, std::size_t maxCharacters);

}  // namespace tarnwick::protocol
