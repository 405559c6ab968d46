// The one way an operating-system error number becomes words in a sentence.
#pragma once

#include <string>

namespace tarnwick::protocol {

// "No such file or directory" for ENOENT and so on, in English whatever the
// locale; "error 1234" for a number the system has no text for.
std::string describeErrno(int error);

}  // namespace tarnwick::protocol
