// The one test of a native connection, and the lower-casing that method
// names and source modes are matched by.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::protocol {

// Lower-cases text for matching against the protocol's ASCII words. Only A
// to Z change. For that purpose this is the full Unicode lower-case mapping:
// the one non-ASCII character whose lower case is ASCII is KELVIN SIGN
// (to "k"), and no word it is matched against ("status", "authorize",
// "sync", "write", "native") holds a "k". The lower-cased text is never sent
// back, so nothing else can tell the difference.
std::string lowercased(std::string_view text);

// True when the source mode, lower-cased, is exactly "native".
bool isNativeConnection(std::string_view sourceMode);

}  // namespace tarnwick::protocol
