// What the shell's process tests read back from a store of their own.
#pragma once

#include <map>
#include <string>

#include "support/store_home.h"

namespace tarnwick::testing {

// Each metric key's access as tarnwick-store reports it for home, e.g.
// {"steps", "read=authorized write=not determined"}.
std::map<std::string, std::string> permissions(const StoreHome& home);

// The permissions of a store nothing was ever decided in.
std::map<std::string, std::string> undecidedPermissions();

}  // namespace tarnwick::testing
