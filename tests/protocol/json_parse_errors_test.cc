// Sentences for text that is not JSON: one case or two per kind of token the
// parser can stop in or on, with the position of the byte where it stopped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/json_codec.h"
#include "protocol/records.h"

namespace tarnwick::testing {
namespace {

struct NotJson {
  const char* name;
  std::string text;
  std::string where;  // the sentence after "... is not valid JSON at "
};

void PrintTo(const NotJson& c, std::ostream* out) { *out << c.name; }

std::vector<NotJson> notJsonTexts() {
  return {
      {"MinusAtTheEnd", "-", "line 1, column 2: the text ends too soon."},
      {"StringNotClosed", "\"abc", "line 1, column 5: the text ends too soon."},
      {"KeyThenLineFeedThenEnd", "{\"a\"\n", "line 2, column 1: the text ends too soon."},
      {"ByteOrderMarkAlone", "\xEF\xBB\xBF", "line 1, column 4: the text ends too soon."},
      {"PointWithoutDigit", "[1.]", "line 1, column 4: invalid number."},
      {"ExponentSignWithoutDigit", "[1e+]", "line 1, column 5: invalid number."},
      {"ForbiddenEscape", "\"\\x\"", "line 1, column 3: a string holds an invalid escape."},
      {"NotFourHexDigits", "\"\\u12G4\"", "line 1, column 6: a string holds an invalid escape."},
      {"EscapedQuoteThenBadEscape", "\"\\\"\\ud800\\u12\"", "line 1, column 14: a string holds an invalid escape."},
      {"HighSurrogateThenText", "\"\\ud800x\"", "line 1, column 8: a string holds an invalid escape."},
      {"ControlCharacter", "\"\x01\"", "line 1, column 2: a control character in a string must be escaped."},
      {"LineFeedInAString", "[\"a\nb\"]", "line 1, column 4: a control character in a string must be escaped."},
      {"OverlongThreeBytes", "\"\xE0\x80\x80\"", "line 1, column 3: a string holds bytes that are not UTF-8."},
      {"SequenceBrokenByAQuote", "{\"a\":\"\xC3\"}", "line 1, column 8: a string holds bytes that are not UTF-8."},
      {"LiteralMisspelt", "nulx", "line 1, column 4: invalid literal."},
      {"LiteralAfterANumber", "[1x]", "line 1, column 3: invalid literal."},
      {"CommentsAreNotJson", "  /", "line 1, column 3: unexpected character."},
      {"CommaBeforeArrayEnd", "[1,]", "line 1, column 4: unexpected ']'."},
      {"CommaWhereAKeyBelongs", "{,}", "line 1, column 2: unexpected ','."},
      {"ColonInAnArray", "[\"a\":1]", "line 1, column 5: unexpected ':'."},
      {"ObjectsWithoutComma", "[{}{}]", "line 1, column 4: unexpected '{'."},
      {"SecondKeyWithoutColon", "{\"a\":1,\"b\" 2}", "line 1, column 12: unexpected number."},
      {"NumberOnTheNextLine", "[0\n1]", "line 2, column 1: unexpected number."},
      {"StringWhereAColonBelongs", "{\"a\" \"b\"}", "line 1, column 8: unexpected string."},
      {"LiteralAfterTheValue", "{} true", "line 1, column 7: unexpected literal."},
  };
}

class NotJsonTest : public ::testing::TestWithParam<NotJson> {};

TEST_P(NotJsonTest, NamesWhereAndWhyTheParserStopped) {
  try {
    protocol::decodeJsonText<protocol::BridgeErrorPayload>(GetParam().text);
    ADD_FAILURE() << "accepted";
  } catch (const protocol::RequestDecodeError& error) {
    EXPECT_EQ(std::string(error.what()), "The JSON text is not valid JSON at " + GetParam().where);
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, NotJsonTest, ::testing::ValuesIn(notJsonTexts()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarnwick::testing
