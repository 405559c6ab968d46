// Source names are whatever other applications called themselves: the
// store tool prints them one to a line whatever bytes they hold, and takes
// any of them back, even one that looks like an option.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/store_home.h"

namespace tarnwick::testing {
namespace {

std::string stepLine(const std::string& sourceJson, long long end) {
  return R"({"type":"steps","value":10,"unit":"count","start":)" + std::to_string(end - 60'000) +
         R"(,"end":)" + std::to_string(end) + R"(,"source":)" + sourceJson + "}\n";
}

TEST(StoreToolNamesTest, SourcesAreEscapedOneToALineAndAnyCanBePreferred) {
  StoreHome home;
  struct Name {
    std::string json;   // as the add line gives it
    std::string shown;  // as "sources" prints it
  };
  const std::vector<Name> names = {
      {R"("--store")", "--store"},
      {R"("Tab\there")", R"(Tab\there)"},
      {R"("Two\nlines")", R"(Two\nlines)"},
      {R"("Back\\slash")", R"(Back\\slash)"},
      {R"("Bell\u0007 and CSI\u009b")", R"(Bell\x07 and CSI\xc2\x9b)"},
      {R"("Café ⌚")", "Café ⌚"},
  };
  std::string lines;
  long long end = 1'700'000'000'000LL;
  for (const Name& name : names) lines += stepLine(name.json, end += 60'000);
  ASSERT_EQ(home.toolOutput({"add"}, lines), std::to_string(names.size()) + "\n");

  // Each source once, in the order added, with its count.
  std::string expected;
  for (const Name& name : names) expected += name.shown + "\t1\n";
  EXPECT_EQ(home.toolOutput({"sources"}), expected);

  // After "--" an operand is never an option; a name may be given as shown.
  EXPECT_EQ(home.tool({"prefer", "--", "--store"}).exitStatus, 0);
  EXPECT_TRUE(home.toolOutput({"sources"}).starts_with("--store\t1\n"));
  EXPECT_EQ(home.tool({"--", "prefer", R"(Tab\there)", "Two\nlines"}).exitStatus, 0);
  const std::string preferred = "Tab\\there\t1\nTwo\\nlines\t1\n";
  EXPECT_EQ(home.toolOutput({"sources"}).substr(0, preferred.size()), preferred);

  ProcessResult unknown = home.tool({"prefer", "--", "No\nsuch"});
  EXPECT_EQ(unknown.exitStatus, 1);
  EXPECT_EQ(unknown.standardError,
            "tarnwick-store: unknown source 'No\\nsuch' (\"tarnwick-store sources\" lists them)\n");
}

}  // namespace
}  // namespace tarnwick::testing
