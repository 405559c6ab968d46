#include "protocol/envelope_shape.h"

#include <exception>

#include <nlohmann/json.hpp>

#include "protocol/error_codes.h"
#include "protocol/utf8.h"

namespace tarnwick::protocol {

std::optional<std::string> envelopeShapeProblem(std::string_view responseText) {
  if (responseText == kEncodeFailedResponse) return std::nullopt;
  if (!isValidUtf8(responseText)) return "the response is not valid UTF-8";
  nlohmann::json envelope;
  try {
    envelope = nlohmann::json::parse(responseText.begin(), responseText.end());
  } catch (const std::exception& error) {
    return std::string("the response is not JSON: ") + error.what();
  }
  if (!envelope.is_object()) return "the response is not an object";
  if (!responseText.starts_with(R"({"ok":)")) return "the envelope does not begin with ok";
  if (envelope.size() != 2) return "the envelope does not have exactly two keys";
  auto ok = envelope.find("ok");
  if (ok == envelope.end() || !ok->is_boolean()) return "the envelope has no boolean ok";
  if (ok->get<bool>()) {
    auto data = envelope.find("data");
    if (data == envelope.end() || !data->is_object()) return "a success has no data object";
    return std::nullopt;
  }
  auto error = envelope.find("error");
  if (error == envelope.end() || !error->is_object()) return "a failure has no error object";
  if (error->size() != 2) return "the error does not have exactly code and message";
  auto code = error->find("code");
  auto message = error->find("message");
  if (code == error->end() || !code->is_string()) return "the error has no code text";
  if (message == error->end() || !message->is_string()) return "the error has no message text";
  const auto& codeText = code->get_ref<const std::string&>();
  if (codeText != kBridgeErrorCode && codeText != kSwiftErrorCode && codeText != kInvalidMethodCode) {
    return "the error code " + codeText + " is not one of the codes an encoded failure carries";
  }
  if (message->get_ref<const std::string&>().empty()) return "the error message is empty";
  return std::nullopt;
}

}  // namespace tarnwick::protocol
