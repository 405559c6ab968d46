// The few POSIX file operations the shell needs, each retrying on EINTR and
// on short transfers, and each describing a failure in one plain sentence.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnwick::shell {

// A request file or standard input that cannot be read. A platform error:
// answered as "SWIFT_ERROR" with what().
class RequestReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole content of the file at path. Throws RequestReadError.
std::string readWholeFile(const std::string& path);

// Everything on file descriptor fd up to end of file. Throws RequestReadError.
std::string readToEnd(int fd);

// Writes every byte to fd. Returns false on failure (errno is left set).
bool writeAll(int fd, std::string_view bytes);

// Writes bytes to the file at path, created if missing (private to the user)
// and otherwise truncated and overwritten in place. Returns false on failure.
bool writeWholeFile(const std::string& path, std::string_view bytes);

}  // namespace tarnwick::shell
