#include "protocol/json_parse_errors.h"

#include "protocol/utf8.h"

namespace tarnwick::protocol {
namespace {

// The parser's exception ids come in families of a hundred: 1xx for text it
// cannot parse, 4xx for a value out of range (a number beyond a double).
constexpr int kSyntaxFamily = 1;
constexpr int kRangeFamily = 4;

// Turns the parser's syntax error into one plain sentence:
// "The request is not valid JSON at line 1, column 5: invalid literal, near 'tru'."
// The position is the parser's own: it counts columns in bytes and, after
// stepping back over a line feed, reports column 0, which a recount of the
// text would not reproduce.
std::string describeSyntaxError(std::string_view subject, const std::string& libraryMessage) {
  std::string where;
  if (auto at = libraryMessage.find("at line "); at != std::string::npos) {
    auto colon = libraryMessage.find(':', at);
    where = " " + libraryMessage.substr(at, colon == std::string::npos ? std::string::npos : colon - at);
  }
  // The text after the position reads
  //   "<what> - <detail>[; last read: '<token>'][; expected <token kind>]"
  // where <detail> may hold "; expected" of its own and <token> is raw input
  // (any bytes at all), so the token is cut out from both ends.
  std::string detail;
  std::string nearText;
  std::string expected;
  if (auto dash = libraryMessage.find(" - "); dash != std::string::npos) {
    detail = libraryMessage.substr(dash + 3);
  } else if (auto colon = libraryMessage.find(": "); colon != std::string::npos) {
    detail = libraryMessage.substr(colon + 2);
  } else {
    detail = libraryMessage;
  }
  constexpr std::string_view kLastRead = "; last read: '";
  constexpr std::string_view kExpected = "'; expected ";
  if (auto last = detail.find(kLastRead); last != std::string::npos) {
    std::string rest = detail.substr(last + kLastRead.size());
    detail.erase(last);
    if (auto expect = rest.rfind(kExpected); expect != std::string::npos) {
      expected = rest.substr(expect + kExpected.size());
      rest.erase(expect);
    } else if (!rest.empty() && rest.back() == '\'') {
      rest.pop_back();
    }
    nearText = std::move(rest);
  } else if (auto expect = detail.rfind("; expected "); expect != std::string::npos) {
    expected = detail.substr(expect + 11);
    detail.erase(expect);
  }
  // Only the parser's own words are left in detail and expected, but they
  // are made printable all the same: a raw byte would make the whole answer
  // unencodable.
  constexpr std::size_t kMaxWords = 200;
  detail = printableUtf8(detail, kMaxWords);
  expected = printableUtf8(expected, kMaxWords);
  std::string sentence = std::string(subject) + " is not valid JSON" + where + ": " + detail;
  if (!nearText.empty()) {
    constexpr std::size_t kMaxNear = 40;
    sentence += ", near '" + printableUtf8(nearText, kMaxNear) + "'";
  }
  if (!expected.empty()) sentence += "; expected " + expected;
  if (sentence.back() != '.') sentence += '.';
  return sentence;
}

// The parser names a number beyond a double as "number overflow parsing
// '<text>'"; the sentence quotes the number.
std::string describeNumberOverflow(std::string_view subject, const std::string& libraryMessage) {
  std::string number;
  if (auto open = libraryMessage.find('\''); open != std::string::npos) {
    number = libraryMessage.substr(open + 1);
    if (!number.empty() && number.back() == '\'') number.pop_back();
  }
  constexpr std::size_t kMaxNumber = 40;
  return std::string(subject) + " holds a number too large for a double: '" + printableUtf8(number, kMaxNumber) +
         "'.";
}

// "line 2, column 7" of the byte at offset: lines from 1, columns in bytes
// from 1.
std::string positionOf(std::string_view text, std::size_t offset) {
  std::size_t line = 1;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(offset - lineStart + 1);
}

}  // namespace

std::string describeNulByte(std::string_view subject, std::string_view text, std::size_t nulAt) {
  return std::string(subject) + " is not valid JSON at " + positionOf(text, nulAt) + ": it holds a NUL byte.";
}

std::string describeJsonParseFailure(std::string_view subject, std::string_view text, std::size_t nulAt,
                                     const JsonParseFailure& failure) {
  const std::string& message = failure.libraryMessage;
  switch (failure.id / 100) {
    case kSyntaxFamily:
      // The parser reads only up to the first NUL, so running out of input
      // there means the NUL is what is wrong.
      if (nulAt != std::string_view::npos && message.find("unexpected end of input") != std::string::npos) {
        return describeNulByte(subject, text, nulAt);
      }
      return describeSyntaxError(subject, message);
    case kRangeFamily:
      return describeNumberOverflow(subject, message);
    default: {
      // Not expected from parsing; keep the sentence free of the parser's
      // bracketed prefix all the same.
      std::string plain = message;
      if (auto close = plain.find("] "); plain.starts_with("[json.exception.") && close != std::string::npos) {
        plain.erase(0, close + 2);
      }
      return std::string(subject) + " cannot be read as JSON: " + plain + ".";
    }
  }
}

}  // namespace tarnwick::protocol
