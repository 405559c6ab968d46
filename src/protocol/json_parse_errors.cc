#include "protocol/json_parse_errors.h"

#include <algorithm>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/utf8.h"

namespace tarnwick::protocol {
namespace {

// The parser's exception ids come in families of a hundred; 4xx is a value
// out of range (a number beyond a double).
constexpr int kRangeFamily = 4;

bool isStructural(char c) { return c == '[' || c == ']' || c == '{' || c == '}' || c == ':' || c == ','; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isNumberByte(char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// The tokens of what the parser last read, split just finely enough to tell
// a scalar from what follows it; whitespace is dropped.
std::vector<std::string_view> roughTokens(std::string_view read) {
  std::vector<std::string_view> tokens;
  std::size_t at = 0;
  while (at < read.size()) {
    std::size_t start = at;
    char c = read[at++];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    if (c == '"') {
      while (at < read.size() && read[at] != '"') at += read[at] == '\\' ? 2 : 1;
      at = std::min(at + 1, read.size());
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      while (at < read.size() && isNumberByte(read[at])) ++at;
    } else if (isLetter(c)) {
      while (at < read.size() && isLetter(read[at])) ++at;
    }
    tokens.push_back(read.substr(start, at - start));
  }
  return tokens;
}

// What went wrong where the parser stopped on stopByte (-1: past the end).
// Every token before the failing one is well-formed, so the first token that
// is not is where the parser gave up; when all are, the last was unexpected.
std::string_view whatStopped(const std::string& lastRead, int stopByte) {
  if (stopByte < 0) return "the text ends too soon";
  std::vector<std::string_view> tokens = roughTokens(lastRead);
  for (std::string_view token : tokens) {
    bool wellFormed = isStructural(token[0]) || nlohmann::json::accept(token);
    if (wellFormed) continue;
    if (token[0] == '"') {
      if (stopByte < 0x20) return "a control character in a string must be escaped";
      if (!isValidUtf8(token)) return "a string holds bytes that are not UTF-8";
      return "a string holds an invalid escape";
    }
    if (token[0] == '-' || (token[0] >= '0' && token[0] <= '9')) return "invalid number";
    if (isLetter(token[0])) return "invalid literal";
    return "unexpected character";
  }
  if (tokens.empty()) return "unexpected character";
  std::string_view last = tokens.back();
  if (last[0] == '"') return "unexpected string";
  if (isLetter(last[0])) return "unexpected literal";
  if (!isStructural(last[0])) return "unexpected number";
  static constexpr std::string_view kStructural[] = {"unexpected '['", "unexpected ']'", "unexpected '{'",
                                                     "unexpected '}'", "unexpected ':'", "unexpected ','"};
  return kStructural[std::string_view("[]{}:,").find(last[0])];
}

// "line 2, column 7" of the byte at offset: lines from 1, columns in bytes
// from 1. An offset at the end names the place just after the last byte.
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
  if (failure.id / 100 == kRangeFamily) {
    constexpr std::size_t kMaxNumber = 40;
    return std::string(subject) + " holds a number too large for a double: '" +
           printableUtf8(failure.lastRead, kMaxNumber) + "'.";
  }
  std::string_view readable = text.substr(0, nulAt);
  bool pastEnd = failure.bytesRead == 0 || failure.bytesRead > readable.size();
  // Text up to the first NUL is all the parser reads, so running out of
  // input there means the NUL is what is wrong.
  if (pastEnd && nulAt != std::string_view::npos) return describeNulByte(subject, text, nulAt);
  std::size_t stop = pastEnd ? readable.size() : failure.bytesRead - 1;
  int stopByte = pastEnd ? -1 : static_cast<unsigned char>(readable[stop]);
  return std::string(subject) + " is not valid JSON at " + lineAndColumnOf(readable, stop) + ": " +
         std::string(whatStopped(failure.lastRead, stopByte)) + ".";
}

}  // namespace tarnwick::protocol
