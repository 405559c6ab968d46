// Sentences for text that is not JSON, one case per way the scanner can stop
// (numbers, escapes, UTF-8, literals, the byte order mark) and per thing the
// parser can be waiting for, with positions counted as the parser counts.
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
      {"MinusWithoutDigit", std::string("-"),
       "line 1, column 2: invalid number; expected digit after '-', near '-'."},
      {"PointWithoutDigit", std::string("[1.]"),
       "line 1, column 4: invalid number; expected digit after '.', near '1.]'."},
      {"ExponentSignWithoutDigit", std::string("[1e+]"),
       "line 1, column 5: invalid number; expected digit after exponent sign, near '1e+]'."},
      {"CapitalExponentWithoutDigit", std::string("[1E]"),
       "line 1, column 4: invalid number; expected '+', '-', or digit after exponent, near '1E]'."},
      {"ForbiddenEscape", std::string("\"\\x\""),
       "line 1, column 3: invalid string: forbidden character after backslash, near '\"\\x'."},
      {"NotFourHexDigits", std::string("\"\\u12G4\""),
       "line 1, column 6: invalid string: '\\u' must be followed by 4 hex digits, near '\"\\u12G'."},
      {"SecondEscapeNotFourHexDigits", std::string("\"\\ud800\\u12\""),
       "line 1, column 12: invalid string: '\\u' must be followed by 4 hex digits, near '\"\\ud800\\u12\"'."},
      {"HighSurrogateThenText", std::string("\"\\ud800x\""),
       "line 1, column 8: invalid string: surrogate U+D800..U+DBFF must be followed by U+DC00..U+DFFF, near "
       "'\"\\ud800x'."},
      {"HighSurrogateThenOtherEscape", std::string("\"\\ud800\\n\""),
       "line 1, column 9: invalid string: surrogate U+D800..U+DBFF must be followed by U+DC00..U+DFFF, near "
       "'\"\\ud800\\n'."},
      {"MissingClosingQuote", std::string("\"abc"),
       "line 1, column 5: invalid string: missing closing quote, near '\"abc'."},
      {"ControlCharacter", std::string("\"\x01\""),
       "line 1, column 2: invalid string: control character U+0001 (SOH) must be escaped to \\u0001, near "
       "'\"<U+0001>'."},
      {"ControlCharacterWithShortEscape", std::string("\"\r\""),
       "line 1, column 2: invalid string: control character U+000D (CR) must be escaped to \\u000D or \\r, near "
       "'\"<U+000D>'."},
      {"OverlongThreeBytes", std::string("\"\xE0\x80\x80\""),
       "line 1, column 3: invalid string: ill-formed UTF-8 byte, near '\"\\xE0\\x80'."},
      {"EncodedSurrogate", std::string("\"\xED\xA0\x80\""),
       "line 1, column 3: invalid string: ill-formed UTF-8 byte, near '\"\\xED\\xA0'."},
      {"AboveTheLastCodePoint", std::string("\"\xF4\x90\x80\x80\""),
       "line 1, column 3: invalid string: ill-formed UTF-8 byte, near '\"\\xF4\\x90'."},
      {"TextEndsInsideASequence", std::string("\"\xC3"),
       "line 1, column 3: invalid string: ill-formed UTF-8 byte, near '\"\\xC3'."},
      {"InvalidLeadByte", std::string("\"\xC0\xAF\""),
       "line 1, column 2: invalid string: ill-formed UTF-8 byte, near '\"\\xC0'."},
      {"LiteralCutShort", std::string("nul"), "line 1, column 4: invalid literal, near 'nul'."},
      {"LiteralMisspelt", std::string("nulx"), "line 1, column 4: invalid literal, near 'nulx'."},
      {"CommaBeforeArrayEnd", std::string("[1,]"),
       "line 1, column 4: unexpected ']'; expected '[', '{', or a literal."},
      {"ArrayEndInAnObject", std::string("{\"a\":1]"), "line 1, column 7: unexpected ']'; expected '}'."},
      {"ByteOrderMarkCutShort", std::string("\xEF"),
       "line 1, column 2: invalid BOM; must be 0xEF 0xBB 0xBF if given, near '\\xEF'."},
      {"ByteOrderMarkAlone", std::string("\xEF\xBB\xBF"),
       "line 1, column 4: unexpected end of input; expected '[', '{', or a literal."},
      {"KeyThenLineFeedThenEnd", std::string("{\"a\"\n"), "line 2, column 1: unexpected end of input; expected ':'."},
      {"SecondValue", std::string("1 2"), "line 1, column 3: unexpected number literal; expected end of input."},
      {"ColonInAnArray", std::string("[\"a\":1]"), "line 1, column 5: unexpected ':'; expected ']'."},
      {"SecondKeyWithoutColon", std::string("{\"a\":1,\"b\" 2}"),
       "line 1, column 12: unexpected number literal; expected ':'."},
      {"CommaWhereAKeyBelongs", std::string("{,}"), "line 1, column 2: unexpected ','; expected string literal."},
      {"ArrayEndAfterTheValue", std::string("[]]"), "line 1, column 3: unexpected ']'; expected end of input."},
      {"ObjectsWithoutComma", std::string("[{}{}]"), "line 1, column 4: unexpected '{'; expected ']'."},
      {"CommentsAreNotJson", std::string("  /"), "line 1, column 3: invalid literal, near '  /'."},
      {"NumberOnTheNextLine", std::string("[0\n1]"), "line 2, column 1: unexpected number literal; expected ']'."},
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
