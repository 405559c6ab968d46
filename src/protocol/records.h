// The records that cross the process boundary: one request in, one envelope
// out. They are plain values; their JSON form lives in json_codec.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::protocol {

// One item to store, an element of BridgeRequest::items.
struct WritebackItem {
  std::string id;
  std::string type;
  std::string label;
  std::string value;  // the amount as text; parsed by writeback
  std::optional<std::string> unit;
  std::optional<double> startDate;  // milliseconds since 1970 UTC
  std::optional<double> endDate;    // milliseconds since 1970 UTC
  std::optional<std::string> sourceId;

  bool operator==(const WritebackItem&) const = default;
};

// The one request a run answers.
struct BridgeRequest {
  std::string method;
  std::optional<std::string> sourceId;
  std::string sourceMode;
  std::optional<std::vector<std::string>> readTypes;
  std::optional<std::vector<std::string>> writeTypes;
  std::optional<double> since;  // milliseconds since 1970 UTC
  std::optional<std::vector<WritebackItem>> items;

  bool operator==(const BridgeRequest&) const = default;
};

// Why a request failed.
struct BridgeErrorPayload {
  std::string code;
  std::string message;
  std::optional<std::string> details;

  bool operator==(const BridgeErrorPayload&) const = default;
};

// The payload of "status".
struct StatusData {
  bool available = false;
  std::string authorizationStatus;
  std::vector<std::string> readableTypes;
  std::vector<std::string> writableTypes;
  std::string sourceMode;
  std::optional<double> lastSyncedAt;
  std::optional<std::string> lastError;

  bool operator==(const StatusData&) const = default;
};

// The payload of "authorize".
struct AuthorizationData {
  bool granted = false;
  std::string authorizationStatus;
  std::vector<std::string> readableTypes;
  std::vector<std::string> writableTypes;
  std::string sourceMode;

  bool operator==(const AuthorizationData&) const = default;
};

// SyncData::permissions.
struct PermissionSnapshot {
  bool read = false;
  bool write = false;

  bool operator==(const PermissionSnapshot&) const = default;
};

// One reading of a metric.
struct MetricPayload {
  std::string key;
  double value = 0;
  std::string unit;
  std::string label;
  double recordedAt = 0;  // milliseconds since 1970 UTC

  bool operator==(const MetricPayload&) const = default;
};

// A descriptive record that accompanies a metric, such as a workout summary.
struct RecordPayload {
  std::string title;
  std::string summary;
  double recordedAt = 0;  // milliseconds since 1970 UTC
  std::string sourceLabel;
  std::string kind;
  std::vector<std::string> tags;

  bool operator==(const RecordPayload&) const = default;
};

// The payload of "sync".
struct SyncData {
  PermissionSnapshot permissions;
  std::vector<std::string> readableTypes;
  std::vector<std::string> writableTypes;
  std::vector<MetricPayload> metrics;
  std::vector<RecordPayload> records;
  std::string sourceMode;
  double lastSyncedAt = 0;  // milliseconds since 1970 UTC

  bool operator==(const SyncData&) const = default;
};

// The payload of "write".
struct WriteResult {
  std::int64_t writtenCount = 0;
  std::vector<std::string> warnings;

  bool operator==(const WriteResult&) const = default;
};

// The one response. A success carries data and no error, a failure the
// reverse; the factories below are the only way the program builds one.
template <class Payload>
struct BridgeEnvelope {
  bool ok = false;
  std::optional<Payload> data;
  std::optional<BridgeErrorPayload> error;

  static BridgeEnvelope success(Payload payload) {
    return BridgeEnvelope{true, std::move(payload), std::nullopt};
  }
  static BridgeEnvelope failure(std::string code, std::string message) {
    return BridgeEnvelope{false, std::nullopt,
                          BridgeErrorPayload{std::move(code), std::move(message), std::nullopt}};
  }

  bool operator==(const BridgeEnvelope&) const = default;
};

// Every record the JSON reader and writer handle, named once: each calls
// X(Record) for all of them to instantiate its template. A method's payload
// and its envelope belong here.
#define TARNWICK_WIRE_RECORDS(X)                                                                      \
  X(WritebackItem) X(BridgeRequest) X(BridgeErrorPayload) X(PermissionSnapshot) X(MetricPayload)      \
  X(RecordPayload) X(StatusData) X(AuthorizationData) X(SyncData) X(WriteResult)                      \
  X(BridgeEnvelope<StatusData>) X(BridgeEnvelope<AuthorizationData>) X(BridgeEnvelope<SyncData>)      \
  X(BridgeEnvelope<WriteResult>)

}  // namespace tarnwick::protocol
