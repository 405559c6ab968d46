#include "protocol/json_codec.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <type_traits>

#include "protocol/record_fields.h"
#include "protocol/utf8.h"
#include "protocol/wire_traits.h"

// The writing half of json_codec.h; the reading half, which decodes as it
// parses, is json_record_reader.cc.
namespace tarnwick::protocol {
namespace {

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

}  // namespace

template <class Record>
std::string encodeJsonText(const Record& record) {
  std::string out;
  out.reserve(256);
  writeValue(out, record);
  return out;
}

#define TARNWICK_INSTANTIATE_ENCODER(Record) template std::string encodeJsonText<Record>(const Record&);
TARNWICK_WIRE_RECORDS(TARNWICK_INSTANTIATE_ENCODER)
#undef TARNWICK_INSTANTIATE_ENCODER

}  // namespace tarnwick::protocol
