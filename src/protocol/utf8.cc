#include "protocol/utf8.h"

#include <cstdint>

namespace tarnwick::protocol {
namespace {

// Length of the well-formed sequence starting at text[i], or 0.
std::size_t sequenceLength(std::string_view text, std::size_t i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length;
  std::uint32_t minimum;
  std::uint32_t code;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, minimum = 0x80, code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, minimum = 0x800, code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, minimum = 0x10000, code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = sequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string printableUtf8(std::string_view text, std::size_t maxCharacters) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  std::size_t characters = 0;
  std::size_t i = 0;
  for (; i < text.size() && characters < maxCharacters; ++characters) {
    std::size_t length = sequenceLength(text, i);
    auto lead = static_cast<unsigned char>(text[i]);
    if (length == 0) {
      shown += "\\x";
      shown += kHex[lead >> 4];
      shown += kHex[lead & 0xF];
      i += 1;
    } else if (lead < 0x20 || lead == 0x7F) {
      shown += "\\u00";
      shown += kHex[lead >> 4];
      shown += kHex[lead & 0xF];
      i += 1;
    } else {
      shown.append(text.substr(i, length));
      i += length;
    }
  }
  if (i < text.size()) shown += "...";
  return shown;
}

}  // namespace tarnwick::protocol
