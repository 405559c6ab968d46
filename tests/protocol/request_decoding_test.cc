// The request reader: what it accepts and, for what it refuses, the exact
// sentence, which must name the offending key by its full path.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "protocol/json_codec.h"
#include "protocol/records.h"

namespace tarnwick::testing {
namespace {

using protocol::BridgeRequest;
using protocol::decodeRequestText;
using protocol::RequestDecodeError;
using protocol::WritebackItem;

BridgeRequest minimal(std::string method = "status", std::string sourceMode = "native") {
  BridgeRequest request;
  request.method = std::move(method);
  request.sourceMode = std::move(sourceMode);
  return request;
}

WritebackItem item(std::string id, std::string type, std::string label, std::string value) {
  return WritebackItem{std::move(id), std::move(type), std::move(label), std::move(value), {}, {}, {}, {}};
}

struct Accepted {
  const char* name;
  std::string json;
  BridgeRequest expected;
};

std::vector<Accepted> acceptedRequests() {
  std::vector<Accepted> cases;
  cases.push_back({"OnlyRequiredKeys", R"({"method":"status","sourceMode":"native"})", minimal()});
  {
    BridgeRequest full = minimal("sync", "Native");
    full.sourceId = "phone-1";
    full.readTypes = std::vector<std::string>{"steps", "hrv"};
    full.writeTypes = std::vector<std::string>{};
    full.since = 1700000000000.5;
    WritebackItem complete = item("a", "weight", "Weight", "72.5");
    complete.unit = "kg";
    complete.startDate = 2500;
    complete.endDate = 3500;
    complete.sourceId = "scale";
    full.items = std::vector<WritebackItem>{complete, item("b", "steps", "", "")};
    cases.push_back({"EveryKey",
                     R"({"method":"sync","sourceId":"phone-1","sourceMode":"Native","readTypes":["steps","hrv"],)"
                     R"("writeTypes":[],"since":1700000000000.5,"items":[)"
                     R"({"id":"a","type":"weight","label":"Weight","value":"72.5","unit":"kg","startDate":2500,)"
                     R"("endDate":3500,"sourceId":"scale"},{"id":"b","type":"steps","label":"","value":""}]})",
                     full});
  }
  cases.push_back({"KeysInAnyOrder", R"({"sourceMode":"native","method":"status"})", minimal()});
  cases.push_back({"NullOptionalsAreAbsent",
                   R"({"method":"status","sourceMode":"native","sourceId":null,"readTypes":null,)"
                   R"("writeTypes":null,"since":null,"items":null})",
                   minimal()});
  {
    BridgeRequest request = minimal();
    request.since = 1700000000000;
    cases.push_back({"SinceWithoutFraction", R"({"method":"status","sourceMode":"native","since":1700000000000})",
                     request});
  }
  {
    BridgeRequest request = minimal();
    request.since = 1.5e-3;
    cases.push_back({"SinceInExponentForm", R"({"method":"status","sourceMode":"native","since":15E-4})", request});
  }
  cases.push_back({"UnknownKeysIgnored",
                   R"({"method":"status","sourceMode":"native","Method":1,"extra":{"deep":[1,2,{"x":null}]}})",
                   minimal()});
  {
    BridgeRequest request = minimal("write");
    request.items = std::vector<WritebackItem>{item("1", "steps", "Steps", "10")};
    cases.push_back({"ItemNullUnitAndExtraKeys",
                     R"({"method":"write","sourceMode":"native","items":[)"
                     R"({"id":"1","type":"steps","label":"Steps","value":"10","unit":null,"colour":"red"}]})",
                     request});
  }
  {
    BridgeRequest request = minimal();
    request.items = std::vector<WritebackItem>{};
    cases.push_back({"EmptyItemsIsNotAbsent", R"({"method":"status","sourceMode":"native","items":[]})", request});
  }
  {
    BridgeRequest request = minimal("st\xC3\xA5tus", "a/b \"q\" \xF0\x9F\x98\x80");
    request.sourceId = "";
    cases.push_back({"EscapesAndUnicode",
                     R"({"method":"st\u00e5tus","sourceMode":"a\/b \"q\" \ud83d\ude00","sourceId":""})", request});
  }
  cases.push_back({"SurroundingWhitespace", " \n\t{\"method\":\"status\",\"sourceMode\":\"native\"}\r\n ",
                   minimal()});
  cases.push_back({"DuplicateKeyLastWins", R"({"method":"sync","sourceMode":"native","method":"status"})",
                   minimal()});
  cases.push_back({"DuplicateKeyReplacesAWrongValue", R"({"method":7,"sourceMode":"native","method":"status"})",
                   minimal()});
  {
    BridgeRequest request = minimal("write");
    request.items = std::vector<WritebackItem>{item("2", "steps", "S", "2")};
    cases.push_back({"DuplicateItemsReplaceABadArray",
                     R"({"method":"write","sourceMode":"native","items":[{"id":1}],"items":[)"
                     R"({"id":"2","type":"steps","label":"S","value":"2"}]})",
                     request});
  }
  cases.push_back({"FieldNamesInsideIgnoredValuesAreNotFields",
                   R"({"extra":{"method":"sync","items":[1]},"method":"status","list":[{"sourceMode":1}],)"
                   R"("sourceMode":"native"})",
                   minimal()});
  {
    BridgeRequest request = minimal();
    request.since = -0.0;
    request.readTypes = std::vector<std::string>{};
    cases.push_back({"NegativeZeroAndEmptyArray", R"({"method":"status","sourceMode":"native","since":-0,"readTypes":[]})",
                     request});
  }
  cases.push_back({"DuplicateOptionalEndsNull",
                   R"({"method":"status","sourceMode":"native","readTypes":[1],"readTypes":null})", minimal()});
  return cases;
}

void PrintTo(const Accepted& c, std::ostream* out) { *out << c.name; }

class AcceptedRequestTest : public ::testing::TestWithParam<Accepted> {};

TEST_P(AcceptedRequestTest, DecodesToTheExpectedRecord) {
  EXPECT_EQ(decodeRequestText(GetParam().json), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Requests, AcceptedRequestTest, ::testing::ValuesIn(acceptedRequests()),
                         [](const auto& info) { return std::string(info.param.name); });

struct Refused {
  const char* name;
  std::string json;
  std::string message;
};

const std::string kItemHead = R"({"method":"write","sourceMode":"native","items":[)";
const std::string kGoodItem = R"({"id":"a","type":"steps","label":"Steps","value":"1"})";

std::vector<Refused> refusedRequests() {
  return {
      {"MissingSourceMode", R"({"method":"status"})", "The key 'sourceMode' is missing."},
      {"MissingMethod", R"({"sourceMode":"native"})", "The key 'method' is missing."},
      {"NullMethod", R"({"method":null,"sourceMode":"native"})", "The key 'method' must be a string, found null."},
      {"NumericMethod", R"({"method":7,"sourceMode":"native"})", "The key 'method' must be a string, found a number."},
      {"BooleanSourceMode", R"({"method":"status","sourceMode":true})",
       "The key 'sourceMode' must be a string, found a boolean."},
      {"SinceAsString", R"({"method":"status","sourceMode":"native","since":"1700000000000"})",
       "The key 'since' must be a number, found a string."},
      {"SourceIdAsObject", R"({"method":"status","sourceMode":"native","sourceId":{}})",
       "The key 'sourceId' must be a string, found an object."},
      {"ReadTypesAsString", R"({"method":"status","sourceMode":"native","readTypes":"steps"})",
       "The key 'readTypes' must be an array, found a string."},
      {"ReadTypeElementNull", R"({"method":"status","sourceMode":"native","readTypes":["steps",null]})",
       "The key 'readTypes[1]' must be a string, found null."},
      {"WriteTypeElementNumber", R"({"method":"status","sourceMode":"native","writeTypes":[1]})",
       "The key 'writeTypes[0]' must be a string, found a number."},
      {"ItemsAsObject", R"({"method":"write","sourceMode":"native","items":{}})",
       "The key 'items' must be an array, found an object."},
      {"ItemNotAnObject", kItemHead + kGoodItem + ",[]]}", "The key 'items[1]' must be an object, found an array."},
      {"ItemValueAsNumber", kItemHead + R"({"id":"a","type":"steps","label":"Steps","value":72}]})",
       "The key 'items[0].value' must be a string, found a number."},
      {"ItemWithoutLabel", kItemHead + kGoodItem + "," + kGoodItem + R"(,{"id":"c","type":"steps","value":"1"}]})",
       "The key 'items[2].label' is missing."},
      {"ItemNullId", kItemHead + R"({"id":null,"type":"steps","label":"Steps","value":"1"}]})",
       "The key 'items[0].id' must be a string, found null."},
      {"ItemStartDateAsString", kItemHead + R"({"id":"a","type":"steps","label":"L","value":"1","startDate":"x"}]})",
       "The key 'items[0].startDate' must be a number, found a string."},
      {"ItemUnitAsBoolean", kItemHead + R"({"id":"a","type":"steps","label":"L","value":"1","unit":false}]})",
       "The key 'items[0].unit' must be a string, found a boolean."},
      {"TopLevelArray", R"([{"method":"status","sourceMode":"native"}])",
       "The request must be a JSON object, found an array."},
      {"TopLevelString", R"("status")", "The request must be a JSON object, found a string."},
      {"TopLevelNull", "null", "The request must be a JSON object, found null."},
      {"OneSpace", " ", "The request is not valid JSON at line 1, column 2: the text ends too soon."},
      {"OneLineFeed", "\n", "The request is not valid JSON at line 2, column 1: the text ends too soon."},
      {"Truncated", R"({"method":"status")", "The request is not valid JSON at line 1, column 19: the text ends too soon."},
      {"LiteralCutShort", "tru", "The request is not valid JSON at line 1, column 4: the text ends too soon."},
      {"InvalidUtf8InString", "{\"method\":\"st\xFF\",\"sourceMode\":\"native\"}",
       "The request is not valid JSON at line 1, column 14: a string holds bytes that are not UTF-8."},
      {"InvalidUtf8InANumber", "{\"a\":1e\xE5}", "The request is not valid JSON at line 1, column 8: invalid number."},
      {"TextAfterTheObject", R"({"method":"status","sourceMode":"native"} x)",
       "The request is not valid JSON at line 1, column 43: invalid literal."},
      {"NulAfterTheObject", std::string(R"({"method":"status","sourceMode":"native"})") + '\0' + "tail",
       "The request is not valid JSON at line 1, column 42: it holds a NUL byte."},
      {"NulWhereAValueBelongs", std::string("{\n\"method\":") + '\0' + "}",
       "The request is not valid JSON at line 2, column 10: it holds a NUL byte."},
      // Record errors are reported in text order (a missing key where its
      // object closes), and only once the whole text has parsed.
      {"FirstInTextOrder", R"({"since":"x","sourceMode":1,"method":2})",
       "The key 'since' must be a number, found a string."},
      {"AWrongTypeBeatsAMissingKey", R"({"sourceMode":"native","since":"x"})",
       "The key 'since' must be a number, found a string."},
      {"AnInnerMissingKeyBeatsALaterWrongType", kItemHead + R"({"id":"a","type":"steps","label":"L"}],"since":"x"})",
       "The key 'items[0].value' is missing."},
      {"FirstBadItemWins",
       kItemHead + R"({"id":"a","type":"steps","label":"L"},{"id":"b","type":"steps","label":"L","value":1}]})",
       "The key 'items[0].value' is missing."},
      {"ItemFieldsInTextOrder", kItemHead + R"({"value":1,"label":2,"type":"steps","id":"a"}]})",
       "The key 'items[0].value' must be a string, found a number."},
      {"DuplicateKeyLastValueIsJudged", R"({"method":"status","sourceMode":"native","method":[]})",
       "The key 'method' must be a string, found an array."},
      {"SyntaxErrorBeatsARecordError", R"({"method":1,"sourceMode":"native",})",
       "The request is not valid JSON at line 1, column 35: unexpected '}'."},
      {"NulBeatsARecordError", std::string(R"({"method":1})") + '\0',
       "The request is not valid JSON at line 1, column 13: it holds a NUL byte."},
      {"ElementArrayInsideAnArray", R"({"method":"status","sourceMode":"native","readTypes":[["x"],"y"]})",
       "The key 'readTypes[0]' must be a string, found an array."},
      {"ScalarItemBeforeAGoodOne", kItemHead + "1," + kGoodItem + "]}",
       "The key 'items[0]' must be an object, found a number."},
      {"FieldNamesInsideAWrongValue", R"({"method":{"method":"status"},"sourceMode":"native"})",
       "The key 'method' must be a string, found an object."},
      {"DeeplyNestedWrongType", R"({"method":)" + std::string(100000, '[') + std::string(100000, ']') + "}",
       "The key 'method' must be a string, found an array."},
      {"UnclosedDeepArray", std::string(100000, '['),
       "The request is not valid JSON at line 1, column 100001: the text ends too soon."},
      {"NumberBeyondDouble", R"({"method":"status","sourceMode":"native","extra":-1e400})",
       "The request holds a number too large for a double: '-1e400'."},
      // The position is that of the byte the parser stopped at.
      {"KeyWithoutColon", R"({"method" "status"})",
       "The request is not valid JSON at line 1, column 18: unexpected string."},
      {"ArrayElementsWithoutComma", R"({"readTypes":["a" true]})",
       "The request is not valid JSON at line 1, column 22: unexpected literal."},
      {"NumberThenLineFeedWhereAKeyBelongs", "{\n1\n}",
       "The request is not valid JSON at line 2, column 1: unexpected number."},
      {"RawTabInAKey", "{\"a\tb\":1}",
       "The request is not valid JSON at line 1, column 4: a control character in a string must be escaped."},
      {"LoneLowSurrogate", R"({"method":"\udc00"})",
       "The request is not valid JSON at line 1, column 17: a string holds an invalid escape."},
      {"BrokenByteOrderMark", "\xEF\xBBx{}", "The request is not valid JSON at line 1, column 3: unexpected character."},
      {"LeadingZero", R"({"a":01})", "The request is not valid JSON at line 1, column 7: unexpected number."},
  };
}

void PrintTo(const Refused& c, std::ostream* out) { *out << c.name; }

class RefusedRequestTest : public ::testing::TestWithParam<Refused> {};

TEST_P(RefusedRequestTest, FailsWithAPlainSentenceNamingThePlace) {
  try {
    BridgeRequest request = decodeRequestText(GetParam().json);
    ADD_FAILURE() << "decoded, method '" << request.method << "'";
  } catch (const RequestDecodeError& error) {
    EXPECT_EQ(std::string(error.what()), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(Requests, RefusedRequestTest, ::testing::ValuesIn(refusedRequests()),
                         [](const auto& info) { return std::string(info.param.name); });

// Position and near-text come from the library; what we promise is one
// sentence with no library prefix and no raw control or invalid bytes.
TEST(RequestDecodeMessageTest, NeverCarriesLibraryPrefixesOrRawBytes) {
  const std::vector<std::string> inputs = {
      "{\"a\":\"\x01\"}", "{\"a\":\"\xC0\xAF\"}", "[1,]", "{\"a\" 1}", "{'a':1}", "\xEF\xBB\xBF",
      "{\"a\":\"\\ud800\"}", "{\"a\":1} 2", "[1e\xE5]", "{\"a\":tr\xFF}", "{\"\xC3\":0}", std::string(5000, '['), "{\"a\":" + std::string(300, '1') + "e999}",
  };
  for (const std::string& input : inputs) {
    try {
      decodeRequestText(input);
      ADD_FAILURE() << "accepted " << input.substr(0, 40);
    } catch (const RequestDecodeError& error) {
      std::string message = error.what();
      EXPECT_EQ(message.find("json.exception"), std::string::npos) << message;
      EXPECT_TRUE(message.starts_with("The request ")) << message;
      EXPECT_EQ(message.back(), '.') << message;
      EXPECT_LT(message.size(), 300u) << message;
      for (char c : message) {
        auto byte = static_cast<unsigned char>(c);
        EXPECT_TRUE(byte >= 0x20 && byte < 0x80) << message;
      }
    }
  }
}

TEST(RequestDecodeMessageTest, ManyItemsKeepTheirOrderAndIndexTheirErrors) {
  const std::size_t count = 20000;
  std::string json = kItemHead;
  std::vector<WritebackItem> expected;
  for (std::size_t i = 0; i < count; ++i) {
    std::string id = std::to_string(i);
    json += std::string(i ? "," : "") + R"({"id":")" + id + R"(","type":"steps","label":"Steps","value":")" + id + R"("})";
    expected.push_back(item(id, "steps", "Steps", id));
  }
  EXPECT_EQ(decodeRequestText(json + "]}").items, expected);
  try {
    decodeRequestText(json + R"(,{"id":"x","type":"steps","label":"Steps","value":0},{"id":7}]})");
    ADD_FAILURE() << "accepted an item whose value is a number";
  } catch (const RequestDecodeError& error) {
    EXPECT_STREQ(error.what(), "The key 'items[20000].value' must be a string, found a number.");
  }
}

TEST(RecordDecodeMessageTest, IntegerFieldsTakeWholeNumbersOfEitherSign) {
  using protocol::WriteResult;
  EXPECT_EQ(protocol::decodeJsonText<WriteResult>(R"({"writtenCount":-5,"warnings":[]})").writtenCount, -5);
  EXPECT_EQ(protocol::decodeJsonText<WriteResult>(R"({"writtenCount":1.0e2,"warnings":["w"]})"),
            (WriteResult{100, {"w"}}));
}

// Record text other than the request is named as such in every sentence.
TEST(RecordDecodeMessageTest, TextThatIsNotARecordIsNamedAsJsonText) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"[]", "The JSON text must be a JSON object, found an array."},
      {"{\"code\":", "The JSON text is not valid JSON at line 1, column 9: the text ends too soon."},
      {"{\"code\":1e999}", "The JSON text holds a number too large for a double: '1e999'."},
  };
  for (const auto& [json, message] : cases) {
    try {
      protocol::decodeJsonText<protocol::BridgeErrorPayload>(json);
      ADD_FAILURE() << "accepted " << json;
    } catch (const RequestDecodeError& error) {
      EXPECT_EQ(std::string(error.what()), message);
    }
  }
}

// Nested records name their keys by the whole path, through optional
// records and arrays of records alike.
TEST(RecordDecodeMessageTest, NestedKeysAreNamedByTheirFullPath) {
  struct Case {
    std::string json;
    std::string message;
  };
  const std::string head = R"({"ok":true,"data":{"permissions":{"read":true,"write":false},"readableTypes":[],)"
                           R"("writableTypes":[],"records":[],"sourceMode":"native","lastSyncedAt":0,)";
  const std::vector<Case> cases = {
      {R"({"ok":true,"data":{"permissions":{"read":true}}})", "The key 'data.permissions.write' is missing."},
      {head + R"("metrics":[{"key":"k","value":1,"unit":"u","label":"l","recordedAt":0},{"key":"k"}]}})",
       "The key 'data.metrics[1].value' is missing."},
      {head + R"("metrics":[{"key":"k","value":"1","unit":"u","label":"l","recordedAt":0}]}})",
       "The key 'data.metrics[0].value' must be a number, found a string."},
      {R"({"ok":false,"error":{"code":"C","message":7}})", "The key 'error.message' must be a string, found a number."},
  };
  for (const Case& c : cases) {
    try {
      protocol::decodeJsonText<protocol::BridgeEnvelope<protocol::SyncData>>(c.json);
      ADD_FAILURE() << "accepted " << c.json;
    } catch (const RequestDecodeError& error) {
      EXPECT_EQ(std::string(error.what()), c.message);
    }
  }
}

TEST(RequestDecodeMessageTest, DeepNestingInAnIgnoredKeyIsAcceptedWithoutRecursion) {
  const std::size_t depth = 100000;
  std::string json = R"({"method":"status","sourceMode":"native","extra":)" + std::string(depth, '[') +
                     std::string(depth, ']') + "}";
  EXPECT_EQ(decodeRequestText(json), minimal());
}

}  // namespace
}  // namespace tarnwick::testing
