// The program's own refusals. Every case is answered as "BRIDGE_ERROR" with
// its message; anything else thrown is a platform error ("SWIFT_ERROR").
#pragma once

#include <stdexcept>
#include <string>

namespace tarnwick::protocol {

class BridgeRuntimeError : public std::runtime_error {
 public:
  enum class Case { invalidRequest, unavailable, authorizationDenied, queryFailed, writeFailed };

  static BridgeRuntimeError invalidRequest(const std::string& message) {
    return {Case::invalidRequest, message};
  }
  static BridgeRuntimeError unavailable(const std::string& message) {
    return {Case::unavailable, message};
  }
  static BridgeRuntimeError authorizationDenied(const std::string& message) {
    return {Case::authorizationDenied, message};
  }
  static BridgeRuntimeError queryFailed(const std::string& message) {
    return {Case::queryFailed, message};
  }
  static BridgeRuntimeError writeFailed(const std::string& message) {
    return {Case::writeFailed, message};
  }

  Case errorCase() const noexcept { return case_; }

 private:
  BridgeRuntimeError(Case errorCase, const std::string& message)
      : std::runtime_error(message), case_(errorCase) {}

  Case case_;
};

}  // namespace tarnwick::protocol
