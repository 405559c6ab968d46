#include "platform/local_store/store_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/local_store/local_store_schema.h"
#include "platform/local_store/store_error.h"

namespace tarnwick::platform::local_store {
namespace {

// Long enough for many bridge processes writing at once to queue behind
// each other instead of failing with "database is locked".
constexpr int kBusyTimeoutMilliseconds = 10000;

constexpr std::string_view kSqliteMagic{"SQLite format 3\0", 16};

std::string parentOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// mkdir -p with mode 0700 for the parts that are missing; existing parts
// keep their modes.
void makeFolders(const std::string& folder, const std::string& storePath) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode)) throw brokenStoreError(storePath, "cannot be created: '" + folder + "' is not a folder");
    return;
  }
  if (errno != ENOENT) throw fileSystemError(storePath, errno);
  std::string parent = parentOf(folder);
  if (parent != folder) makeFolders(parent, storePath);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) throw fileSystemError(storePath, errno);
}

// Refuses what is at the path when it cannot be a store, before SQLite
// touches it: SQLite would otherwise treat a zero-byte file as an empty
// database and write a new one into it.
void checkExistingFile(const std::string& path, const struct stat& info) {
  if (S_ISDIR(info.st_mode)) throw brokenStoreError(path, "is a folder, not a database");
  if (!S_ISREG(info.st_mode)) throw brokenStoreError(path, "is not a regular file");
  if (info.st_size == 0) throw brokenStoreError(path, "is empty, not a database");
  int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) throw fileSystemError(path, errno);
  std::array<char, 16> header{};
  ssize_t got = ::read(descriptor, header.data(), header.size());
  int readError = errno;
  ::close(descriptor);
  if (got < 0) throw fileSystemError(path, readError);
  if (static_cast<std::size_t>(got) < header.size() || std::string_view(header.data(), header.size()) != kSqliteMagic) {
    throw brokenStoreError(path, "is not a database");
  }
}

void configure(Database& database) {
  database.execute("PRAGMA busy_timeout = " + std::to_string(kBusyTimeoutMilliseconds));
  // A commit is on disk before anyone is told about it.
  database.execute("PRAGMA synchronous = FULL");
  database.execute("PRAGMA foreign_keys = ON");
}

// Builds a complete store in a temporary file in the same folder and links
// it to `path`; EEXIST means another process got there first, which is fine.
void createStore(const std::string& path) {
  makeFolders(parentOf(path), path);
  std::string pattern = path + ".new-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int descriptor = ::mkstemp(name.data());
  if (descriptor < 0) throw fileSystemError(path, errno);
  ::fchmod(descriptor, 0600);
  ::close(descriptor);
  std::string temporary(name.data());
  try {
    Database database(temporary, Database::Mode::readWrite);
    configure(database);
    database.execute("PRAGMA journal_mode = WAL");
    LocalStoreSchema::initialise(database);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  // The temporary connection is closed: its -wal and -shm files are gone.
  int linked = ::link(temporary.c_str(), path.c_str());
  int linkError = errno;
  if (linked != 0 && linkError != EEXIST) {
    // File systems without hard links: an atomic rename that never replaces.
    linked = ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE);
    linkError = errno;
  }
  ::unlink(temporary.c_str());
  if (linked != 0 && linkError != EEXIST) throw fileSystemError(path, linkError);
}

}  // namespace

std::unique_ptr<Database> openStore(const std::string& path, IfMissing ifMissing) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT) throw fileSystemError(path, errno);
    if (ifMissing == IfMissing::fail) throw brokenStoreError(path, "does not exist");
    createStore(path);
    if (::stat(path.c_str(), &info) != 0) throw fileSystemError(path, errno);
  }
  checkExistingFile(path, info);
  auto database = std::make_unique<Database>(path, Database::Mode::readWrite);
  configure(*database);
  LocalStoreSchema::prepare(*database);
  return database;
}

}  // namespace tarnwick::platform::local_store
