// Memory set aside at start-up for the moment the process runs out. Some
// code needs to allocate while an out-of-memory error unwinds (a library
// destructor that allocates, the texts of errors thrown on the way) and a
// noexcept one would abort the process if it could not; the reserve is given
// back at the first failed allocation so that the unwinding can finish and
// the failure be answered.
#pragma once

#include <cstddef>

namespace tarnwick::shell {

// Room for what unwinding allocates, small beside any limit under which
// the bridge can answer at all (about 24 MiB).
inline constexpr std::size_t kEmergencyReserveBytes = std::size_t{8} << 20;

// Sets the reserve aside and installs the new-handler that releases it. The
// allocation that found memory exhausted still fails with std::bad_alloc;
// only what runs after it gets the reserve. Call once, before any work.
void setAsideEmergencyMemory();

}  // namespace tarnwick::shell
