#include "protocol/json_parse_errors.h"

#include <array>
#include <vector>

#include "protocol/utf8.h"

namespace tarnwick::protocol {
namespace {

// The parser's exception ids come in families of a hundred; 4xx is a value
// out of range (a number beyond a double).
constexpr int kRangeFamily = 4;

enum class TokenKind {
  none,
  beginArray,
  endArray,
  beginObject,
  endObject,
  nameSeparator,
  valueSeparator,
  string,
  number,
  literalTrue,
  literalFalse,
  literalNull,
  endOfInput,
  invalid,
};

// One token as the parser's scanner reads it. end counts the bytes the
// scanner has consumed once it is done: a number stops before the byte that
// ends it, a failed token just after the byte that failed it, and reading
// past the end of the text counts as one byte.
struct Token {
  TokenKind kind = TokenKind::none;
  std::size_t end = 0;
  std::string_view problem;  // what is wrong with an invalid token
};

// Control characters a string may not hold raw, by their ASCII names.
constexpr std::array<std::string_view, 32> kControlNames = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS", "HT",  "LF", "VT",  "FF", "CR", "SO", "SI",
    "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM", "SUB", "ESC", "FS", "GS", "RS", "US"};

// The short escape a control character also has, if any ("\n" for U+000A).
std::string_view shortEscapeOf(std::size_t c) {
  switch (c) {
    case '\b': return "\\b";
    case '\t': return "\\t";
    case '\n': return "\\n";
    case '\f': return "\\f";
    case '\r': return "\\r";
    default: return {};
  }
}

// The problem sentences for control characters, built once: "invalid
// string: control character U+000A (LF) must be escaped to \u000A or \n".
const std::array<std::string, 32>& controlCharacterProblems() {
  static const std::array<std::string, 32> problems = [] {
    std::array<std::string, 32> all;
    constexpr std::string_view kHex = "0123456789ABCDEF";
    for (std::size_t c = 0; c < all.size(); ++c) {
      std::string code = std::string("00") + kHex[c >> 4] + kHex[c & 0xF];
      all[c] = "invalid string: control character U+" + code + " (" + std::string(kControlNames[c]) +
               ") must be escaped to \\u" + code;
      if (std::string_view shortEscape = shortEscapeOf(c); !shortEscape.empty()) {
        all[c] += " or " + std::string(shortEscape);
      }
    }
    return all;
  }();
  return problems;
}

// Reads tokens the way the parser's scanner does (RFC 8259, UTF-8 checked
// byte by byte), to find the token the parser stopped on and why.
class Scanner {
 public:
  explicit Scanner(std::string_view text) : text_(text) {}

  // The token that starts at or after offset pos (whitespace skipped).
  Token scan(std::size_t pos) const {
    if (pos == 0 && byteAt(0) == 0xEF) {
      // A byte order mark is skipped; a broken one fails at its first wrong byte.
      if (byteAt(1) != 0xBB) return invalid(1, "invalid BOM; must be 0xEF 0xBB 0xBF if given");
      if (byteAt(2) != 0xBF) return invalid(2, "invalid BOM; must be 0xEF 0xBB 0xBF if given");
      pos = 3;
    }
    while (byteAt(pos) == ' ' || byteAt(pos) == '\t' || byteAt(pos) == '\n' || byteAt(pos) == '\r') ++pos;
    switch (byteAt(pos)) {
      case '[': return {TokenKind::beginArray, pos + 1, {}};
      case ']': return {TokenKind::endArray, pos + 1, {}};
      case '{': return {TokenKind::beginObject, pos + 1, {}};
      case '}': return {TokenKind::endObject, pos + 1, {}};
      case ':': return {TokenKind::nameSeparator, pos + 1, {}};
      case ',': return {TokenKind::valueSeparator, pos + 1, {}};
      case 't': return literal(pos, "true", TokenKind::literalTrue);
      case 'f': return literal(pos, "false", TokenKind::literalFalse);
      case 'n': return literal(pos, "null", TokenKind::literalNull);
      case '"': return string(pos);
      case kEnd: return {TokenKind::endOfInput, text_.size() + 1, {}};
      default:
        if (byteAt(pos) == '-' || isDigit(byteAt(pos))) return number(pos);
        return invalid(pos, "invalid literal");
    }
  }

