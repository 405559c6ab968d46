// emit, the one way a response leaves the process: where it is written, the
// status the process ends with, and the fixed texts written when the
// envelope cannot be encoded or there is no memory to encode it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "protocol/json_codec.h"
#include "shell/output.h"
#include "support/sanitizers.h"
#include "support/temporary_directory.h"

namespace tarnwick::testing {
namespace {

using protocol::BridgeEnvelope;
using protocol::StatusData;
using FailureEnvelope = BridgeEnvelope<StatusData>;

std::string contentOf(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

// Lets the calling process grow by at most headroom bytes of address space.
void limitGrowthTo(long long headroom) {
  std::ifstream statm("/proc/self/statm");
  long long pages = 0;
  statm >> pages;
  rlim_t limit = static_cast<rlim_t>(pages * ::sysconf(_SC_PAGESIZE) + headroom);
  rlimit bounds{limit, limit};
  ::setrlimit(RLIMIT_AS, &bounds);
}

TEST(EmitTest, WritesTheResponseFileAndEndsWithTheStatusOfWhatItWrote) {
  StatusData status;
  status.authorizationStatus = "import-only";
  status.sourceMode = "csv";
  StatusData unencodable = status;
  unencodable.sourceMode = "c\xFFv";
  struct Case {
    const char* name;
    FailureEnvelope envelope;
    int status;
    std::string written;
  };
  const std::vector<Case> cases = {
      {"success", FailureEnvelope::success(status), 0,
       R"({"ok":true,"data":{"available":false,"authorizationStatus":"import-only","readableTypes":[],)"
       R"("writableTypes":[],"sourceMode":"csv"}})"},
      {"failure", FailureEnvelope::failure("BRIDGE_ERROR", "Missing request payload."), 1,
       R"({"ok":false,"error":{"code":"BRIDGE_ERROR","message":"Missing request payload."}})"},
      // A value JSON cannot carry: the fixed text, with the envelope's status.
      {"unencodable success", FailureEnvelope::success(unencodable), 0,
       std::string(protocol::kEncodeFailedResponse)},
      {"unencodable failure", FailureEnvelope::failure("SWIFT_ERROR", "bad \xC3"), 1,
       std::string(protocol::kEncodeFailedResponse)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TemporaryDirectory directory;
    shell::CommandLine commandLine({"tarnwick", "--response-file", directory.file("response.json")});
    EXPECT_EXIT(shell::emit(c.envelope, commandLine), ::testing::ExitedWithCode(c.status), "");
    EXPECT_EQ(contentOf(directory.file("response.json")), c.written);
  }
}

TEST(EmitTest, WithoutMemoryToEncodeWritesTheFixedOutOfMemoryFailure) {
  if (kAddressSanitizer) GTEST_SKIP() << "AddressSanitizer needs more address space than the limit leaves";
  // A success whose encoding needs far more than the process may still take.
  StatusData status;
  status.sourceMode = std::string(std::size_t{96} << 20, 'n');
  FailureEnvelope huge = FailureEnvelope::success(std::move(status));
  TemporaryDirectory directory;
  shell::CommandLine commandLine({"tarnwick", "--response-file", directory.file("response.json")});
  EXPECT_EXIT(
      {
        limitGrowthTo(32 << 20);
        shell::emit(huge, commandLine);
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(contentOf(directory.file("response.json")), shell::kOutOfMemoryResponse);
  std::filesystem::remove(directory.file("response.json"));
  EXPECT_EXIT(shell::emitOutOfMemory(commandLine), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(contentOf(directory.file("response.json")), shell::kOutOfMemoryResponse);
}

}  // namespace
}  // namespace tarnwick::testing
