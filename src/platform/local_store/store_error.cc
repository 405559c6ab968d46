#include "platform/local_store/store_error.h"

#include <sqlite3.h>

#include <cerrno>

#include "protocol/errno_text.h"
#include "protocol/out_of_memory.h"

namespace tarnwick::platform::local_store {
namespace {

health::HealthStoreError inaccessible(const std::string& description) {
  return {health::HealthErrorCode::databaseInaccessible, description};
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace

health::HealthStoreError brokenStoreError(const std::string& path, std::string_view problem) {
  return inaccessible("The health store at " + quoted(path) + " " + std::string(problem) + ".");
}

health::HealthStoreError fileSystemError(const std::string& path, int systemError) {
  if (systemError == ENOSPC || systemError == EDQUOT) {
    return inaccessible("The disk is full; the health store at " + quoted(path) + " could not be written.");
  }
  if (systemError == EROFS) return brokenStoreError(path, "is read-only");
  return inaccessible("The health store at " + quoted(path) +
                      " cannot be opened: " + protocol::describeErrno(systemError) + ".");
}

bool isDiskFullError(const health::HealthStoreError& error, const std::string& path) {
  return std::string_view(error.what()) == fileSystemError(path, ENOSPC).what();
}

health::HealthStoreError outOfMemoryError() { return inaccessible(std::string(protocol::kOutOfMemoryMessage)); }

health::HealthStoreError notPrivateError(const std::string& path, StorePart part, int systemError) {
  std::string what = [&] {
    switch (part) {
      case StorePart::folder: return "The folder of the health store at ";
      case StorePart::file: return "The health store at ";
      case StorePart::log: return "The write-ahead log of the health store at ";
      case StorePart::sharedMemory: return "The shared-memory file of the health store at ";
    }
    return "The health store at ";
  }();
  return inaccessible(what + quoted(path) + " is open to other users and cannot be made private: " +
                      protocol::describeErrno(systemError) + ".");
}

health::HealthStoreError storeErrorFromSqlite(int resultCode, const std::string& path, int systemError) {
  if (resultCode == SQLITE_READONLY_CANTINIT || resultCode == SQLITE_READONLY_DIRECTORY ||
      resultCode == SQLITE_CANTOPEN_ISDIR) {
    // A store in WAL mode is read through a shared-memory file beside it.
    return brokenStoreError(path, "is read-only and so is its folder, where the store keeps its shared-memory file");
  }
  if (resultCode == SQLITE_IOERR_NOMEM) return outOfMemoryError();
  switch (resultCode & 0xff) {
    case SQLITE_NOMEM: return outOfMemoryError();
    case SQLITE_NOTADB: return brokenStoreError(path, "is not a database");
    case SQLITE_CORRUPT: return brokenStoreError(path, "is damaged");
    case SQLITE_READONLY: return brokenStoreError(path, "is read-only");
    case SQLITE_FULL:
      return inaccessible("The disk is full; the health store at " + quoted(path) + " could not be written.");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return inaccessible("The health store at " + quoted(path) + " is locked by another process.");
    case SQLITE_PERM:
    case SQLITE_AUTH: return fileSystemError(path, EACCES);
    case SQLITE_CANTOPEN:
      if (systemError != 0) return fileSystemError(path, systemError);
      return inaccessible("The health store at " + quoted(path) + " cannot be opened.");
    case SQLITE_IOERR:
      if (systemError == ENOSPC || systemError == EDQUOT || systemError == EROFS) {
        return fileSystemError(path, systemError);
      }
      return inaccessible("The health store at " + quoted(path) + " could not be read or written (" +
                          sqlite3_errstr(resultCode) + ").");
    default:
      return inaccessible("The health store at " + quoted(path) + " failed: " + sqlite3_errstr(resultCode) + ".");
  }
}

}  // namespace tarnwick::platform::local_store
