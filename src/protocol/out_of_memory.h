// The one sentence for a request that needed more memory than the process
// may use, wherever that was found out: the shell writes it when an
// allocation fails, and a store that learns of it from a library (SQLite
// runs out too) hands the same sentence back.
#pragma once

#include <string_view>

namespace tarnwick::protocol {

inline constexpr std::string_view kOutOfMemoryMessage =
    "The bridge ran out of memory while answering the request; send a smaller request or allow the process more "
    "memory.";

}  // namespace tarnwick::protocol
