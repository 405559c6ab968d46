// The field list of every wire record, in wire order, written once and walked
// by both the encoder and the decoder so that the two can never disagree.
#pragma once

#include "protocol/records.h"

namespace tarnwick::protocol {

// RecordFields<R>::visit(visitor, record) calls visitor(key, field) for each
// field of R in the order the JSON form lists them.
template <class Record>
struct RecordFields;

template <>
struct RecordFields<WritebackItem> {
  template <class V, class R>
  static void visit(V& v, R& r) {
    v("id", r.id);
    v("type", r.type);
    v("label", r.label);
    v("value", r.value);
    v("unit", r.unit);
    v("startDate", r.startDate);
    v("endDate", r.endDate);
    v("sourceId", r.sourceId);
  }
};

template <>
struct RecordFields<BridgeRequest> {
  template <class V, class R>
  static void visit(V& v, R& r) {
    v("method", r.method);
    v("sourceId", r.sourceId);
    v("sourceMode", r.sourceMode);
    v("readTypes", r.readTypes);
    v("writeTypes", r.writeTypes);
    v("since", r.since);
    v("items", r.items);
  }
};

template <>
struct RecordFields<BridgeErrorPayload> {
  template <class V, class R>
  static void visit(V& v, R& r) {
    v("code", r.code);
    v("message", r.message);
    v("details", r.details);
  }
};

template <>
struct RecordFields<StatusData> {
  template <class V, class R>
  static void visit(V& v, R& r) {
    v("available", r.available);
    v("authorizationStatus", r.authorizationStatus);
    v("readableTypes", r.readableTypes);
    v("writableTypes", r.writableTypes);
    v("sourceMode", r.sourceMode);
    v("lastSyncedAt", r.lastSyncedAt);
    v("lastError", r.lastError);
  }
};

template <>
struct RecordFields<AuthorizationData> {
  template <class V, class R>
  static void visit(V& v, R& r) {
    v("granted", r.granted);
    v("authorizationStatus", r.authorizationStatus);
    v("readableTypes", r.readableTypes);
    v("writableTypes", r.writableTypes);
    v("sourceMode", r.sourceMode);
  }
};

template <>
struct RecordFields<PermissionSnapshot> {
  template <class V, class R>
  static void visit(V& v, R& r) {
    v("read", r.read);
    v("write", r.write);
  }
};

template <>
struct RecordFields<MetricPayload> {
  template <class V, class R>
  static void visit(V& v, R& r) {
    v("key", r.key);
    v("value", r.value);
    v("unit", r.unit);
    v("label", r.label);
    v("recordedAt", r.recordedAt);
  }
};

template <>
struct RecordFields<RecordPayload> {
  template <class V, class R>
  static void visit(V& v, R& r) {
    v("title", r.title);
    v("summary", r.summary);
    v("recordedAt", r.recordedAt);
    v("sourceLabel", r.sourceLabel);
    v("kind", r.kind);
    v("tags", r.tags);
  }
};

template <>
struct RecordFields<SyncData> {
  template <class V, class R>
  static void visit(V& v, R& r) {
    v("permissions", r.permissions);
    v("readableTypes", r.readableTypes);
    v("writableTypes", r.writableTypes);
    v("metrics", r.metrics);
    v("records", r.records);
    v("sourceMode", r.sourceMode);
    v("lastSyncedAt", r.lastSyncedAt);
  }
};

template <>
struct RecordFields<WriteResult> {
  template <class V, class R>
  static void visit(V& v, R& r) {
    v("writtenCount", r.writtenCount);
    v("warnings", r.warnings);
  }
};

template <class Payload>
struct RecordFields<BridgeEnvelope<Payload>> {
  template <class V, class R>
  static void visit(V& v, R& r) {
    v("ok", r.ok);
    v("data", r.data);
    v("error", r.error);
  }
};

template <class T>
concept WireRecord = requires { sizeof(RecordFields<T>); };

}  // namespace tarnwick::protocol
