#include "shell/bridge.h"

#include <exception>
#include <new>
#include <string>

#include "authorization/authorization_request.h"
#include "health/snapshot.h"
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

template <auto Handler>
EncodedResponse answerWith(const BridgeRequest& request) {
  return encodeEnvelope(BridgeEnvelope<decltype(Handler(request))>::success(Handler(request)));
}

struct BridgeMethod {
  std::string_view name;
  EncodedResponse (*answer)(const BridgeRequest&);
};

// The methods, matched in this order against the lower-cased method name.
constexpr BridgeMethod kMethods[] = {
    {"status", answerWith<statusReport>},
    {"authorize", answerWith<authorization::requestAuthorization>},
    {"sync", answerWith<health::readSnapshot>},
    {"write", answerWith<writeback::writeSamples>},
};

EncodedResponse failure(std::string_view code, std::string message) {
  // A description with a stray byte (from a file name, say) would turn the
  // whole answer into the encode-failure text; show the byte instead.
  if (!protocol::isValidUtf8(message)) message = protocol::printableUtf8(message, message.size());
  return encodeEnvelope(FailureEnvelope::failure(std::string(code), std::move(message)));
}

// The one place where thrown errors become failure envelopes.
template <class Work>
EncodedResponse answerCatching(Work&& work) {
  try {
    return work();
  } catch (const protocol::BridgeRuntimeError& error) {
    return failure(protocol::kBridgeErrorCode, error.what());
  } catch (const std::bad_alloc&) {
    return failure(protocol::kSwiftErrorCode, "The bridge ran out of memory.");
  } catch (const std::exception& error) {
    return failure(protocol::kSwiftErrorCode, error.what());
  } catch (...) {
    return failure(protocol::kSwiftErrorCode, "The request failed with an unknown error.");
  }
}

EncodedResponse dispatch(const BridgeRequest& request) {
  std::string method = protocol::lowercased(request.method);
  for (const BridgeMethod& candidate : kMethods) {
    if (candidate.name == method) return candidate.answer(request);
  }
  return failure(protocol::kInvalidMethodCode, std::string(protocol::kInvalidMethodPrefix) + request.method);
}

}  // namespace

EncodedResponse respond(const CommandLine& commandLine) {
  return answerCatching([&] { return dispatch(decodeRequest(commandLine)); });
}

EncodedResponse respondToBytes(std::string_view requestBytes) {
  return answerCatching([&] { return dispatch(decodeRequestBytes(requestBytes)); });
}

void runBridge() {
  const CommandLine& commandLine = CommandLine::process();
  emitEncoded(respond(commandLine), commandLine);
}

}  // namespace tarnwick::shell
