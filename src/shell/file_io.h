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

// Makes the file at path hold exactly bytes, or reports that it could not.
// A regular file, or a missing one, is replaced whole: the bytes go to a
// private temporary file beside it ("<path>.partial-XXXXXX") that is then
// renamed over it, so a reader sees all of the new bytes or none. When that
// fails, the old file is removed too, so that it is not taken for this
// answer. Anything else at path (a FIFO, a character device, a symbolic
// link), and a file in a folder that takes no new files, is written in
// place, and a regular file written in place is emptied when the write fails
// half way. Only a file that can be neither replaced, written nor removed
// keeps what it held. Returns false on failure. Allocates nothing.
bool writeWholeFile(const std::string& path, std::string_view bytes);

}  // namespace tarnwick::shell
