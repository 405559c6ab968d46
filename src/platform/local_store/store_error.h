// The one place where SQLite result codes and file-system errors become the
// health store's errors: a platform error (code 6, database inaccessible)
// whose description names the store's file and says what is wrong with it.
#pragma once

#include <string>
#include <string_view>

#include "health/health_store.h"

namespace tarnwick::platform::local_store {

// The error for SQLite result code `resultCode` (primary or extended) on the
// store at `path`. `systemError` is the errno of the failed file operation,
// or 0 when unknown.
health::HealthStoreError storeErrorFromSqlite(int resultCode, const std::string& path, int systemError = 0);

// The error for a store file that is present but not usable, described by
// `problem` ("is empty, not a database", "is a folder, not a database").
health::HealthStoreError brokenStoreError(const std::string& path, std::string_view problem);

// The error for a failed file operation (errno) on the store's file or folder.
health::HealthStoreError fileSystemError(const std::string& path, int systemError);

// True when error is fileSystemError's "disk is full" for the store at path.
bool isDiskFullError(const health::HealthStoreError& error, const std::string& path);

// The error for running out of memory inside the store (SQLite's
// SQLITE_NOMEM, or a failed allocation of the store's own): the process's
// one out-of-memory sentence, so that the caller reads the same answer
// wherever memory ran out.
health::HealthStoreError outOfMemoryError();

// The store's file and what belongs to it.
enum class StorePart { folder, file, log, sharedMemory };

// The error for a part of the store at `path` that other users may open and
// that could not be made private (errno `systemError`: not its owner, a
// read-only file system).
health::HealthStoreError notPrivateError(const std::string& path, StorePart part, int systemError);

}  // namespace tarnwick::platform::local_store
