// The two shapes every response takes on the wire, checked from the outside:
// what a caller may rely on, used by the fuzzer and the process tests.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick::protocol {

// Nothing when responseText is exactly one of: the fixed encode-failure
// text; {"ok":true,"data":{...}} with no other key; or
// {"ok":false,"error":{"code":"...","message":"..."}} with no other key
// (so no data and no details). Otherwise a sentence saying what is wrong.
// Never throws.
std::optional<std::string> envelopeShapeProblem(std::string_view responseText);

}  // namespace tarnwick::protocol
