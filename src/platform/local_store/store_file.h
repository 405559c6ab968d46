// Finding, creating and opening the store's file. Health data is private:
// the folder is created 0700 (only the missing parts, like mkdir -p) and the
// file 0600. A new store is built in a temporary file beside the final one
// and linked into place without overwriting, so no process ever sees a
// half-made store; when another process wins that race, its store is used.
// A file that is there but not a valid store is reported and never changed.
#pragma once

#include <memory>
#include <string>

#include "platform/local_store/database.h"

namespace tarnwick::platform::local_store {

// Whether a missing store may be created.
enum class IfMissing { create, fail };

// The store at `path`, opened and configured (WAL journal, synchronous FULL,
// a busy timeout) with its layout checked and brought up to date. Creates
// the folder and the store when missing and `ifMissing` allows it. Throws
// HealthStoreError (code 6) describing the file when it cannot be used:
// empty, not a database, not ours, a folder, unreadable, read-only when
// creation is needed, or (with IfMissing::fail) absent.
std::unique_ptr<Database> openStore(const std::string& path, IfMissing ifMissing = IfMissing::create);

}  // namespace tarnwick::platform::local_store
