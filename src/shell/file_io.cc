#include "shell/file_io.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "protocol/errno_text.h"
#include "protocol/utf8.h"

namespace tarnwick::shell {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads fd to its end into bytes; returns 0 or the errno of the failure.
int appendToEnd(int fd, std::string& bytes) {
  char buffer[65536];
  for (;;) {
    ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count > 0) {
      bytes.append(buffer, static_cast<std::size_t>(count));
    } else if (count == 0) {
      return 0;
    } else if (errno != EINTR) {
      return errno;
    }
  }
}

}  // namespace

std::string readWholeFile(const std::string& path) {
  auto fail = [&](int error) {
    return RequestReadError("The request file '" + protocol::printableUtf8(path, 4096) +
                            "' cannot be read: " + protocol::describeErrno(error) + ".");
  };
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw fail(errno);
  FileDescriptor file(fd);
  std::string bytes;
  struct stat status {};
  if (::fstat(file.get(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
    bytes.reserve(static_cast<std::size_t>(status.st_size));
  }
  if (int error = appendToEnd(file.get(), bytes)) throw fail(error);
  return bytes;
}

std::string readToEnd(int fd) {
  std::string bytes;
  if (int error = appendToEnd(fd, bytes)) {
    throw RequestReadError("The standard input cannot be read: " + protocol::describeErrno(error) + ".");
  }
  return bytes;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t count = ::write(fd, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

bool writeWholeFile(const std::string& path, std::string_view bytes) {
  struct stat existing {};
  bool exists = ::lstat(path.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) return false;
  if (!exists || S_ISREG(existing.st_mode)) {
    // A fixed buffer: the out-of-memory answer takes this path too.
    constexpr std::string_view kSuffix = ".partial-XXXXXX";
    std::array<char, PATH_MAX> temporary{};
    if (path.size() + kSuffix.size() < temporary.size()) {
      std::copy(kSuffix.begin(), kSuffix.end(), std::copy(path.begin(), path.end(), temporary.begin()));
      int fd = ::mkstemp(temporary.data());
      if (fd >= 0) {
        bool written;
        {
          FileDescriptor file(fd);
          written = writeAll(file.get(), bytes);
        }
        if (written && ::rename(temporary.data(), path.c_str()) == 0) return true;
        ::unlink(temporary.data());
        if (exists) ::unlink(path.c_str());
        return false;
      }
      // A folder that takes no new files may still hold a writable file.
      if (errno != EACCES && errno != EPERM && errno != EROFS) {
        if (exists) ::unlink(path.c_str());
        return false;
      }
    }
  }
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  FileDescriptor file(fd);
  if (writeAll(file.get(), bytes)) return true;
  struct stat written {};
  if (::fstat(file.get(), &written) == 0 && S_ISREG(written.st_mode)) (void)::ftruncate(file.get(), 0);
  return false;
}

}  // namespace tarnwick::shell
