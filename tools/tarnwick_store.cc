// tarnwick-store: looks after the local health store for people and tests.
// It reads and writes the store's file directly, bypassing the permission
// rules the bridge is held to. Messages go to standard error; data (paths,
// counts, dumps, permission lists) to standard output.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "health/metric_catalogue.h"
#include "platform/local_store/database.h"
#include "platform/local_store/local_store.h"
#include "platform/local_store/permission_records.h"
#include "platform/local_store/sample_lines.h"
#include "platform/local_store/sample_records.h"
#include "platform/local_store/source_priority.h"
#include "platform/local_store/store_file.h"
#include "protocol/errno_text.h"
#include "synthetic_history.h"
#include "tarnwick_version.h"

namespace {

using namespace tarnwick;
using platform::local_store::Access;
using platform::local_store::Database;
using platform::local_store::WriteTransaction;

constexpr std::string_view kToolSource = "tarnwick-store";

// A refusal with a one-line message for standard error.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Invocation {
  std::string storePath;
  std::vector<std::string> arguments;  // after the command name
};

bool storeExists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// Type and unit look-ups only; opens nothing.
health::HealthStore& lookups() {
  static const auto store = platform::local_store::makeLocalHealthStore("");
  return *store;
}

// The catalogue's keys for a sentence: `separator` between them and `last`
// before the final one.
std::string keyList(std::string_view separator, std::string_view last) {
  std::string text;
  std::span<const health::MetricEntry> metrics = health::metricCatalogue();
  for (std::size_t index = 0; index < metrics.size(); ++index) {
    if (index > 0) text += index + 1 == metrics.size() ? last : separator;
    text += metrics[index].key;
  }
  return text;
}

std::vector<std::string> metricKeys(const std::vector<std::string>& named) {
  if (named.empty()) return health::readableTypes();
  for (const std::string& key : named) {
    if (!health::findMetric(key)) {
      throw UsageError("unknown metric key '" + key + "' (expected " + keyList(", ", " or ") + ")");
    }
  }
  return named;
}

// What the store's permission rows are keyed by: the platform type's identifier.
std::string typeIdentifier(const std::string& key) { return std::string(health::findMetric(key)->typeIdentifier); }

int commandPath(const Invocation& invocation) {
  if (!invocation.arguments.empty()) throw UsageError("path takes no arguments");
  std::cout << invocation.storePath << '\n';
  return 0;
}

std::string readAll(std::istream& input) {
  std::ostringstream buffer;
  buffer << input.rdbuf();
  return buffer.str();
}

int commandAdd(const Invocation& invocation) {
  if (invocation.arguments.size() > 1) throw UsageError("add takes at most one file");
  std::string text;
  if (invocation.arguments.empty() || invocation.arguments[0] == "-") {
    text = readAll(std::cin);
  } else {
    std::ifstream file(invocation.arguments[0], std::ios::binary);
    if (!file) throw UsageError("cannot read '" + invocation.arguments[0] + "': " + protocol::describeErrno(errno));
    text = readAll(file);
  }
  // Every line is checked before the store is touched: a bad line adds nothing.
  std::vector<health::Sample> samples;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    try {
      samples.push_back(platform::local_store::sampleFromLine(line, lookups(), kToolSource));
    } catch (const platform::local_store::SampleLineError& error) {
      throw UsageError("line " + std::to_string(number) + ": " + error.what());
    }
  }
  auto database = platform::local_store::openStore(invocation.storePath);
  WriteTransaction transaction(*database);
  platform::local_store::SampleWriter writer(*database);
  int added = 0;
  for (const health::Sample& sample : samples) added += writer.add(sample) ? 1 : 0;
  transaction.commit();
  std::cout << added << '\n';
  return 0;
}

int commandDump(const Invocation& invocation) {
  if (!invocation.arguments.empty()) throw UsageError("dump takes no arguments");
  if (!storeExists(invocation.storePath)) return 0;
  auto database = platform::local_store::openStore(invocation.storePath, platform::local_store::IfMissing::fail);
  std::string out;
  for (const health::Sample& sample : platform::local_store::allSamples(*database)) {
    out += platform::local_store::lineFromSample(sample);
    out += '\n';
  }
  std::cout << out;
  return 0;
}

