#include "protocol/utf8.h"

#include <array>

namespace tarnwick::protocol {
namespace {

struct ByteRange {
  unsigned char low, high;
};

// The well-formed sequences by lead byte, with the range each following byte
// must lie in; the ranges leave out overlong forms, surrogates and code
// points above U+10FFFF.
struct SequenceForm {
  ByteRange lead;
  std::size_t tailLength;
  std::array<ByteRange, 3> tail;
};

constexpr ByteRange kTail{0x80, 0xBF};
constexpr std::array<SequenceForm, 9> kForms = {{
    {{0x00, 0x7F}, 0, {}},
    {{0xC2, 0xDF}, 1, {kTail}},
    {{0xE0, 0xE0}, 2, {ByteRange{0xA0, 0xBF}, kTail}},
    {{0xE1, 0xEC}, 2, {kTail, kTail}},
    {{0xED, 0xED}, 2, {ByteRange{0x80, 0x9F}, kTail}},
    {{0xEE, 0xEF}, 2, {kTail, kTail}},
    {{0xF0, 0xF0}, 3, {ByteRange{0x90, 0xBF}, kTail, kTail}},
    {{0xF1, 0xF3}, 3, {kTail, kTail, kTail}},
    {{0xF4, 0xF4}, 3, {ByteRange{0x80, 0x8F}, kTail, kTail}},
}};

}  // namespace

std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  for (const SequenceForm& form : kForms) {
    if (byte(i) < form.lead.low || byte(i) > form.lead.high) continue;
    for (std::size_t k = 0; k < form.tailLength; ++k) {
      std::size_t at = i + 1 + k;
      if (at >= text.size() || byte(at) < form.tail[k].low || byte(at) > form.tail[k].high) return 0;
    }
    return 1 + form.tailLength;
  }
  return 0;
}

bool isValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = utf8SequenceLength(text, i);
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
    std::size_t length = utf8SequenceLength(text, i);
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
