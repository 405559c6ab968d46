#include "protocol/json_codec.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/record_fields.h"
#include "protocol/utf8.h"

namespace tarnwick::protocol {
namespace {

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <class T>
struct IsVector : std::false_type {};
template <class T>
struct IsVector<std::vector<T>> : std::true_type {};

// ---- Writing -------------------------------------------------------------

// 2^53: every whole number up to this magnitude is exact in a double and is
// written in integer form ("2500", not "2500.0" or "2.5e+03").
constexpr double kLargestExactWhole = 9007199254740992.0;

void writeNumber(std::string& out, double value) {
  if (!std::isfinite(value)) throw EncodeError("A number in the response is not finite.");
  if (value == 0 && std::signbit(value)) {
    // "-0" would come back as the integer 0 and lose its sign; a fraction
    // makes every reader take it as a double.
    out += "-0.0";
    return;
  }
  char buffer[32];
  std::to_chars_result result;
  if (value == std::trunc(value) && std::fabs(value) <= kLargestExactWhole) {
    result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::int64_t>(value));
  } else {
    // The shortest text that reads back as the same double.
    result = std::to_chars(buffer, buffer + sizeof buffer, value);
  }
  out.append(buffer, result.ptr);
}

void writeNumber(std::string& out, std::int64_t value) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

void writeString(std::string& out, std::string_view text) {
  if (!isValidUtf8(text)) throw EncodeError("A text in the response is not valid UTF-8.");
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

template <class T>
void writeValue(std::string& out, const T& value);

struct MemberWriter {
  std::string& out;
  bool first = true;

  template <class T>
  void operator()(std::string_view key, const T& field) {
    if constexpr (IsOptional<T>::value) {
      if (!field) return;
      (*this)(key, *field);
    } else {
      out += first ? "" : ",";
      first = false;
      writeString(out, key);
      out += ':';
      writeValue(out, field);
    }
  }
};

template <class T>
void writeValue(std::string& out, const T& value) {
  if constexpr (std::is_same_v<T, bool>) {
    out += value ? "true" : "false";
  } else if constexpr (std::is_same_v<T, double> || std::is_same_v<T, std::int64_t>) {
    writeNumber(out, value);
  } else if constexpr (std::is_same_v<T, std::string>) {
    writeString(out, value);
  } else if constexpr (IsVector<T>::value) {
    out += '[';
    for (std::size_t i = 0; i < value.size(); ++i) {
      if (i) out += ',';
      writeValue(out, value[i]);
    }
    out += ']';
  } else {
    static_assert(WireRecord<T>, "every encoded value is a wire record or a JSON scalar");
    out += '{';
    MemberWriter writer{out};
    RecordFields<T>::visit(writer, value);
    out += '}';
  }
}

// ---- Reading -------------------------------------------------------------

using Json = nlohmann::json;

std::string describeJsonType(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null: return "null";
    case Json::value_t::boolean: return "a boolean";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float: return "a number";
    case Json::value_t::string: return "a string";
    case Json::value_t::array: return "an array";
    case Json::value_t::object: return "an object";
    default: return "an unexpected value";
  }
}

[[noreturn]] void failWrongType(const std::string& path, std::string_view expected, const Json& found) {
  throw RequestDecodeError("The key '" + path + "' must be " + std::string(expected) + ", found " +
                           describeJsonType(found) + ".");
}

template <class T>
void readValue(const Json& json, T& out, const std::string& path);

struct MemberReader {
  const Json& object;
  const std::string& prefix;

