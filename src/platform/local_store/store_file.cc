#include "platform/local_store/store_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <optional>
#include <cstring>
#include <set>
#include <vector>

#include "platform/local_store/local_store.h"
#include "platform/local_store/local_store_schema.h"
#include "platform/local_store/store_error.h"

namespace tarnwick::platform::local_store {
namespace {

constexpr std::string_view kSqliteMagic{"SQLite format 3\0", 16};

// What SQLite keeps beside a database file while it is in use.
constexpr std::array<std::string_view, 3> kSideFileSuffixes{"-wal", "-shm", "-journal"};

std::string parentOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void removeSideFiles(const std::string& file) {
  for (std::string_view suffix : kSideFileSuffixes) ::unlink((file + std::string(suffix)).c_str());
}

// mkdir -p with mode 0700 for the parts that are missing; existing parts
// keep their modes. The mode is set again after mkdir, which the umask
// narrows: under umask 0777 a folder would otherwise be unusable for good.
void makeFolders(const std::string& folder, const std::string& storePath) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode)) throw brokenStoreError(storePath, "cannot be created: '" + folder + "' is not a folder");
    return;
  }
  if (errno != ENOENT) throw fileSystemError(storePath, errno);
  std::string parent = parentOf(folder);
  if (parent != folder) makeFolders(parent, storePath);
  if (::mkdir(folder.c_str(), 0700) != 0) {
    if (errno == EEXIST) return;  // another process made it first
    throw fileSystemError(storePath, errno);
  }
  if (::chmod(folder.c_str(), 0700) != 0) throw fileSystemError(storePath, errno);
}

// Takes group and other users' access away from `file` when it has any. The
// owner's own bits are kept, so a store made read-only stays read-only. A
// missing side file is fine: SQLite creates it with the store file's mode.
void makePrivate(const std::string& file, StorePart part, const std::string& storePath) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) {
    if (errno == ENOENT && part != StorePart::file) return;
    throw fileSystemError(storePath, errno);
  }
  if ((info.st_mode & 077) == 0) return;
  if (::chmod(file.c_str(), info.st_mode & 0700) != 0) throw notPrivateError(storePath, part, errno);
}

// True when path is the store in the data home, whose folder the bridge
// made for it. Only that folder is made private: a store put elsewhere with
// --store lives in a folder of the person's choosing (perhaps /tmp, perhaps
// one that happens to be called "tarnwick"), which is left alone.
bool isDefaultLocation(const std::string& path) {
  try {
    return parentOf(defaultLocalStorePath()) == parentOf(path);
  } catch (const health::HealthStoreError&) {
    return false;  // no default location at all
  }
}

void makeFolderPrivate(const std::string& path) {
  if (isDefaultLocation(path)) makePrivate(parentOf(path), StorePart::folder, path);
}

void makeStorePrivate(const std::string& path) {
  makeFolderPrivate(path);
  makePrivate(path, StorePart::file, path);
  makePrivate(path + "-wal", StorePart::log, path);
  makePrivate(path + "-shm", StorePart::sharedMemory, path);
}

// The name of a store being built: "<store>.new-tarnwick-" and mkstemp's
// six letters and digits. The fixed part and the exact length are what let
// the clean-up tell these files from a person's own "<store>.new-*".
constexpr std::string_view kCreationMark = ".new-tarnwick-";
constexpr std::size_t kUniqueLetters = 6;

// The part of name before a side-file suffix, when name is one of ours:
// "<store>.new-tarnwick-XXXXXX" with or without "-wal", "-shm", "-journal".
std::optional<std::string_view> creationIn(std::string_view name, std::string_view storeName) {
  for (std::string_view suffix : kSideFileSuffixes) {
    if (name.ends_with(suffix)) {
      name.remove_suffix(suffix.size());
      break;
    }
  }
  if (!name.starts_with(storeName)) return std::nullopt;
  std::string_view rest = name.substr(storeName.size());
  if (!rest.starts_with(kCreationMark) || rest.size() != kCreationMark.size() + kUniqueLetters) return std::nullopt;
  for (char c : rest.substr(kCreationMark.size())) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return std::nullopt;
  }
  return name;
}

// True when the open file is what a creator leaves: a regular file of this
// user that is empty (it died before SQLite wrote) or an SQLite database.
bool looksLikeCreation(int descriptor) {
  struct stat info {};
  if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) return false;
  if (info.st_size == 0) return true;
  std::array<char, 16> header{};
  return ::pread(descriptor, header.data(), header.size(), 0) == static_cast<ssize_t>(header.size()) &&
         std::string_view(header.data(), header.size()) == kSqliteMagic;
}