 private:
  static constexpr int kEnd = -1;

  // The byte at pos, or kEnd past the text.
  int byteAt(std::size_t pos) const {
    return pos < text_.size() ? static_cast<unsigned char>(text_[pos]) : kEnd;
  }

  static bool isDigit(int c) { return c >= '0' && c <= '9'; }

  // A token that fails at the byte at pos (or at the end of the text).
  static Token invalid(std::size_t pos, std::string_view problem) {
    return {TokenKind::invalid, pos + 1, problem};
  }

  Token literal(std::size_t pos, std::string_view word, TokenKind kind) const {
    for (std::size_t i = 1; i < word.size(); ++i) {
      if (byteAt(pos + i) != word[i]) return invalid(pos + i, "invalid literal");
    }
    return {kind, pos + word.size(), {}};
  }

  Token number(std::size_t pos) const {
    std::size_t at = pos;
    if (byteAt(at) == '-') {
      ++at;
      if (!isDigit(byteAt(at))) return invalid(at, "invalid number; expected digit after '-'");
    }
    // A leading zero stands alone: "01" is the number 0 followed by 1.
    if (byteAt(at++) != '0') {
      while (isDigit(byteAt(at))) ++at;
    }
    if (byteAt(at) == '.') {
      ++at;
      if (!isDigit(byteAt(at))) return invalid(at, "invalid number; expected digit after '.'");
      while (isDigit(byteAt(at))) ++at;
    }
    if (byteAt(at) == 'e' || byteAt(at) == 'E') {
      ++at;
      if (byteAt(at) == '+' || byteAt(at) == '-') {
        ++at;
        if (!isDigit(byteAt(at))) return invalid(at, "invalid number; expected digit after exponent sign");
      } else if (!isDigit(byteAt(at))) {
        return invalid(at, "invalid number; expected '+', '-', or digit after exponent");
      }
      while (isDigit(byteAt(at))) ++at;
    }
    return {TokenKind::number, at, {}};
  }

  // The value of four hex digits at pos, or -1 with bad set to the offset of
  // the first byte that is not one.
  int hexQuad(std::size_t pos, std::size_t& bad) const {
    int value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      int c = byteAt(pos + i);
      int digit = isDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
      if (digit < 0) {
        bad = pos + i;
        return -1;
      }
      value = value * 16 + digit;
    }
    return value;
  }

  // A \u escape whose "u" is at pos. Returns the offset after it, or the
  // invalid token.
  Token unicodeEscape(std::size_t pos, std::size_t& next) const {
    constexpr std::string_view kNotHex = "invalid string: '\\u' must be followed by 4 hex digits";
    constexpr std::string_view kLoneHigh = "invalid string: surrogate U+D800..U+DBFF must be followed by U+DC00..U+DFFF";
    std::size_t bad = 0;
    int first = hexQuad(pos + 1, bad);
    if (first < 0) return invalid(bad, kNotHex);
    next = pos + 5;
    if (first >= 0xDC00 && first <= 0xDFFF) {
      return invalid(next - 1, "invalid string: surrogate U+DC00..U+DFFF must follow U+D800..U+DBFF");
    }
    if (first < 0xD800 || first > 0xDBFF) return {};
    if (byteAt(next) != '\\') return invalid(next, kLoneHigh);
    if (byteAt(next + 1) != 'u') return invalid(next + 1, kLoneHigh);
    int second = hexQuad(next + 2, bad);
    if (second < 0) return invalid(bad, kNotHex);
    next += 6;
    if (second < 0xDC00 || second > 0xDFFF) return invalid(next - 1, kLoneHigh);
    return {};
  }

