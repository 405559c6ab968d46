// The sentences for text the JSON parser refuses, shared by every reader of
// request and record text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::protocol {

// How the parser reported a failure: its exception id and its what() text.
struct JsonParseFailure {
  int id = 0;
  std::string libraryMessage;
};

// One plain sentence for a parse failure of text named by subject ("The
// request"): "The request is not valid JSON at line 1, column 5: invalid
// literal, near 'tru'." A failure that only comes from the parser stopping at
// nulAt (the text's first NUL byte, npos for none) is reported as that NUL.
std::string describeJsonParseFailure(std::string_view subject, std::string_view text, std::size_t nulAt,
                                     const JsonParseFailure& failure);

// The sentence for text that parsed up to its first NUL byte at nulAt.
std::string describeNulByte(std::string_view subject, std::string_view text, std::size_t nulAt);

}  // namespace tarnwick::protocol
