// Reading request and record text straight into the wire records, one parser
// event at a time, without a document of the whole text in between: a large
// "write" then costs little more than its bytes and its items.
//
// A syntax error anywhere wins over any record error, so a record error is
// noted and the parse goes on; it is thrown at the end. Of the record errors
// the one reported is the first in the text (a missing key stands where its
// object closes). A key given twice counts by its last value, errors
// included.
#include "protocol/json_codec.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/json_parse_errors.h"
#include "protocol/record_fields.h"
#include "protocol/wire_traits.h"

namespace tarnwick::protocol {
namespace {

// One scalar value as the parser hands it over. The string is the parser's
// own buffer, which the reader may move from.
struct Scalar {
  enum class Kind { null, boolean, integer, unsignedInteger, floating, string };
  Kind kind = Kind::null;
  bool boolean = false;
  std::int64_t integer = 0;
  std::uint64_t unsignedInteger = 0;
  double floating = 0;
  std::string* string = nullptr;
};

std::string_view describeScalar(Scalar::Kind kind) {
  switch (kind) {
    case Scalar::Kind::null: return "null";
    case Scalar::Kind::boolean: return "a boolean";
    case Scalar::Kind::integer:
    case Scalar::Kind::unsignedInteger:
    case Scalar::Kind::floating: return "a number";
    case Scalar::Kind::string: return "a string";
  }
  return "an unexpected value";
}

std::string_view describeContainer(bool isObject) { return isObject ? "an object" : "an array"; }

// A record error: its sentence, and the parser event it stands at, which
// orders errors as their places in the text do. Empty when there is none.
struct RecordError {
  std::size_t at = 0;
  std::string sentence;

  bool empty() const { return sentence.empty(); }
};

// Where a value sits, spelled out only when an error needs it:
// "items[3].value".
struct Where {
  const std::string& container;  // the enclosing record's or array's path, empty at the top
  std::string_view key;          // the field, when the value is one
  std::size_t index = 0;         // the element, when key is empty

  std::string path() const {
    if (!key.empty()) return container.empty() ? std::string(key) : container + "." + std::string(key);
    return container + "[" + std::to_string(index) + "]";
  }
};

std::string wrongType(const Where& where, std::string_view expected, std::string_view found) {
  return "The key '" + where.path() + "' must be " + std::string(expected) + ", found " + std::string(found) + ".";
}

template <class T>
constexpr std::string_view expectedTypeName() {
  if constexpr (std::is_same_v<T, bool>) return "a boolean";
  else if constexpr (std::is_same_v<T, double>) return "a number";
  else if constexpr (std::is_same_v<T, std::int64_t>) return "an integer";
  else if constexpr (std::is_same_v<T, std::string>) return "a string";
  else if constexpr (IsVector<T>::value) return "an array";
  else return "an object";
}

// Stores a scalar into out. Returns the error sentence, empty when it fits.
template <class T>
std::string readScalar(T& out, Scalar& value, const Where& where) {
  using Kind = Scalar::Kind;
  if constexpr (IsOptional<T>::value) {
    if (value.kind == Kind::null) {
      out.reset();
      return {};
    }
    return readScalar(out.emplace(), value, where);
  } else if constexpr (std::is_same_v<T, bool>) {
    if (value.kind != Kind::boolean) return wrongType(where, expectedTypeName<T>(), describeScalar(value.kind));
    out = value.boolean;
  } else if constexpr (std::is_same_v<T, double>) {
    switch (value.kind) {
      case Kind::integer: out = static_cast<double>(value.integer); break;
      case Kind::unsignedInteger: out = static_cast<double>(value.unsignedInteger); break;
      case Kind::floating: out = value.floating; break;
      default: return wrongType(where, expectedTypeName<T>(), describeScalar(value.kind));
    }
    if (!std::isfinite(out)) return "The key '" + where.path() + "' holds a number too large for a double.";
  } else if constexpr (std::is_same_v<T, std::int64_t>) {
    constexpr auto kLargest = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (value.kind == Kind::integer) {
      out = value.integer;
    } else if (value.kind == Kind::unsignedInteger && value.unsignedInteger <= kLargest) {
      out = static_cast<std::int64_t>(value.unsignedInteger);
    } else if (value.kind == Kind::floating && std::trunc(value.floating) == value.floating &&
               std::fabs(value.floating) < 9.2e18) {
      out = static_cast<std::int64_t>(value.floating);
    } else if (value.kind == Kind::unsignedInteger || value.kind == Kind::floating) {
      return "The key '" + where.path() + "' must be a whole number that fits in 64 bits.";
    } else {
      return wrongType(where, expectedTypeName<T>(), describeScalar(value.kind));
    }
  } else if constexpr (std::is_same_v<T, std::string>) {
    if (value.kind != Kind::string) return wrongType(where, expectedTypeName<T>(), describeScalar(value.kind));
    out = std::move(*value.string);
  } else {
    return wrongType(where, expectedTypeName<T>(), describeScalar(value.kind));
  }
  return {};
}

// An open object or array that values are being read into.
class Frame {
 public:
  virtual ~Frame() = default;
  // Picks the field the next value belongs to. False for a key that names no
  // field: its value is skipped.
  virtual bool selectKey(std::string_view key) = 0;
  // Reads the next value (of the selected field, or the next element), the
  // parser's event number at.
  virtual void readScalar(Scalar& value, std::size_t at) = 0;
  // The next value, event at, opens an object or an array: returns the frame
  // that reads it, or null when it is skipped (a wrong type, already noted).
  virtual std::unique_ptr<Frame> open(bool isObject, std::size_t at) = 0;
  // A frame this one opened has ended with error (empty for none).
  virtual void childEnded(RecordError error) = 0;
  // Ends this frame at event at. Returns its first error in the text, empty
  // for none.
  virtual RecordError end(std::size_t at) = 0;
};

template <class T>
std::unique_ptr<Frame> openValue(T& out, bool isObject, const Where& where, std::string& error);

template <class Record>
class RecordFrame final : public Frame {
 public:
  RecordFrame(Record& record, std::string path) : record_(record), path_(std::move(path)) {}

