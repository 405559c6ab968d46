// The error codes of a failure envelope, and the one fixed response text.
#pragma once

#include <string_view>

namespace tarnwick::protocol {

inline constexpr std::string_view kBridgeErrorCode = "BRIDGE_ERROR";
inline constexpr std::string_view kSwiftErrorCode = "SWIFT_ERROR";
inline constexpr std::string_view kInvalidMethodCode = "INVALID_METHOD";

inline constexpr std::string_view kInvalidMethodPrefix = "Unsupported bridge method: ";

// Written in place of any response that cannot be encoded.
inline constexpr std::string_view kEncodeFailedResponse =
    R"({"ok":false,"error":{"code":"ENCODE_FAILED","message":"Failed to encode bridge response."}})";

}  // namespace tarnwick::protocol
