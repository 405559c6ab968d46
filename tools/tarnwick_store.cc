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
#include "platform/local_store/sample_records.h"
#include "platform/local_store/source_priority.h"
#include "platform/local_store/store_file.h"
#include "protocol/errno_text.h"
#include "protocol/utf8.h"
#include "sample_lines.h"
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

// A name from the store as one printable line: a backslash doubled, tab,
// line feed and carriage return as \t, \n and \r, other control characters
// and bytes that are not UTF-8 as \xHH, so that a name can neither break a
// line apart nor pass for two fields. Names without such bytes are shown as
// they are, and "prefer" takes a name in either form.
std::string escapedName(std::string_view name) {
  std::string shown;
  auto hex = [&](unsigned char byte) {
    constexpr std::string_view kDigits = "0123456789abcdef";
    shown += "\\x";
    shown += kDigits[byte >> 4];
    shown += kDigits[byte & 0xF];
  };
  for (std::size_t index = 0; index < name.size();) {
    unsigned char byte = static_cast<unsigned char>(name[index]);
    if (byte < 0x80) {
      switch (byte) {
        case '\\': shown += "\\\\"; break;
        case '\t': shown += "\\t"; break;
        case '\n': shown += "\\n"; break;
        case '\r': shown += "\\r"; break;
        default:
          if (byte < 0x20 || byte == 0x7F) hex(byte);
          else shown += static_cast<char>(byte);
      }
      ++index;
      continue;
    }
    // The sequence the lead byte announces when it is well formed and not
    // a C1 control character (U+0080 to U+009F), else one stray byte.
    std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
    std::string_view sequence = name.substr(index, length);
    bool control = length == 2 && byte == 0xC2 && sequence.size() == 2 && static_cast<unsigned char>(sequence[1]) < 0xA0;
    if (sequence.size() == length && !control && protocol::isValidUtf8(sequence)) {
      shown += sequence;
      index += length;
    } else {
      hex(byte);
      ++index;
    }
  }
  return shown;
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

// The rows the command line names; every row when it names none.
std::vector<const health::MetricEntry*> namedMetrics(const std::vector<std::string>& named) {
  std::vector<const health::MetricEntry*> metrics;
  if (named.empty()) {
    for (const health::MetricEntry& metric : health::metricCatalogue()) metrics.push_back(&metric);
  }
  for (const std::string& key : named) {
    const health::MetricEntry* metric = health::findMetric(key);
    if (!metric) throw UsageError("unknown metric key '" + key + "' (expected " + keyList(", ", " or ") + ")");
    metrics.push_back(metric);
  }
  return metrics;
}

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
      samples.push_back(tools::sampleFromLine(line, kToolSource));
    } catch (const tools::SampleLineError& error) {
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
    out += tools::lineFromSample(sample);
    out += '\n';
  }
  std::cout << out;
  return 0;
}

int setPermissions(const Invocation& invocation, Access access) {
  std::vector<const health::MetricEntry*> metrics = namedMetrics(invocation.arguments);
  auto database = platform::local_store::openStore(invocation.storePath);
  WriteTransaction transaction(*database);
  // The store's permission rows are keyed by the platform type's identifier.
  for (const health::MetricEntry* metric : metrics) {
    platform::local_store::setAccess(*database, metric->type.identifier, access, access);
  }
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
  for (const health::MetricEntry& metric : health::metricCatalogue()) {
    platform::local_store::TypeAccess access = table[metric.type.identifier];
    std::cout << metric.key << " read=" << platform::local_store::accessName(access.read)
              << " write=" << platform::local_store::accessName(access.share) << '\n';
  }
  return 0;
}

int commandSources(const Invocation& invocation) {
  if (!invocation.arguments.empty()) throw UsageError("sources takes no arguments");
  if (!storeExists(invocation.storePath)) return 0;
  auto database = platform::local_store::openStore(invocation.storePath, platform::local_store::IfMissing::fail);
  for (const auto& source : platform::local_store::sourcesByPriority(*database)) {
    std::cout << escapedName(source.name) << '\t' << source.sampleCount << '\n';
  }
  return 0;
}

int commandPrefer(const Invocation& invocation) {
  if (invocation.arguments.empty()) throw UsageError("usage: prefer SOURCE [SOURCE...]");
  if (!storeExists(invocation.storePath)) throw UsageError("the store holds no sources yet");
  auto database = platform::local_store::openStore(invocation.storePath, platform::local_store::IfMissing::fail);
  WriteTransaction transaction(*database);
  std::vector<platform::local_store::SourceEntry> known = platform::local_store::sourcesByPriority(*database);
  std::vector<std::string> names;
  for (const std::string& name : invocation.arguments) {
    // As stored, or as "sources" shows it.
    auto named = [&](const platform::local_store::SourceEntry& source) {
      return source.name == name || escapedName(source.name) == name;
    };
    auto found = std::find_if(known.begin(), known.end(), named);
    if (found == known.end()) {
      throw UsageError("unknown source '" + escapedName(name) + "' (\"tarnwick-store sources\" lists them)");
    }
    names.push_back(found->name);
  }
  platform::local_store::preferSources(*database, names);
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
  tools::synthesiseHistory(days, health::systemClock().now(), [&](const health::Sample& sample) {
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
  for (const health::MetricEntry& metric : health::metricCatalogue()) {
    platform::local_store::setAccess(*database, metric.type.identifier, Access::authorized, Access::authorized);
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
  std::cout << "usage: tarnwick-store [--store PATH] [--] COMMAND [ARGUMENTS]\n"
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
  bool operandsOnly = false;
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    const std::string& argument = arguments[index];
    // After "--" nothing is an option: a source may be called "--store".
    if (!operandsOnly) {
      if (argument == "--") {
        operandsOnly = true;
        continue;
      }
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
        continue;
      }
    }
    if (!commandName) {
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
  throw UsageError("unknown command '" + escapedName(*commandName) + "' (try --help)");
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