int setPermissions(const Invocation& invocation, Access access) {
  std::vector<std::string> keys = metricKeys(invocation.arguments);
  auto database = platform::local_store::openStore(invocation.storePath);
  WriteTransaction transaction(*database);
  for (const std::string& key : keys) platform::local_store::setAccess(*database, typeIdentifier(key), access, access);
  transaction.commit();
  return 0;
}

int commandGrant(const Invocation& invocation) { return setPermissions(invocation, Access::authorized); }
int commandDeny(const Invocation& invocation) { return setPermissions(invocation, Access::denied); }
int commandReset(const Invocation& invocation) { return setPermissions(invocation, Access::notDetermined); }

int commandPermissions(const Invocation& invocation) {
  if (!invocation.arguments.empty()) throw UsageError("permissions takes no arguments");
  std::map<std::string, platform::local_store::TypeAccess> table;
  if (storeExists(invocation.storePath)) {
    auto database = platform::local_store::openStore(invocation.storePath, platform::local_store::IfMissing::fail);
    table = platform::local_store::allAccess(*database);
  }
  for (const std::string& key : health::readableTypes()) {
    platform::local_store::TypeAccess access = table[typeIdentifier(key)];
    std::cout << key << " read=" << platform::local_store::accessName(access.read)
              << " write=" << platform::local_store::accessName(access.share) << '\n';
  }
  return 0;
}

int commandSources(const Invocation& invocation) {
  if (!invocation.arguments.empty()) throw UsageError("sources takes no arguments");
  if (!storeExists(invocation.storePath)) return 0;
  auto database = platform::local_store::openStore(invocation.storePath, platform::local_store::IfMissing::fail);
  for (const auto& source : platform::local_store::sourcesByPriority(*database)) {
    std::cout << source.name << '\t' << source.sampleCount << '\n';
  }
  return 0;
}

int commandPrefer(const Invocation& invocation) {
  if (invocation.arguments.empty()) throw UsageError("usage: prefer SOURCE [SOURCE...]");
  if (!storeExists(invocation.storePath)) throw UsageError("the store holds no sources yet");
  auto database = platform::local_store::openStore(invocation.storePath, platform::local_store::IfMissing::fail);
  WriteTransaction transaction(*database);
  std::vector<platform::local_store::SourceEntry> known = platform::local_store::sourcesByPriority(*database);
  for (const std::string& name : invocation.arguments) {
    auto named = [&](const platform::local_store::SourceEntry& source) { return source.name == name; };
    if (std::none_of(known.begin(), known.end(), named)) {
      throw UsageError("unknown source '" + name + "' (\"tarnwick-store sources\" lists them)");
    }
  }
  platform::local_store::preferSources(*database, invocation.arguments);
  transaction.commit();
  return 0;
}

// Writes a synthetic history in one transaction, replacing what earlier
// synthetic runs left (their sources only), and returns the sample count.
std::int64_t fillSynthetic(Database& database, int days) {
  WriteTransaction transaction(database);
  platform::local_store::Statement remove(database, "DELETE FROM samples WHERE source IN (?1, ?2)");
  remove.bind(1, tools::kWatchSource).bind(2, tools::kPhoneSource).run();
  platform::local_store::SampleWriter writer(database);
  std::int64_t count = 0;
  tools::synthesiseHistory(lookups(), days, health::systemClock().now(), [&](const health::Sample& sample) {
    writer.add(sample);
    ++count;
  });
  transaction.commit();
  return count;
}

int commandDemo(const Invocation& invocation) {
  if (!invocation.arguments.empty()) throw UsageError("demo takes no arguments");
  auto database = platform::local_store::openStore(invocation.storePath);
  std::int64_t count = fillSynthetic(*database, 14);
  WriteTransaction transaction(*database);
  for (const std::string& key : health::readableTypes()) {
    platform::local_store::setAccess(*database, typeIdentifier(key), Access::authorized, Access::authorized);
  }
  transaction.commit();
  std::cerr << "Filled " << invocation.storePath << " with " << count
            << " samples of the last 14 days and granted all seven metrics.\n";
  return 0;
}