  template <class T>
  void operator()(std::string_view key, T& field) {
    std::string path = prefix.empty() ? std::string(key) : prefix + "." + std::string(key);
    auto found = object.find(key);
    bool absent = found == object.end() || found->is_null();
    if constexpr (IsOptional<T>::value) {
      if (absent) {
        field.reset();
        return;
      }
      typename T::value_type value{};
      readValue(*found, value, path);
      field = std::move(value);
    } else {
      if (found == object.end()) throw RequestDecodeError("The key '" + path + "' is missing.");
      readValue(*found, field, path);
    }
  }
};

template <class T>
constexpr std::string_view expectedTypeName() {
  if constexpr (std::is_same_v<T, bool>) return "a boolean";
  else if constexpr (std::is_same_v<T, double>) return "a number";
  else if constexpr (std::is_same_v<T, std::int64_t>) return "an integer";
  else if constexpr (std::is_same_v<T, std::string>) return "a string";
  else if constexpr (IsVector<T>::value) return "an array";
  else return "an object";
}

template <class T>
void readValue(const Json& json, T& out, const std::string& path) {
  constexpr std::string_view expected = expectedTypeName<T>();
  if constexpr (std::is_same_v<T, bool>) {
    if (!json.is_boolean()) failWrongType(path, expected, json);
    out = json.get<bool>();
  } else if constexpr (std::is_same_v<T, double>) {
    if (!json.is_number()) failWrongType(path, expected, json);
    out = json.get<double>();
    if (!std::isfinite(out)) {
      throw RequestDecodeError("The key '" + path + "' holds a number too large for a double.");
    }
  } else if constexpr (std::is_same_v<T, std::int64_t>) {
    if (json.is_number_integer() && !json.is_number_unsigned()) {
      out = json.get<std::int64_t>();
    } else if (json.is_number_unsigned() &&
               json.get<std::uint64_t>() <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      out = static_cast<std::int64_t>(json.get<std::uint64_t>());
    } else if (json.is_number_float() && std::trunc(json.get<double>()) == json.get<double>() &&
               std::fabs(json.get<double>()) < 9.2e18) {
      out = static_cast<std::int64_t>(json.get<double>());
    } else if (json.is_number()) {
      throw RequestDecodeError("The key '" + path + "' must be a whole number that fits in 64 bits.");
    } else {
      failWrongType(path, expected, json);
    }
  } else if constexpr (std::is_same_v<T, std::string>) {
    if (!json.is_string()) failWrongType(path, expected, json);
    out = json.get_ref<const std::string&>();
  } else if constexpr (IsVector<T>::value) {
    if (!json.is_array()) failWrongType(path, expected, json);
    out.clear();
    out.resize(json.size());
    for (std::size_t i = 0; i < json.size(); ++i) {
      readValue(json[i], out[i], path + "[" + std::to_string(i) + "]");
    }
  } else {
    static_assert(WireRecord<T>, "every decoded value is a wire record or a JSON scalar");
    if (!json.is_object()) failWrongType(path, expected, json);
    MemberReader reader{json, path};
    RecordFields<T>::visit(reader, out);
  }
}

// Turns the JSON library's parse error into one plain sentence:
// "The request is not valid JSON at line 1, column 5: invalid literal, near 'tru'."
std::string describeParseError(std::string_view subject, const std::string& libraryMessage) {
  std::string where;
  if (auto at = libraryMessage.find("at line "); at != std::string::npos) {
    auto colon = libraryMessage.find(':', at);
    where = " " + libraryMessage.substr(at, colon == std::string::npos ? std::string::npos : colon - at);
  }
  // The library's text after the position reads
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
  // Only the library's own words are left in detail and expected, but they
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

// "line 2, column 7" of the byte at offset, counted the way the JSON
// library counts: lines from 1, columns in bytes from 1.
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

// The library stops reading at a NUL byte as if the input ended there, which
// would let anything after it through unread. A NUL is never valid JSON text
// (inside a string it must be escaped), so the text before it is parsed on
// its own and the NUL is reported unless that text already has an error of
// its own.
Json parseJson(std::string_view text, std::string_view subject) {
  std::size_t nul = text.find('\0');
  std::string_view readable = text.substr(0, nul);
  auto nulError = [&] {
    return RequestDecodeError(std::string(subject) + " is not valid JSON at " + positionOf(text, nul) +
                              ": it holds a NUL byte.");
  };
  try {
    Json json = Json::parse(readable.begin(), readable.end());
    if (nul != std::string_view::npos) throw nulError();
    return json;
  } catch (const Json::parse_error& error) {
    std::string message = error.what();
    if (nul != std::string_view::npos && message.find("unexpected end of input") != std::string::npos) {
      throw nulError();
    }
    throw RequestDecodeError(describeParseError(subject, message));
  } catch (const Json::out_of_range& error) {
    // The one range error of parsing: a number beyond a double, which the
    // library names as "number overflow parsing '<text>'".
    std::string message = error.what();
    std::string number;
    if (auto open = message.find('\''); open != std::string::npos) {
      number = message.substr(open + 1);
      if (!number.empty() && number.back() == '\'') number.pop_back();
    }
    constexpr std::size_t kMaxNumber = 40;
    throw RequestDecodeError(std::string(subject) + " holds a number too large for a double: '" +
                             printableUtf8(number, kMaxNumber) + "'.");
  } catch (const Json::exception& error) {
    // Not expected from parsing; keep the sentence free of the library's
    // bracketed prefix all the same.
    std::string message = error.what();
    if (auto close = message.find("] "); message.starts_with("[json.exception.") && close != std::string::npos) {
      message.erase(0, close + 2);
    }
    throw RequestDecodeError(std::string(subject) + " cannot be read as JSON: " + message + ".");
  }
}

template <class Record>
Record decodeWithSubject(std::string_view text, std::string_view subject) {
  Json json = parseJson(text, subject);
  if (!json.is_object()) {
    throw RequestDecodeError(std::string(subject) + " must be a JSON object, found " + describeJsonType(json) + ".");
  }
  Record record{};
  std::string root;
  MemberReader reader{json, root};
  RecordFields<Record>::visit(reader, record);
  return record;
}

}  // namespace

BridgeRequest decodeRequestText(std::string_view bytes) {
  return decodeWithSubject<BridgeRequest>(bytes, "The request");
}

template <class Record>
std::string encodeJsonText(const Record& record) {
  std::string out;
  out.reserve(256);
  writeValue(out, record);
  return out;
}

template <class Record>
Record decodeJsonText(std::string_view text) {
  return decodeWithSubject<Record>(text, "The JSON text");
}

#define TARNWICK_INSTANTIATE_CODEC(Record)                      \
  template std::string encodeJsonText<Record>(const Record&); \
  template Record decodeJsonText<Record>(std::string_view);

TARNWICK_INSTANTIATE_CODEC(WritebackItem)
TARNWICK_INSTANTIATE_CODEC(BridgeRequest)
TARNWICK_INSTANTIATE_CODEC(BridgeErrorPayload)
TARNWICK_INSTANTIATE_CODEC(StatusData)
TARNWICK_INSTANTIATE_CODEC(AuthorizationData)
TARNWICK_INSTANTIATE_CODEC(PermissionSnapshot)
TARNWICK_INSTANTIATE_CODEC(MetricPayload)
TARNWICK_INSTANTIATE_CODEC(RecordPayload)
TARNWICK_INSTANTIATE_CODEC(SyncData)
TARNWICK_INSTANTIATE_CODEC(WriteResult)
TARNWICK_INSTANTIATE_CODEC(BridgeEnvelope<StatusData>)
TARNWICK_INSTANTIATE_CODEC(BridgeEnvelope<AuthorizationData>)
TARNWICK_INSTANTIATE_CODEC(BridgeEnvelope<SyncData>)
TARNWICK_INSTANTIATE_CODEC(BridgeEnvelope<WriteResult>)

#undef TARNWICK_INSTANTIATE_CODEC

}  // namespace tarnwick::protocol
