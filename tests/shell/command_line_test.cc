// The flag rules: whole, case-sensitive arguments; the value is the next
// argument verbatim; only the first occurrence counts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "shell/command_line.h"
#include "shell/output.h"

namespace tarnwick::testing {
namespace {

using shell::CommandLine;

struct FlagCase {
  const char* name;
  std::vector<std::string> arguments;  // after the program's path
  std::optional<std::string> requestFile;
  bool appShell;
};

std::vector<FlagCase> flagCases() {
  return {
      {"NoArguments", {}, std::nullopt, false},
      {"PathFollowsFlag", {"--request-file", "in.json"}, "in.json", false},
      {"FlagIsLastArgument", {"x", "--request-file"}, std::nullopt, false},
      {"EqualsFormIsNotTheFlag", {"--request-file=in.json"}, std::nullopt, false},
      {"OtherCaseIsNotTheFlag", {"--Request-File", "in.json"}, std::nullopt, false},
      {"FirstOccurrenceWins", {"--request-file", "a", "--request-file", "b"}, "a", false},
      {"SecondOccurrenceAsLastArgument", {"--request-file", "a", "--request-file"}, "a", false},
      {"ValueMayLookLikeAFlag", {"--request-file", "--response-file", "out"}, "--response-file", false},
      {"ValueIsVerbatim", {"--request-file", " spaced path "}, " spaced path ", false},
      {"ValueMayBeEmpty", {"--request-file", ""}, "", false},
      {"AppShellAnywhere", {"a", "--appkit", "b"}, std::nullopt, true},
      {"AppShellTwice", {"--appkit", "--appkit"}, std::nullopt, true},
      {"AppShellAlsoTakenAsPath", {"--request-file", "--appkit"}, "--appkit", true},
      {"AppShellWithSuffix", {"--appkit=yes", "--APPKIT", "-appkit"}, std::nullopt, false},
  };
}

void PrintTo(const FlagCase& c, std::ostream* out) { *out << c.name; }

class FlagRuleTest : public ::testing::TestWithParam<FlagCase> {};

TEST_P(FlagRuleTest, FindsTheValueByTheRule) {
  std::vector<std::string> arguments{"/usr/bin/tarnwick"};
  arguments.insert(arguments.end(), GetParam().arguments.begin(), GetParam().arguments.end());
  CommandLine commandLine(arguments);
  EXPECT_EQ(commandLine.flagValue(shell::kRequestFileFlag), GetParam().requestFile);
  EXPECT_EQ(commandLine.hasFlag(shell::kAppShellFlag), GetParam().appShell);
}

INSTANTIATE_TEST_SUITE_P(Arguments, FlagRuleTest, ::testing::ValuesIn(flagCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FlagRuleTest, TheProgramPathItselfCounts) {
  // The search starts at the first element, so a program started under the
  // name of a flag sees it.
  EXPECT_TRUE(CommandLine({"--appkit"}).hasFlag(shell::kAppShellFlag));
  EXPECT_EQ(CommandLine({"--response-file", "out"}).flagValue(shell::kResponseFileFlag), "out");
}

TEST(FlagRuleTest, ResponsePathFollowsTheSameRule) {
  auto responsePath = [](std::vector<std::string> arguments) -> std::optional<std::string> {
    CommandLine commandLine(std::move(arguments));
    const std::string* path = shell::responseOutputPath(commandLine);
    return path ? std::optional<std::string>(*path) : std::nullopt;
  };
  EXPECT_EQ(responsePath({"t", "--response-file", "a", "--response-file", "b"}), "a");
  EXPECT_EQ(responsePath({"t", "--response-file"}), std::nullopt);
  EXPECT_EQ(responsePath({"t", "--request-file", "--response-file"}), std::nullopt);
}

TEST(FlagRuleTest, ArgvWithNullEntriesIsSafe) {
  char program[] = "tarnwick";
  char flag[] = "--request-file";
  char* argv[] = {program, flag, nullptr};
  CommandLine commandLine(2, argv);
  EXPECT_EQ(commandLine.arguments(), (std::vector<std::string>{"tarnwick", "--request-file"}));
  EXPECT_EQ(commandLine.flagValue(shell::kRequestFileFlag), std::nullopt);
}

// "--help" and "--version" are for a person, and only alone: any other
// argument list is a caller's run, which must get a response.
TEST(InformationRequestTest, OnlyASoleHelpOrVersionIsAnswered) {
  struct Case {
    std::vector<std::string> arguments;  // after the program's path
    const char* pattern;                 // of the text printed; nullptr: none, a request runs
  };
  const std::vector<Case> cases = {
      {{"--help"}, "^Usage: tarnwick .*tarnwick --help \\| --version\n.*"},
      {{"--version"}, "^tarnwick [0-9]+\\.[0-9]+\\.[0-9]+\n$"},
      {{}, nullptr},
      {{"--help", "--version"}, nullptr},
      {{"--appkit", "--help"}, nullptr},
      {{"--request-file", "--help"}, nullptr},
      {{"--HELP"}, nullptr},
      {{"-h"}, nullptr},
      {{"--version=1"}, nullptr},
  };
  for (const Case& test : cases) {
    std::vector<std::string> arguments{"/usr/bin/tarnwick"};
    arguments.insert(arguments.end(), test.arguments.begin(), test.arguments.end());
    SCOPED_TRACE(::testing::PrintToString(arguments));
    std::optional<std::string> information = shell::informationRequested(CommandLine(arguments));
    ASSERT_EQ(information.has_value(), test.pattern != nullptr);
    if (information) {
      EXPECT_THAT(*information, ::testing::ContainsRegex(test.pattern));
    }
  }
}

}  // namespace
}  // namespace tarnwick::testing
