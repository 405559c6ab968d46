// The local store: the health store of machines that have none, an SQLite
// database in the user's data directory that behaves like the platform's
// store (types, units, queries, permissions, errors).
#pragma once

#include <memory>
#include <string>

#include "health/health_store.h"

namespace tarnwick::platform {

// $XDG_DATA_HOME/tarnwick/health.sqlite3, or ~/.local/share/tarnwick/...
// when XDG_DATA_HOME is unset or not absolute. Creates nothing.
std::string defaultLocalStorePath();

// A local store on the database file at path. Nothing is opened or created
// until the first call that needs the database (type and unit look-ups
// never do). Every handler runs on the store's own worker thread, which
// alone touches the database. Never returns nullptr.
std::unique_ptr<health::HealthStore> makeLocalHealthStore(std::string path);

}  // namespace tarnwick::platform