  bool selectKey(std::string_view key) override {
    field_ = kNoField;
    std::size_t index = 0;
    auto match = [&](std::string_view fieldKey, auto&) {
      if (fieldKey == key) field_ = index;
      ++index;
    };
    RecordFields<Record>::visit(match, record_);
    return field_ != kNoField;
  }

  void readScalar(Scalar& value, std::size_t at) override {
    withSelectedField([&](std::string_view key, auto& field) {
      settle({at, protocol::readScalar(field, value, Where{path_, key})});
    });
  }

  std::unique_ptr<Frame> open(bool isObject, std::size_t at) override {
    std::unique_ptr<Frame> child;
    withSelectedField([&](std::string_view key, auto& field) {
      std::string error;
      child = openValue(field, isObject, Where{path_, key}, error);
      if (!child) settle({at, std::move(error)});
    });
    return child;
  }

  void childEnded(RecordError error) override { settle(std::move(error)); }

  RecordError end(std::size_t at) override {
    RecordError first;
    auto keep = [&](RecordError error) {
      if (first.empty() || error.at < first.at) first = std::move(error);
    };
    for (auto& [field, error] : errors_) keep(std::move(error));
    std::size_t index = 0;
    auto check = [&](std::string_view key, auto& field) {
      using Field = std::remove_reference_t<decltype(field)>;
      if (!IsOptional<Field>::value && !(seen_ & bit(index)) && first.empty()) {
        first = {at, "The key '" + Where{path_, key}.path() + "' is missing."};
      }
      ++index;
    };
    RecordFields<Record>::visit(check, record_);
    return first;
  }

 private:
  static constexpr std::size_t kNoField = static_cast<std::size_t>(-1);

  static std::uint32_t bit(std::size_t index) { return std::uint32_t{1} << index; }

  template <class F>
  void withSelectedField(F&& f) {
    std::size_t index = 0;
    auto pick = [&](std::string_view key, auto& field) {
      if (index++ == field_) f(key, field);
    };
    RecordFields<Record>::visit(pick, record_);
  }

  // The selected field's value is complete: a later value of the same key
  // replaces its outcome, error or not.
  void settle(RecordError error) {
    seen_ |= bit(field_);
    std::erase_if(errors_, [&](const auto& entry) { return entry.first == field_; });
    if (!error.empty()) errors_.emplace_back(field_, std::move(error));
  }

