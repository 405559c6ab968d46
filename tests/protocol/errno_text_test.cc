// Error numbers read the same whatever the process's locale.
#include <gtest/gtest.h>

#include <cerrno>

#include "protocol/errno_text.h"

namespace tarnwick::testing {
namespace {

TEST(ErrnoTextTest, TextsAreEnglishAndNeverEmpty) {
  EXPECT_EQ(protocol::describeErrno(ENOENT), "No such file or directory");
  EXPECT_EQ(protocol::describeErrno(EACCES), "Permission denied");
  EXPECT_EQ(protocol::describeErrno(99999), "error 99999");
}

}  // namespace
}  // namespace tarnwick::testing
