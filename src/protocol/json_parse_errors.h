// The sentences for text the JSON parser refuses, shared by every reader of
// request and record text. They are built from where the parser stopped and
// what it had read, never from the parser's own messages, so they read the
// same whichever version of the parser is linked.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::protocol {

// Where and how the parser stopped, as its event interface reports it.
struct JsonParseFailure {
  // Bytes the parser had consumed, reading past the end counting as one.
  std::size_t bytesRead = 0;
  // The text the parser had read since its last string or number began,
  // control characters shown as <U+HHHH>.
  std::string lastRead;
  // The parser's exception id: 1xx for text that is not JSON, 4xx for a
  // number beyond a double.
  int id = 0;
};

// One plain sentence for a parse failure of text named by subject ("The
// request"): "The request is not valid JSON at line 1, column 4: invalid
// literal." The position is that of the byte the parser stopped at, lines and
// columns (in bytes) counted from 1. The parser reads text only up to nulAt
// (its first NUL byte, npos for none); running out of input there is
// reported as that NUL.
std::string describeJsonParseFailure(std::string_view subject, std::string_view text, std::size_t nulAt,
                                     const JsonParseFailure& failure);

// The sentence for text that parsed up to its first NUL byte at nulAt.
std::string describeNulByte(std::string_view subject, std::string_view text, std::size_t nulAt);

}  // namespace tarnwick::protocol