  Record& record_;
  std::string path_;
  std::size_t field_ = kNoField;
  std::uint32_t seen_ = 0;  // one bit per field, in wire order; records have at most a dozen
  // Errors are rare; a list keeps the common case free of allocations.
  std::vector<std::pair<std::size_t, RecordError>> errors_;
};

// Elements are gathered in chunks of fixed capacity and moved into the
// vector when the array ends, one chunk at a time: growing the vector as they
// came would hold its old and its new copy at once, twice the array at its
// largest. A chunk never reallocates, so an element stays where it is while
// its own frame fills it.
template <class T>
class ArrayFrame final : public Frame {
 public:
  ArrayFrame(std::vector<T>& elements, std::string path) : elements_(elements), path_(std::move(path)) {}

  bool selectKey(std::string_view) override { return false; }

  void readScalar(Scalar& value, std::size_t at) override {
    if (!error_.empty()) return;
    T& element = nextElement();
    noteError({at, protocol::readScalar(element, value, Where{path_, {}, count_ - 1})});
  }

  std::unique_ptr<Frame> open(bool isObject, std::size_t at) override {
    if (!error_.empty()) return nullptr;  // only the first error counts
    T& element = nextElement();
    std::string error;
    std::unique_ptr<Frame> child = openValue(element, isObject, Where{path_, {}, count_ - 1}, error);
    noteError({at, std::move(error)});
    return child;
  }

  void childEnded(RecordError error) override { noteError(std::move(error)); }

  RecordError end(std::size_t) override {
    if (!error_.empty()) return std::move(error_);
    elements_.reserve(count_);
    for (std::vector<T>& chunk : chunks_) {
      std::move(chunk.begin(), chunk.end(), std::back_inserter(elements_));
      std::vector<T>().swap(chunk);
    }
    return {};
  }

 private:
  // Small arrays stay small: chunks start at a few elements and double.
  static constexpr std::size_t kFirstChunk = 8;
  static constexpr std::size_t kLargestChunk = 4096;

  T& nextElement() {
    if (chunks_.empty() || chunks_.back().size() == chunks_.back().capacity()) {
      std::size_t capacity = chunks_.empty() ? kFirstChunk : std::min(2 * chunks_.back().capacity(), kLargestChunk);
      chunks_.emplace_back().reserve(capacity);
    }
    ++count_;
    return chunks_.back().emplace_back();
  }

  // After the first error the elements are of no more use: the read will fail.
  void noteError(RecordError error) {
    if (error.empty() || !error_.empty()) return;
    error_ = std::move(error);
    std::vector<std::vector<T>>().swap(chunks_);
  }

  std::vector<T>& elements_;
  std::string path_;
  std::vector<std::vector<T>> chunks_;
  std::size_t count_ = 0;
  RecordError error_;
};

template <class T>
std::unique_ptr<Frame> openValue(T& out, bool isObject, const Where& where, std::string& error) {
  if constexpr (IsOptional<T>::value) {
    return openValue(out.emplace(), isObject, where, error);
  } else if constexpr (IsVector<T>::value) {
    if (!isObject) {
      out.clear();
      return std::make_unique<ArrayFrame<typename T::value_type>>(out, where.path());
    }
  } else if constexpr (WireRecord<T>) {
    if (isObject) {
      out = T{};
      return std::make_unique<RecordFrame<T>>(out, where.path());
    }
  }
  error = wrongType(where, expectedTypeName<T>(), describeContainer(isObject));
  return nullptr;
}

using Json = nlohmann::json;

// The parser's event receiver (its SAX interface). Values under a key that
// names no field, or of the wrong type, are skipped by counting depth, so
// nesting of any depth costs nothing here; the parser itself keeps one bit
// per level.
template <class Record>
class RecordReader {
 public:
  RecordReader(Record& record, std::string_view subject) : record_(record), subject_(subject) {}

  bool null() { return scalar(Scalar{}); }
  bool boolean(bool value) { return scalar(Scalar{.kind = Scalar::Kind::boolean, .boolean = value}); }
  bool number_integer(Json::number_integer_t value) {
    return scalar(Scalar{.kind = Scalar::Kind::integer, .integer = value});
  }
  bool number_unsigned(Json::number_unsigned_t value) {
    return scalar(Scalar{.kind = Scalar::Kind::unsignedInteger, .unsignedInteger = value});
  }
  bool number_float(Json::number_float_t value, const Json::string_t&) {
    return scalar(Scalar{.kind = Scalar::Kind::floating, .floating = value});
  }
  bool string(Json::string_t& value) { return scalar(Scalar{.kind = Scalar::Kind::string, .string = &value}); }
  bool binary(Json::binary_t&) { return true; }  // JSON text has none

