// The local store: the health store of machines that have none, an SQLite
// database in the user's data directory that behaves like the platform's
// store (types, units, queries, permissions, errors).
#pragma once

#include <memory>
#include <string>

#include "health/health_store.h"
#include "platform/permission_sheet.h"

namespace tarnwick::platform::local_store {

// Where the store lives by the XDG base-directory rules:
// $XDG_DATA_HOME/tarnwick/health.sqlite3 when XDG_DATA_HOME is an absolute
// path, otherwise $HOME/.local/share/tarnwick/health.sqlite3 when HOME is.
// Creates nothing. Throws HealthStoreError (code 6) saying which variable is
// missing or relative when neither is absolute: a relative one would put the
// store wherever the caller happens to run, a missing one at the root.
std::string defaultLocalStorePath();

// A local store on the database file at path, asking the person for
// undecided permissions with `sheet` (without one, such a request fails with
// its reason). Nothing is opened or created until the first call. Calls run
// on the caller's thread, one at a time. Never returns nullptr.
std::unique_ptr<health::HealthStore> makeLocalHealthStore(std::string path, PermissionSheetOffer sheet = {});

// The local store at defaultLocalStorePath(). Without such a path every call
// throws the location's error and nothing is created. Never nullptr.
std::unique_ptr<health::HealthStore> makeDefaultLocalHealthStore(PermissionSheetOffer sheet = {});

}  // namespace tarnwick::platform::local_store
