// Memory set aside at start-up for the moment the process runs out. Some
// code needs to allocate while an out-of-memory error unwinds (the JSON
// library's destructor of a large document, for one) and would abort the
// process if it could not; the reserve is given back at the first failed
// allocation so that the unwinding can finish and the failure be answered.
#pragma once

#include <cstddef>

namespace tarnwick::shell {

// Large enough to take apart a request document of a few hundred thousand
// items.
inline constexpr std::size_t kEmergencyReserveBytes = std::size_t{8} << 20;

// Sets the reserve aside and installs the new-handler that releases it. The
// allocation that found memory exhausted still fails with std::bad_alloc;
// only what runs after it gets the reserve. Call once, before any work.
void setAsideEmergencyMemory();

}  // namespace tarnwick::shell