// Removes what creators that died left beside the store: their files (see
// creationIn) and side files. A live creator holds a lock on its file for
// as long as it needs it (see LockedTemporary), so a file whose lock can be
// taken has no creator any more; side files whose database is gone have
// none either. Best effort: what cannot be removed is left for a later run.
void removeAbandonedCreations(const std::string& path) {
  std::string folder = parentOf(path);
  std::string storeName = fileNameOf(path);
  DIR* directory = ::opendir(folder.c_str());
  if (!directory) return;
  std::set<std::string> temporaries;
  while (const dirent* entry = ::readdir(directory)) {
    if (auto creation = creationIn(entry->d_name, storeName)) temporaries.insert(folder + "/" + std::string(*creation));
  }
  ::closedir(directory);
  for (const std::string& temporary : temporaries) {
    int descriptor = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (descriptor < 0) {
      if (errno == ENOENT) removeSideFiles(temporary);
      continue;
    }
    if (looksLikeCreation(descriptor) && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0) {
      removeSideFiles(temporary);
      ::unlink(temporary.c_str());
    }
    ::close(descriptor);
  }
}

// A uniquely named file beside the store in which a new store is built,
// locked for the whole of its life and removed with its side files at the
// end, whatever happens in between.
class LockedTemporary {
 public:
  explicit LockedTemporary(const std::string& storePath) {
    std::string pattern = storePath + std::string(kCreationMark) + std::string(kUniqueLetters, 'X');
    while (true) {
      std::vector<char> name(pattern.begin(), pattern.end());
      name.push_back('\0');
      descriptor_ = ::mkstemp(name.data());
      if (descriptor_ < 0) throw fileSystemError(storePath, errno);
      name_ = name.data();
      // mkstemp's 0600 is narrowed by the umask; SQLite gives the side
      // files the mode of this file.
      struct stat info {};
      if (::fchmod(descriptor_, 0600) != 0 || ::flock(descriptor_, LOCK_EX) != 0 || ::fstat(descriptor_, &info) != 0) {
        int error = errno;
        release();
        throw fileSystemError(storePath, error);
      }
      // Another run's clean-up may have taken the file between mkstemp and
      // the lock; then the name is no longer ours.
      if (info.st_nlink > 0) return;
      ::close(descriptor_);
    }
  }
  ~LockedTemporary() { release(); }
  LockedTemporary(const LockedTemporary&) = delete;
  LockedTemporary& operator=(const LockedTemporary&) = delete;

  const std::string& name() const { return name_; }

 private:
  void release() {
    removeSideFiles(name_);
    ::unlink(name_.c_str());
    ::close(descriptor_);
  }

  std::string name_;
  int descriptor_ = -1;
};

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

// Where a connection keeps the index of the write-ahead log: the
// "-shm" file every connection shares, or (none) the process's own memory,
// for which SQLite holds an exclusive lock on the store as long as the
// connection lives; other runs wait for it as for a writer.
enum class SharedMemory { file, none };

std::unique_ptr<Database> openExisting(const std::string& path, SharedMemory sharedMemory) {
  auto database = std::make_unique<Database>(path, Database::Mode::readWrite);
  // Before the first read: only then does SQLite do without the file.
  if (sharedMemory == SharedMemory::none) database->execute("PRAGMA locking_mode = EXCLUSIVE");
  configure(*database);
  LocalStoreSchema::prepare(*database);
  return database;
}

// Builds a complete store in a temporary file in the same folder and links
// it to `path`; EEXIST means another process got there first, which is fine.
// Errors name `path`: the temporary file is no concern of the caller's.
void createStore(const std::string& path) {
  LockedTemporary temporary(path);
  {
    Database database(temporary.name(), Database::Mode::readWrite, path);
    configure(database);
    database.execute("PRAGMA journal_mode = WAL");
    LocalStoreSchema::initialise(database);
  }
  // The temporary connection is closed: its -wal and -shm files are gone.
  int linked = ::link(temporary.name().c_str(), path.c_str());
  int linkError = errno;
  if (linked != 0 && linkError != EEXIST) {
    // File systems without hard links: an atomic rename that never replaces.
    linked = ::renameat2(AT_FDCWD, temporary.name().c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE);
    linkError = errno;
  }
  if (linked != 0 && linkError != EEXIST) throw fileSystemError(path, linkError);
}

}  // namespace

std::unique_ptr<Database> openStore(const std::string& path, IfMissing ifMissing) {
  // Only a run that may write cleans up: one that only reads changes nothing.
  if (ifMissing == IfMissing::create) removeAbandonedCreations(path);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT) throw fileSystemError(path, errno);
    if (ifMissing == IfMissing::fail) throw brokenStoreError(path, "does not exist");
    makeFolders(parentOf(path), path);
    // A folder that cannot be made private refuses the store before
    // anything is made in it.
    makeFolderPrivate(path);
    createStore(path);
    if (::stat(path.c_str(), &info) != 0) throw fileSystemError(path, errno);
  }
  checkExistingFile(path, info);
  makeStorePrivate(path);
  bool hadSharedMemory = ::access((path + "-shm").c_str(), F_OK) == 0;
  try {
    return openExisting(path, SharedMemory::file);
  } catch (const health::HealthStoreError& error) {
    if (hadSharedMemory || !isDiskFullError(error, path)) throw;
  }
  // The first reader of a store whose shared-memory file is gone must make
  // one, which a full disk refuses; a read needs no room on the disk, so it
  // keeps that index in its own memory instead.
  return openExisting(path, SharedMemory::none);
}

}  // namespace tarnwick::platform::local_store