  Token string(std::size_t pos) const {
    std::size_t at = pos + 1;
    std::size_t bad = 0;
    for (;;) {
      int c = byteAt(at);
      if (c == kEnd) return invalid(at, "invalid string: missing closing quote");
      if (c == '"') return {TokenKind::string, at + 1, {}};
      if (c < 0x20) return invalid(at, controlCharacterProblems()[static_cast<std::size_t>(c)]);
      if (c == '\\') {
        int escaped = byteAt(at + 1);
        if (escaped == 'u') {
          if (Token failed = unicodeEscape(at + 1, at); failed.kind == TokenKind::invalid) return failed;
        } else if (escaped == '"' || escaped == '\\' || escaped == '/' || escaped == 'b' || escaped == 'f' ||
                   escaped == 'n' || escaped == 'r' || escaped == 't') {
          at += 2;
        } else {
          return invalid(at + 1, "invalid string: forbidden character after backslash");
        }
      } else if (std::size_t length = utf8SequenceLength(text_, at, &bad)) {
        at += length;
      } else {
        return invalid(bad, "invalid string: ill-formed UTF-8 byte");
      }
    }
  }

  std::string_view text_;
};

// What the parser was looking for when it stopped, and its name for it.
enum class Expected { value, objectKey, nameSeparator, objectEnd, arrayEnd, endOfInput };

std::string_view nameOf(Expected expected) {
  switch (expected) {
    case Expected::value: return "'[', '{', or a literal";
    case Expected::objectKey: return "string literal";
    case Expected::nameSeparator: return "':'";
    case Expected::objectEnd: return "'}'";
    case Expected::arrayEnd: return "']'";
    case Expected::endOfInput: return "end of input";
  }
  return "";
}

std::string_view nameOf(TokenKind kind) {
  switch (kind) {
    case TokenKind::beginArray: return "'['";
    case TokenKind::endArray: return "']'";
    case TokenKind::beginObject: return "'{'";
    case TokenKind::endObject: return "'}'";
    case TokenKind::nameSeparator: return "':'";
    case TokenKind::valueSeparator: return "','";
    case TokenKind::string: return "string literal";
    case TokenKind::number: return "number literal";
    case TokenKind::literalTrue: return "true literal";
    case TokenKind::literalFalse: return "false literal";
    case TokenKind::literalNull: return "null literal";
    case TokenKind::endOfInput: return "end of input";
    case TokenKind::none:
    case TokenKind::invalid: break;
  }
  return "";
}

// The token the parser stopped on, and what it expected there. The text
// before that token is known to be well-formed, so following its tokens and
// its nesting is enough to know where the parser was.
struct Stop {
  Token token;
  Expected expected = Expected::value;
};

Stop findStop(std::string_view text, std::size_t bytesRead) {
  Scanner scanner(text);
  std::vector<bool> openIsObject;  // one bit per open container, innermost last
  TokenKind previous = TokenKind::none;
  TokenKind beforePrevious = TokenKind::none;
  std::size_t pos = 0;
  for (;;) {
    Token token = scanner.scan(pos);
    if (token.end >= bytesRead || token.kind == TokenKind::invalid || token.kind == TokenKind::endOfInput) {
      bool inObject = !openIsObject.empty() && openIsObject.back();
      bool inArray = !openIsObject.empty() && !openIsObject.back();
      Expected expected = Expected::value;
      switch (previous) {
        case TokenKind::none:
        case TokenKind::beginArray:
        case TokenKind::nameSeparator: expected = Expected::value; break;
        case TokenKind::beginObject: expected = Expected::objectKey; break;
        case TokenKind::valueSeparator: expected = inObject ? Expected::objectKey : Expected::value; break;
        default: {
          bool wasKey = previous == TokenKind::string && inObject &&
                        (beforePrevious == TokenKind::beginObject || beforePrevious == TokenKind::valueSeparator);
          expected = wasKey     ? Expected::nameSeparator
                     : inObject ? Expected::objectEnd
                     : inArray  ? Expected::arrayEnd
                                : Expected::endOfInput;
        }
      }
      return {token, expected};
    }
    if (token.kind == TokenKind::beginArray || token.kind == TokenKind::beginObject) {
      openIsObject.push_back(token.kind == TokenKind::beginObject);
    } else if ((token.kind == TokenKind::endArray || token.kind == TokenKind::endObject) && !openIsObject.empty()) {
      openIsObject.pop_back();
    }
    beforePrevious = previous;
    previous = token.kind;
    pos = token.end;
  }
}