int commandGenerate(const Invocation& invocation) {
  const std::vector<std::string>& arguments = invocation.arguments;
  if (arguments.size() != 2 || arguments[0] != "--days") throw UsageError("usage: generate --days N");
  int days = 0;
  try {
    std::size_t used = 0;
    days = std::stoi(arguments[1], &used);
    if (used != arguments[1].size()) days = 0;
  } catch (const std::exception&) {
    days = 0;
  }
  if (days < 1 || days > 36500) throw UsageError("--days needs a whole number from 1 to 36500");
  auto database = platform::local_store::openStore(invocation.storePath);
  // A large cache keeps index pages of millions of rows in memory during
  // the one big transaction; the commit is still synchronous.
  database->execute("PRAGMA cache_size = -131072");
  std::int64_t count = fillSynthetic(*database, days);
  std::cout << count << '\n';
  return 0;
}

struct Command {
  std::string_view name;
  std::string_view synopsis;
  int (*run)(const Invocation&);
};

constexpr Command kCommands[] = {
    {"path", "path                 print the store's file path (creates nothing)", commandPath},
    {"add", "add [FILE]           add samples from JSON Lines (FILE or standard input); prints the count", commandAdd},
    {"dump", "dump                 print every sample as JSON Lines, ordered by start", commandDump},
    {"grant", "grant [KEY...]       authorize reading and writing of the metrics (all seven when none named)",
     commandGrant},
    {"deny", "deny [KEY...]        deny reading and writing of the metrics", commandDeny},
    {"reset", "reset [KEY...]       make the metrics undecided again", commandReset},
    {"permissions", "permissions          list read and write access of the seven metrics", commandPermissions},
    {"sources", "sources              list the sources, highest priority first, with their sample counts",
     commandSources},
    {"prefer", "prefer SOURCE...     move the sources to the top of the priority list, in the order given",
     commandPrefer},
    {"demo", "demo                 fill the store with a fortnight of demo data and grant all seven", commandDemo},
    {"generate", "generate --days N    add N days of synthetic history (for benchmarks); prints the count",
     commandGenerate},
};

void printHelp() {
  std::cout << "usage: tarnwick-store [--store PATH] COMMAND [ARGUMENTS]\n"
               "       tarnwick-store --help | --version\n\n"
               "Looks after the local health store: $XDG_DATA_HOME/tarnwick/health.sqlite3 when XDG_DATA_HOME is an\n"
               "absolute path, else $HOME/.local/share/tarnwick/health.sqlite3; --store PATH names another file.\n"
            << "Metric keys: " << keyList(" ", " ") << ".\n"
            << "Sample lines: {\"type\":\"heart_rate\",\"value\":72,\"unit\":\"count/min\",\"start\":MS,\"end\":MS}\n"
               "  {\"type\":\"sleep\",\"value\":RAW,\"start\":MS,\"end\":MS}\n"
               "  {\"type\":\"workout\",\"activity\":RAW,\"start\":MS,\"end\":MS,\"duration\":SECONDS}\n"
               "  with an optional \"source\" on any line.\n\ncommands:\n";
  for (const Command& command : kCommands) std::cout << "  " << command.synopsis << '\n';
}

int run(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  Invocation invocation;
  std::optional<std::string> storeOverride;
  std::optional<std::string> commandName;
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    const std::string& argument = arguments[index];
    if (argument == "--help" || argument == "-h") {
      printHelp();
      return 0;
    }
    if (argument == "--version") {
      std::cout << "tarnwick-store " << kVersion << '\n';
      return 0;
    }
    if (argument == "--store") {
      if (index + 1 >= arguments.size()) throw UsageError("--store needs a path");
      if (!storeOverride) storeOverride = arguments[index + 1];
      ++index;
    } else if (!commandName) {
      commandName = argument;
    } else {
      invocation.arguments.push_back(argument);
    }
  }
  if (!commandName) throw UsageError("no command given (try --help)");
  invocation.storePath = storeOverride ? *storeOverride : platform::local_store::defaultLocalStorePath();
  if (invocation.storePath.empty()) throw UsageError("the store path is empty");
  for (const Command& command : kCommands) {
    if (command.name == *commandName) return command.run(invocation);
  }
  throw UsageError("unknown command '" + *commandName + "' (try --help)");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "tarnwick-store: " << error.what() << '\n';
    return 1;
  }
}
