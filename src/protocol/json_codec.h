// JSON text of the wire records: compact output with the record's key order,
// and a strict reader whose failures name the offending key.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "protocol/records.h"

namespace tarnwick::protocol {

// A request that is not valid JSON or not a valid BridgeRequest. what() is
// one plain sentence that says what is wrong and where.
class RequestDecodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A record holding a value JSON cannot carry: a non-finite number, or a text
// that is not valid UTF-8.
class EncodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses request bytes (UTF-8 JSON) into a BridgeRequest. Throws
// RequestDecodeError.
BridgeRequest decodeRequestText(std::string_view bytes);

// Compact JSON text of a record: fields in wire order, absent optionals left
// out, slashes unescaped. Throws EncodeError. Instantiated for every record
// of TARNWICK_WIRE_RECORDS.
template <class Record>
std::string encodeJsonText(const Record& record);

// Reads a record from JSON text by the same rules as the request. Throws
// RequestDecodeError. Instantiated for every record of TARNWICK_WIRE_RECORDS.
template <class Record>
Record decodeJsonText(std::string_view text);

}  // namespace tarnwick::protocol
