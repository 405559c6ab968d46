// Finding, creating and opening the store's file. Health data is private:
// the file, its write-ahead log and its shared-memory file are 0600 when
// created, whatever the umask, and every open takes group and other users'
// access away again before any data is read, as it does from the folder in
// the data home that the bridge makes for the store (a folder named with
// --store is the person's and left alone). A new store is built in a
// temporary file beside the final one and linked into place without
// overwriting, so no process ever sees a half-made store; when another
// process wins that race, its store is used. Temporary files of creators
// that died are removed by the next open that may create the store; nothing
// else in the folder is ever touched. A file that is there but not a valid
// store is reported and never changed.
#pragma once

#include <memory>
#include <string>

#include "platform/local_store/database.h"

namespace tarnwick::platform::local_store {

// Whether a missing store may be created.
enum class IfMissing { create, fail };

// The store at `path`, opened and configured (WAL journal, synchronous FULL,
// a busy timeout of kBusyTimeoutMilliseconds) with its layout checked and
// brought up to date. Creates the folder and the store when missing and
// `ifMissing` allows it. Throws HealthStoreError (code 6) describing the
// file when it cannot be used: empty, not a database, not ours, a folder,
// unreadable, open to other users and not ours to make private, read-only
// when creation is needed, or (with IfMissing::fail) absent.
std::unique_ptr<Database> openStore(const std::string& path, IfMissing ifMissing = IfMissing::create);

// How long a connection waits for another's write lock before giving up
// with "locked by another process": a minute, long enough for dozens of
// writers queued on a loaded machine, short enough that a stuck store is
// still reported to a waiting caller.
inline constexpr int kBusyTimeoutMilliseconds = 60'000;

}  // namespace tarnwick::platform::local_store
