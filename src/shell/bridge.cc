#include "shell/bridge.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <type_traits>
#include <variant>

#include "authorization/authorization_request.h"
#include "health/deferred_health_store.h"
#include "health/snapshot.h"
#include "platform/platform_store.h"
#include "protocol/bridge_runtime_error.h"
#include "protocol/error_codes.h"
#include "protocol/source_mode.h"
#include "protocol/utf8.h"
#include "shell/intake.h"
#include "shell/status_report.h"
#include "writeback/writeback.h"

namespace tarnwick::shell {
namespace {

using protocol::BridgeEnvelope;
using protocol::BridgeRequest;
using protocol::StatusData;

// Every failure envelope travels in the status envelope's shape; with data
// absent the payload type is invisible on the wire.
using FailureEnvelope = BridgeEnvelope<StatusData>;

constexpr std::string_view kNoThreadMessage =
    "The bridge could not start a thread it needs (resource temporarily unavailable); allow the process more "
    "memory or threads.";

// Where a finished envelope goes: the process's own request hands it to emit,
// which ends the process; the fuzzer and tests keep its text.
struct EmitAndEnd {
  const CommandLine& commandLine;
  template <class Payload>
  [[noreturn]] void operator()(const BridgeEnvelope<Payload>& envelope) const {
    emit(envelope, commandLine);
  }
  [[noreturn]] void outOfMemory() const { emitOutOfMemory(commandLine); }
};

struct KeepText {
  template <class Payload>
  EncodedResponse operator()(const BridgeEnvelope<Payload>& envelope) const {
    return encodeEnvelope(envelope);
  }
  EncodedResponse outOfMemory() const { return {std::string(kOutOfMemoryResponse), false}; }
};

// What a Finish gives back: nothing for EmitAndEnd, the text for KeepText.
template <class Finish>
using Finished = std::invoke_result_t<const Finish&, const FailureEnvelope&>;

// The data of a successful answer: one method's payload.
using MethodPayload = std::variant<StatusData, protocol::AuthorizationData, protocol::SyncData, protocol::WriteResult>;

// What a handler may use besides its request.
struct HandlerInputs {
  health::HealthStore& store;
  const health::Clock& clock;
};

// A connection that is not native has no store to ask: such an answer never
// calls it, so that an import-only caller never makes one (on a machine
// without a store that would leave a database behind).
using ImportAnswer = MethodPayload (*)(const BridgeRequest&, const health::Clock&);
// Answers a native connection. The request is handed over, so that "write"
// can let its items go as it converts them.
using Handler = MethodPayload (*)(BridgeRequest, const HandlerInputs&);

struct BridgeMethod {
  std::string_view name;
  ImportAnswer answerImport;
  Handler handle;
};

constexpr const char* kImportOnly = "import-only";

MethodPayload importOnlyStatus(const BridgeRequest& request, const health::Clock&) {
  StatusData status;
  status.authorizationStatus = kImportOnly;
  status.sourceMode = request.sourceMode;
  return status;
}

MethodPayload importOnlyAuthorization(const BridgeRequest& request, const health::Clock&) {
  protocol::AuthorizationData authorization;
  authorization.authorizationStatus = kImportOnly;
  authorization.sourceMode = request.sourceMode;
  return authorization;
}

MethodPayload importSnapshot(const BridgeRequest&, const health::Clock& clock) {
  protocol::SyncData snapshot;
  snapshot.sourceMode = "import";
  snapshot.lastSyncedAt = health::toMilliseconds(clock.now());
  return snapshot;
}

MethodPayload refuseImportWrite(const BridgeRequest&, const health::Clock&) {
  throw protocol::BridgeRuntimeError::unavailable("Writeback is only available for native Apple Health connections.");
}

// The methods, matched against the lower-cased method name.
constexpr BridgeMethod kMethods[] = {
    {"status", importOnlyStatus, [](BridgeRequest request, const HandlerInputs&) -> MethodPayload {
       return statusReport(request);
     }},
    {"authorize", importOnlyAuthorization, [](BridgeRequest request, const HandlerInputs& inputs) -> MethodPayload {
       return authorization::requestAuthorization(request, inputs.store);
     }},
    {"sync", importSnapshot, [](BridgeRequest request, const HandlerInputs& inputs) -> MethodPayload {
       return health::readSnapshot(request, inputs.store, inputs.clock);
     }},
    {"write", refuseImportWrite, [](BridgeRequest request, const HandlerInputs& inputs) -> MethodPayload {
       return writeback::writeSamples(std::move(request), inputs.store, inputs.clock);
     }},
};

FailureEnvelope failure(std::string_view code, std::string message) {
  // A description with a stray byte (from a file name, say) would turn the
  // whole answer into the encode-failure text; show the byte instead.
  if (!protocol::isValidUtf8(message)) message = protocol::printableUtf8(message, message.size());
  return FailureEnvelope::failure(std::string(code), std::move(message));
}

// The failure envelope for the exception being handled; nothing when that
// exception, or describing it, ran out of memory. Call only in a handler.
std::optional<FailureEnvelope> failureForCurrentException() noexcept {
  try {
    try {
      throw;
    } catch (const protocol::BridgeRuntimeError& error) {
      return failure(protocol::kBridgeErrorCode, error.what());
    } catch (const std::bad_alloc&) {
      return std::nullopt;
    } catch (const std::system_error& error) {
      // A thread that cannot start: under a memory limit its stack is what
      // finds no room, and "Resource temporarily unavailable" says nothing.
      if (error.code() == std::errc::resource_unavailable_try_again) {
        return failure(protocol::kSwiftErrorCode, std::string(kNoThreadMessage));
      }
      return failure(protocol::kSwiftErrorCode, error.what());
    } catch (const std::exception& error) {
      return failure(protocol::kSwiftErrorCode, error.what());
    } catch (...) {
      return failure(protocol::kSwiftErrorCode, "The request failed with an unknown error.");
    }
  } catch (...) {
    return std::nullopt;
  }
}

// The one place where thrown errors become failure envelopes.
template <class Finish, class Work>
Finished<Finish> answerCatching(const Finish& finish, Work&& work) {
  std::optional<FailureEnvelope> failed;
  try {
    return work();
  } catch (...) {
    failed = failureForCurrentException();
  }
  // Out of the handler, so that the exception and what it held are gone.
  if (!failed) return finish.outOfMemory();
  return finish(*failed);
}

template <class Finish>
Finished<Finish> dispatch(BridgeRequest request, const HandlerInputs& inputs, const Finish& finish) {
  std::string name = protocol::lowercased(request.method);
  const auto* method =
      std::find_if(std::begin(kMethods), std::end(kMethods), [&](const BridgeMethod& row) { return row.name == name; });
  if (method == std::end(kMethods)) {
    return finish(failure(protocol::kInvalidMethodCode, std::string(protocol::kInvalidMethodPrefix) + request.method));
  }
  MethodPayload payload = protocol::isNativeConnection(request.sourceMode)
                              ? method->handle(std::move(request), inputs)
                              : method->answerImport(request, inputs.clock);
  return std::visit(
      [&](auto& data) { return finish(BridgeEnvelope<std::decay_t<decltype(data)>>::success(std::move(data))); },
      payload);
}

}  // namespace

EncodedResponse respondToBytes(std::string_view requestBytes, health::HealthStore& store, const health::Clock& clock) {
  KeepText keep;
  return answerCatching(keep, [&] { return dispatch(decodeRequestBytes(requestBytes), HandlerInputs{store, clock}, keep); });
}

void runBridge(const CommandLine& commandLine, platform::PermissionSheetOffer sheet) {
  EmitAndEnd emitAndEnd{commandLine};
  answerCatching(emitAndEnd, [&] {
    // The process's one store. Never destroyed: the process ends inside emit
    // while store threads may still be parked, and a destructor running under
    // them would be a hazard.
    static auto* const store =
        new health::DeferredHealthStore([sheet] { return platform::makePlatformHealthStore(sheet); });
    dispatch(decodeRequest(commandLine), HandlerInputs{*store, health::systemClock()}, emitAndEnd);
  });
  // Every path above ends the process inside emit.
  __builtin_unreachable();
}

}  // namespace tarnwick::shell
