#include "protocol/source_mode.h"

namespace tarnwick::protocol {

std::string lowercased(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool isNativeConnection(std::string_view sourceMode) { return lowercased(sourceMode) == "native"; }

}  // namespace tarnwick::protocol
