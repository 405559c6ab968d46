// The writer: exact bytes of every payload with its optional fields present
// and absent, string escaping, and numbers that read back as the same double.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "protocol/json_codec.h"
#include "protocol/records.h"
#include "shell/output.h"

namespace tarnwick::testing {
namespace {

using namespace protocol;

const std::vector<std::string> kSeven = {"steps", "sleep", "heart_rate", "hrv", "weight", "glucose", "workout"};

TEST(RecordEncodingTest, PayloadsWithOptionalsAbsentAndPresent) {
  StatusData status{true, "not-determined", kSeven, {}, "Native", std::nullopt, std::nullopt};
  StatusData fullStatus{false, "import-only", {}, {"steps"}, "csv", 2500, ""};
  WritebackItem bareItem{"i", "steps", "Steps", "12", {}, {}, {}, {}};
  WritebackItem fullItem{"i", "weight", "W", "7", "kg", 0, -1.5, "s"};
  BridgeRequest bareRequest{"status", {}, "native", {}, {}, {}, {}};
  BridgeRequest fullRequest{"write", "src", "native", std::vector<std::string>{}, std::vector<std::string>{"hrv"},
                            1e3, std::vector<WritebackItem>{bareItem}};
  SyncData emptySync{{false, true}, {}, {}, {}, {}, "import", 1700000000123.25};
  SyncData sync{{true, true},
                {"weight"},
                kSeven,
                {{"weight", 72.5, "kg", "Weight", 2500}},
                {{"Run", "5 km in 30 min", 2500, "Fake Watch", "workout", {}}},
                "native",
                2500};

  struct Case {
    const char* name;
    std::string actual;
    std::string expected;
  };
  const Case cases[] = {
      {"status, optionals absent: five keys", encodeJsonText(status),
       R"({"available":true,"authorizationStatus":"not-determined","readableTypes":["steps","sleep","heart_rate",)"
       R"("hrv","weight","glucose","workout"],"writableTypes":[],"sourceMode":"Native"})"},
      {"status, optionals present (empty string kept)", encodeJsonText(fullStatus),
       R"({"available":false,"authorizationStatus":"import-only","readableTypes":[],"writableTypes":["steps"],)"
       R"("sourceMode":"csv","lastSyncedAt":2500,"lastError":""})"},
      {"authorization", encodeJsonText(AuthorizationData{true, "authorized", {"steps"}, {}, "native"}),
       R"({"granted":true,"authorizationStatus":"authorized","readableTypes":["steps"],"writableTypes":[],)"
       R"("sourceMode":"native"})"},
      {"sync with nothing read keeps its arrays", encodeJsonText(emptySync),
       R"({"permissions":{"read":false,"write":true},"readableTypes":[],"writableTypes":[],"metrics":[],)"
       R"("records":[],"sourceMode":"import","lastSyncedAt":1700000000123.25})"},
      {"sync with a metric and a record", encodeJsonText(sync),
       R"({"permissions":{"read":true,"write":true},"readableTypes":["weight"],"writableTypes":["steps","sleep",)"
       R"("heart_rate","hrv","weight","glucose","workout"],"metrics":[{"key":"weight","value":72.5,"unit":"kg",)"
       R"("label":"Weight","recordedAt":2500}],"records":[{"title":"Run","summary":"5 km in 30 min",)"
       R"("recordedAt":2500,"sourceLabel":"Fake Watch","kind":"workout","tags":[]}],"sourceMode":"native",)"
       R"("lastSyncedAt":2500})"},
      {"write result", encodeJsonText(WriteResult{3, {"Skipped workout item a."}}),
       R"({"writtenCount":3,"warnings":["Skipped workout item a."]})"},
      {"write result, no warnings", encodeJsonText(WriteResult{0, {}}), R"({"writtenCount":0,"warnings":[]})"},
      {"item, optionals absent", encodeJsonText(bareItem), R"({"id":"i","type":"steps","label":"Steps","value":"12"})"},
      {"item, optionals present", encodeJsonText(fullItem),
       R"({"id":"i","type":"weight","label":"W","value":"7","unit":"kg","startDate":0,"endDate":-1.5,"sourceId":"s"})"},
      {"request, optionals absent", encodeJsonText(bareRequest), R"({"method":"status","sourceMode":"native"})"},
      {"request, optionals present", encodeJsonText(fullRequest),
       R"({"method":"write","sourceId":"src","sourceMode":"native","readTypes":[],"writeTypes":["hrv"],)"
       R"("since":1000,"items":[{"id":"i","type":"steps","label":"Steps","value":"12"}]})"},
      {"error payload with details", encodeJsonText(BridgeErrorPayload{"X", "m", "d"}),
       R"({"code":"X","message":"m","details":"d"})"},
      {"success envelope has no error key", encodeJsonText(BridgeEnvelope<WriteResult>::success({1, {}})),
       R"({"ok":true,"data":{"writtenCount":1,"warnings":[]}})"},
      {"failure envelope has no data or details", encodeJsonText(BridgeEnvelope<SyncData>::failure("C", "M")),
       R"({"ok":false,"error":{"code":"C","message":"M"}})"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.name;
}

TEST(RecordEncodingTest, EveryRecordReadsBackEqual) {
  SyncData sync{{true, false}, {"a"}, {}, {{"k", 0.1, "u", "l", 1e-300}}, {{"t", "s", -0.0, "x", "k", {"a", ""}}},
                "native", 1.7e12};
  EXPECT_EQ(decodeJsonText<SyncData>(encodeJsonText(sync)), sync);
  auto envelope = BridgeEnvelope<AuthorizationData>::success({false, "denied", {}, {"steps"}, "n"});
  EXPECT_EQ(decodeJsonText<BridgeEnvelope<AuthorizationData>>(encodeJsonText(envelope)), envelope);
  auto failure = BridgeEnvelope<StatusData>::failure("INVALID_METHOD", "Unsupported bridge method: Query");
  EXPECT_EQ(decodeJsonText<BridgeEnvelope<StatusData>>(encodeJsonText(failure)), failure);
  WriteResult large{std::numeric_limits<std::int64_t>::min(), {}};
  EXPECT_EQ(decodeJsonText<WriteResult>(encodeJsonText(large)), large);
}

TEST(RecordEncodingTest, StringsEscapeOnlyWhatJsonRequires) {
  struct Case {
    std::string text;
    std::string json;
  };
  const Case cases[] = {
      {"mg/dL", R"("mg/dL")"},
      {"quote \" backslash \\", R"("quote \" backslash \\")"},
      {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
      {std::string("\x00\x01\x1f", 3), R"("\u0000\u0001\u001f")"},
      {"\x7f", "\"\x7f\""},
      {"h\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\"h\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\""},
  };
  for (const Case& c : cases) {
    WriteResult result{0, {c.text}};
    EXPECT_EQ(encodeJsonText(result), R"({"writtenCount":0,"warnings":[)" + c.json + "]}");
    EXPECT_EQ(decodeJsonText<WriteResult>(encodeJsonText(result)).warnings.at(0), c.text);
  }
}

TEST(RecordEncodingTest, UnencodableValuesGiveTheFixedTextAndKeepOk) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  for (double bad : {kNaN, kInf, -kInf}) {
    auto envelope = BridgeEnvelope<SyncData>::success(
        SyncData{{}, {}, {}, {{"weight", bad, "kg", "Weight", 0}}, {}, "native", 0});
    EXPECT_THROW(encodeJsonText(envelope), EncodeError);
    shell::EncodedResponse response = shell::encodeEnvelope(envelope);
    EXPECT_EQ(response.json, kEncodeFailedResponse);
    EXPECT_TRUE(response.ok);
  }
  auto badText = BridgeEnvelope<StatusData>::failure("SWIFT_ERROR", "bad \xFF byte");
  shell::EncodedResponse response = shell::encodeEnvelope(badText);
  EXPECT_EQ(response.json, kEncodeFailedResponse);
  EXPECT_FALSE(response.ok);
  EXPECT_EQ(kEncodeFailedResponse.size(), 91u);
}

// ---- Numbers ---------------------------------------------------------------

std::string numberText(double value) {
  std::string json = encodeJsonText(MetricPayload{"k", value, "u", "l", 0});
  const std::string head = R"({"key":"k","value":)";
  return json.substr(head.size(), json.find(',', head.size()) - head.size());
}

double readBack(double value) {
  return decodeJsonText<MetricPayload>(encodeJsonText(MetricPayload{"k", value, "u", "l", 0})).value;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(NumberEncodingTest, ExactTexts) {
  const double twoTo53 = 9007199254740992.0;
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {2500, "2500"},
      {0, "0"},
      {-0.0, "-0.0"},
      {-1, "-1"},
      {0.1, "0.1"},
      {2.5, "2.5"},
      {1700000000000, "1700000000000"},
      {1700000000000.5, "1700000000000.5"},
      {twoTo53, "9007199254740992"},
      {-twoTo53, "-9007199254740992"},
      {twoTo53 - 1, "9007199254740991"},
      {1e300, "1e+300"},
      {-1e300, "-1e+300"},
      {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
      {std::numeric_limits<double>::denorm_min(), "5e-324"},
  };
  for (const Case& c : cases) EXPECT_EQ(numberText(c.value), c.text) << c.text;
}

TEST(NumberEncodingTest, WholeNumbersWithinTwoTo53HaveNoFraction) {
  for (double whole : {1.0, 59.0, 1e15, 4503599627370497.0, 9007199254740992.0, -123456789.0}) {
    std::string text = numberText(whole);
    EXPECT_EQ(text.find_first_of(".eE"), std::string::npos) << text;
  }
}

TEST(NumberEncodingTest, EveryDoubleReadsBackBitForBit) {
  std::vector<double> values = {
      -0.0,
      0.1,
      1.0 / 3,
      2.0 / 3 * 1e-10,
      std::numeric_limits<double>::min(),
      std::numeric_limits<double>::denorm_min(),
      std::nextafter(std::numeric_limits<double>::min(), 0.0),  // largest subnormal
      4.9406564584124654e-322,
      std::numeric_limits<double>::max(),
      std::numeric_limits<double>::lowest(),
      std::numeric_limits<double>::epsilon(),
      9007199254740993.0,  // rounds to 2^53
      std::nextafter(9007199254740992.0, 1e300),
      std::nextafter(9007199254740992.0, 0.0),
      18446744073709551616.0,  // 2^64, beyond int64
      -9223372036854775808.0,
      1e300,
      123456.789e-300,
  };
  std::mt19937_64 random(20240531);
  for (int i = 0; i < 20000; ++i) {
    std::uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (std::isfinite(value)) values.push_back(value);
  }
  std::uniform_real_distribution<double> milliseconds(0, 4e12);
  for (int i = 0; i < 2000; ++i) values.push_back(milliseconds(random));
  for (double value : values) {
    double back = readBack(value);
    EXPECT_TRUE(sameBits(back, value)) << numberText(value) << " read back as " << back;
  }
}

TEST(NumberEncodingTest, SecondsBecomeMillisecondsAndBack) {
  // 2.5 s after the epoch is 2500 on the wire, and 2500 is 2.5 s again.
  WritebackItem item{"i", "steps", "l", "1", {}, 2.5 * 1000, {}, {}};
  EXPECT_EQ(encodeJsonText(item), R"({"id":"i","type":"steps","label":"l","value":"1","startDate":2500})");
  EXPECT_EQ(*decodeJsonText<WritebackItem>(encodeJsonText(item)).startDate / 1000, 2.5);
}

TEST(NumberEncodingTest, IntegerFieldsRefuseFractionsAndOverflow) {
  EXPECT_EQ(decodeJsonText<WriteResult>(R"({"writtenCount":3.0,"warnings":[]})").writtenCount, 3);
  EXPECT_EQ(decodeJsonText<WriteResult>(R"({"writtenCount":9223372036854775807,"warnings":[]})").writtenCount,
            std::numeric_limits<std::int64_t>::max());
  for (const char* json : {R"({"writtenCount":3.5,"warnings":[]})", R"({"writtenCount":9223372036854775808,"warnings":[]})",
                           R"({"writtenCount":1e19,"warnings":[]})"}) {
    try {
      decodeJsonText<WriteResult>(json);
      ADD_FAILURE() << json;
    } catch (const RequestDecodeError& error) {
      EXPECT_STREQ(error.what(), "The key 'writtenCount' must be a whole number that fits in 64 bits.");
    }
  }
}

}  // namespace
}  // namespace tarnwick::testing