  bool start_object(std::size_t) { return open(true); }
  bool start_array(std::size_t) { return open(false); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }

  bool key(Json::string_t& key) {
    ++events_;
    if (skipDepth_ == 0) skipNextValue_ = !frames_.back()->selectKey(key);
    return true;
  }

  bool parse_error(std::size_t bytesRead, const std::string& lastRead, const nlohmann::detail::exception& error) {
    failure_ = JsonParseFailure{bytesRead, lastRead, error.id};
    return false;
  }

  // The parser's failure, when it stopped on one.
  const std::optional<JsonParseFailure>& failure() const { return failure_; }

  // The first record error in the text, empty for none.
  const std::string& recordError() const { return recordError_.sentence; }

 private:
  // True (and the value consumed) while inside or at a value being skipped.
  bool skipsValue() {
    if (skipDepth_ > 0) return true;
    if (!skipNextValue_) return false;
    skipNextValue_ = false;
    return true;
  }

  bool scalar(Scalar value) {
    ++events_;
    if (skipsValue()) return true;
    if (frames_.empty()) {
      recordError_ = {events_, notAnObject(describeScalar(value.kind))};
    } else {
      frames_.back()->readScalar(value, events_);
    }
    return true;
  }

  bool open(bool isObject) {
    ++events_;
    if (skipDepth_ > 0) {
      ++skipDepth_;
      return true;
    }
    if (skipsValue()) {
      skipDepth_ = 1;
      return true;
    }
    std::unique_ptr<Frame> frame;
    if (frames_.empty()) {
      if (isObject) {
        frame = std::make_unique<RecordFrame<Record>>(record_, std::string());
      } else {
        recordError_ = {events_, notAnObject(describeContainer(isObject))};
      }
    } else {
      frame = frames_.back()->open(isObject, events_);
    }
    if (frame) {
      frames_.push_back(std::move(frame));
    } else {
      skipDepth_ = 1;
    }
    return true;
  }

  bool close() {
    ++events_;
    if (skipDepth_ > 0) {
      --skipDepth_;
      return true;
    }
    RecordError error = frames_.back()->end(events_);
    frames_.pop_back();
    if (frames_.empty()) {
      recordError_ = std::move(error);
    } else {
      frames_.back()->childEnded(std::move(error));
    }
    return true;
  }

  std::string notAnObject(std::string_view found) const {
    return std::string(subject_) + " must be a JSON object, found " + std::string(found) + ".";
  }

  Record& record_;
  std::string_view subject_;
  std::vector<std::unique_ptr<Frame>> frames_;
  std::size_t skipDepth_ = 0;
  bool skipNextValue_ = false;
  std::size_t events_ = 0;  // parser events so far: the order of places in the text
  RecordError recordError_;
  std::optional<JsonParseFailure> failure_;
};

template <class Record>
Record decodeWithSubject(std::string_view text, std::string_view subject) {
  // The parser stops at a NUL byte as if the input ended there, which would
  // let anything after it through unread. A NUL is never valid JSON text
  // (inside a string it must be escaped), so the text before it is parsed on
  // its own and the NUL is reported unless that text has an error of its own.
  std::size_t nul = text.find('\0');
  std::string_view readable = text.substr(0, nul);
  Record record{};
  RecordReader<Record> reader(record, subject);
  if (!Json::sax_parse(readable.begin(), readable.end(), &reader)) {
    throw RequestDecodeError(describeJsonParseFailure(subject, text, nul, reader.failure().value()));
  }
  if (nul != std::string_view::npos) throw RequestDecodeError(describeNulByte(subject, text, nul));
  if (!reader.recordError().empty()) throw RequestDecodeError(reader.recordError());
  return record;
}

}  // namespace

BridgeRequest decodeRequestText(std::string_view bytes) {
  return decodeWithSubject<BridgeRequest>(bytes, "The request");
}

template <class Record>
Record decodeJsonText(std::string_view text) {
  return decodeWithSubject<Record>(text, "The JSON text");
}

#define TARNWICK_INSTANTIATE_DECODER(Record) template Record decodeJsonText<Record>(std::string_view);
TARNWICK_WIRE_RECORDS(TARNWICK_INSTANTIATE_DECODER)
#undef TARNWICK_INSTANTIATE_DECODER

}  // namespace tarnwick::protocol
