#include "protocol/errno_text.h"

#include <cstring>

namespace tarnwick::protocol {

std::string describeErrno(int error) {
  // strerrordesc_np is the English text whatever the locale (strerror would
  // follow it, should anything ever switch it).
  if (const char* description = ::strerrordesc_np(error)) return description;
  return "error " + std::to_string(error);
}

}  // namespace tarnwick::protocol
