// Every example a person copies from the README, the protocol reference and
// the manual pages, run against the built programs, so that none of them can
// drift from what the programs do.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/store_home.h"
#include "support/test_files.h"

namespace tarnwick::testing {
namespace {

struct Block {
  std::string language;  // the word after the opening fence ("sh", "json"), may be empty
  std::string text;
};

// The fenced code blocks of a Markdown or scdoc text, in order.
std::vector<Block> fencedBlocks(const std::string& text) {
  std::vector<Block> blocks;
  std::istringstream lines(text);
  Block* open = nullptr;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("```", 0) == 0) {
      if (open) {
        open = nullptr;
      } else {
        blocks.push_back({line.substr(3), ""});
        open = &blocks.back();
      }
    } else if (open) {
      open->text += line + "\n";
    }
  }
  return blocks;
}

std::string documentText(const std::string& relativePath) {
  std::optional<std::string> text = readFile(std::string(TARNWICK_SOURCE_DIR) + "/" + relativePath);
  EXPECT_TRUE(text) << relativePath;
  return text.value_or("");
}

// scdoc writes a literal backslash as two.
std::string unescapeScdoc(std::string text) {
  for (size_t at = text.find("\\\\"); at != std::string::npos; at = text.find("\\\\", at + 1)) text.erase(at, 1);
  return text;
}

// The text after "# EXAMPLES" up to the next section.
std::string examplesSection(const std::string& page) {
  size_t start = page.find("\n# EXAMPLES\n");
  if (start == std::string::npos) return "";
  size_t end = page.find("\n# ", start + 1);
  return page.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// The README's commands that run the built programs: each piece of a
// fenced shell line ("a && b") that starts build/tarnwick or pipes into it.
// Building, installing and packaging are left to CI.
std::vector<std::string> readmeProgramCommands(const std::string& readme) {
  std::vector<std::string> commands;
  for (const Block& block : fencedBlocks(readme)) {
    if (block.language != "sh") continue;
    std::istringstream lines(block.text);
    for (std::string line; std::getline(lines, line);) {
      size_t start = 0;
      while (start <= line.size()) {
        size_t end = line.find(" && ", start);
        std::string piece = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (piece.rfind("build/tarnwick", 0) == 0 || piece.find("| build/tarnwick") != std::string::npos) {
          commands.push_back(piece);
        }
        if (end == std::string::npos) break;
        start = end + 4;
      }
    }
  }
  return commands;
}

class DocumentedExamplesTest : public ::testing::Test {
 protected:
  // Runs script with bash in a demo store (every metric granted, so that no
  // example needs the sheet), from a folder that holds `build` (this build
  // tree) and a request.json, with the built programs first on PATH.
  ProcessResult runInDemoStore(const std::string& script) {
    StoreHome home;
    EXPECT_EQ(home.tool({"demo"}).exitStatus, 0);
    TemporaryDirectory folder;
    EXPECT_EQ(::symlink(TARNWICK_BINARY_DIR, folder.file("build").c_str()), 0);
    writeFile(folder.file("request.json"), R"({"method":"status","sourceMode":"native"})");
    ProcessOptions options = home.options({"-e", "-o", "pipefail", "-c", script});
    options.workingDirectory = folder.path();
    const char* path = std::getenv("PATH");
    options.environment["PATH"] = std::string(TARNWICK_BINARY_DIR) + ":" + (path ? path : "/usr/bin:/bin");
    return runProcess("/bin/bash", options);
  }

  void expectRuns(const std::string& script) {
    SCOPED_TRACE(script);
    ProcessResult result = runInDemoStore(script);
    EXPECT_EQ(result.exitStatus, 0) << result.standardOutput << result.standardError;
    EXPECT_EQ(result.standardOutput.find(R"("ok":false)"), std::string::npos) << result.standardOutput;
  }
};

TEST_F(DocumentedExamplesTest, ReadmeCommandsRun) {
  std::vector<std::string> commands = readmeProgramCommands(documentText("README.md"));
  // The main job's demo and sync, and the macOS section's requests.
  ASSERT_GE(commands.size(), 4u);
  for (const std::string& command : commands) expectRuns(command);
}

TEST_F(DocumentedExamplesTest, ManualPageAndProtocolShellExamplesRun) {
  struct Document {
    const char* path;
    bool manualPage;
    size_t minimumExamples;
  };
  for (const Document& document : {Document{"docs/man/tarnwick.1.scd", true, 3},
                                   Document{"docs/man/tarnwick-store.1.scd", true, 3},
                                   Document{"docs/PROTOCOL.md", false, 1}}) {
    SCOPED_TRACE(document.path);
    std::string text = documentText(document.path);
    if (document.manualPage) text = unescapeScdoc(examplesSection(text));
    size_t found = 0;
    for (const Block& block : fencedBlocks(text)) {
      if (!document.manualPage && block.language != "sh") continue;
      ++found;
      expectRuns(block.text);
    }
    EXPECT_GE(found, document.minimumExamples);
  }
}

// A JSON request block followed at once by a response block is an example
// exchange: the bridge must answer the request with exactly that response.
// A "sync" answer depends on the day, so only its shape is compared there.
TEST_F(DocumentedExamplesTest, RequestAndResponseExamplesMatchTheBridge) {
  for (const char* path : {"README.md", "docs/PROTOCOL.md"}) {
    SCOPED_TRACE(path);
    std::vector<Block> blocks = fencedBlocks(documentText(path));
    size_t exchanges = 0;
    for (size_t i = 0; i + 1 < blocks.size(); ++i) {
      if (blocks[i].language != "json" || blocks[i + 1].language != "json") continue;
      nlohmann::json request = nlohmann::json::parse(blocks[i].text, nullptr, false);
      nlohmann::json documented = nlohmann::json::parse(blocks[i + 1].text, nullptr, false);
      if (!request.is_object() || !request.contains("method") || !documented.is_object() ||
          !documented.contains("ok")) {
        continue;
      }
      ++exchanges;
      SCOPED_TRACE(blocks[i].text);
      StoreHome home;
      ASSERT_EQ(home.tool({"demo"}).exitStatus, 0);
      ProcessResult result = home.bridge(request.dump());
      nlohmann::json actual = nlohmann::json::parse(result.standardOutput, nullptr, false);
      ASSERT_TRUE(actual.is_object()) << result.standardOutput;
      if (request["method"] == "sync") {
        EXPECT_EQ(actual["ok"], documented["ok"]);
        for (const auto& [key, value] : documented["data"].items()) {
          EXPECT_TRUE(actual["data"].contains(key)) << key;
        }
        EXPECT_EQ(actual["data"]["readableTypes"], documented["data"]["readableTypes"]);
      } else {
        EXPECT_EQ(actual, documented);
      }
    }
    // status, authorize, sync and write.
    EXPECT_GE(exchanges, 4u);
  }
}

}  // namespace
}  // namespace tarnwick::testing