// "at line 2, column 7" as the parser counts: lines from 1, and columns as
// the bytes read since the last line feed, so a line feed just read is column
// 0 of the next line. A number's scan reads the byte after it and steps back;
// stepping back over a line feed leaves the column at 0 on the number's line.
std::string positionOf(std::string_view text, std::size_t bytesRead, bool steppedBack) {
  std::size_t line = 1;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < bytesRead && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  bool steppedBackOverLineFeed = steppedBack && bytesRead < text.size() && text[bytesRead] == '\n';
  std::size_t column = steppedBackOverLineFeed ? 0 : bytesRead - lineStart;
  return "at line " + std::to_string(line) + ", column " + std::to_string(column);
}

// "The request is not valid JSON at line 1, column 5: invalid literal, near 'tru'."
std::string describeSyntaxError(std::string_view subject, std::string_view text, std::size_t nulAt,
                                const JsonParseFailure& failure) {
  std::string_view readable = text.substr(0, nulAt);
  Stop stop = findStop(readable, failure.bytesRead);
  // Text up to the first NUL is all the parser reads, so running out of
  // input there means the NUL is what is wrong.
  if (nulAt != std::string_view::npos && stop.token.kind == TokenKind::endOfInput) {
    return describeNulByte(subject, text, nulAt);
  }
  std::string sentence = std::string(subject) + " is not valid JSON " +
                         positionOf(readable, failure.bytesRead, stop.token.kind == TokenKind::number) + ": ";
  bool invalid = stop.token.kind == TokenKind::invalid;
  if (invalid) {
    constexpr std::size_t kMaxNear = 40;
    sentence += std::string(stop.token.problem);
    if (!failure.lastRead.empty()) sentence += ", near '" + printableUtf8(failure.lastRead, kMaxNear) + "'";
  } else {
    sentence += "unexpected " + std::string(nameOf(stop.token.kind));
  }
  // A value that cannot even be read is reported without what was expected
  // instead: anything could have stood there.
  if (!(invalid && stop.expected == Expected::value)) sentence += "; expected " + std::string(nameOf(stop.expected));
  return sentence + ".";
}

// "The request holds a number too large for a double: '1e999'."
std::string describeNumberOverflow(std::string_view subject, const std::string& number) {
  constexpr std::size_t kMaxNumber = 40;
  return std::string(subject) + " holds a number too large for a double: '" + printableUtf8(number, kMaxNumber) +
         "'.";
}

// "line 2, column 7" of the byte at offset: lines from 1, columns in bytes
// from 1.
std::string lineAndColumnOf(std::string_view text, std::size_t offset) {
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
  return std::string(subject) + " is not valid JSON at " + lineAndColumnOf(text, nulAt) + ": it holds a NUL byte.";
}

std::string describeJsonParseFailure(std::string_view subject, std::string_view text, std::size_t nulAt,
                                     const JsonParseFailure& failure) {
  if (failure.id / 100 == kRangeFamily) return describeNumberOverflow(subject, failure.lastRead);
  return describeSyntaxError(subject, text, nulAt, failure);
}

}  // namespace tarnwick::protocol
