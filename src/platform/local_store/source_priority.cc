#include "platform/local_store/source_priority.h"

#include <algorithm>

#include "health/health_store.h"

namespace tarnwick::platform::local_store {
namespace {

std::vector<std::string> namesByPriority(Database& database) {
  Statement statement(database, "SELECT name FROM sources ORDER BY priority, name");
  std::vector<std::string> names;
  while (statement.step()) names.push_back(statement.columnText(0).value_or(""));
  return names;
}

}  // namespace

std::vector<SourceEntry> sourcesByPriority(Database& database) {
  // One pass over the samples for every count, not one per source.
  Statement statement(database,
                      "SELECT name, coalesce(counted.samples, 0) FROM sources "
                      "LEFT JOIN (SELECT source, count(*) AS samples FROM samples GROUP BY source) AS counted "
                      "ON counted.source = sources.name ORDER BY priority, name");
  std::vector<SourceEntry> sources;
  while (statement.step()) sources.push_back({statement.columnText(0).value_or(""), statement.columnInt(1)});
  return sources;
}

void preferSources(Database& database, const std::vector<std::string>& names) {
  std::vector<std::string> order = namesByPriority(database);
  for (const std::string& name : names) {
    if (std::find(order.begin(), order.end(), name) == order.end()) {
      throw health::HealthStoreError(health::HealthErrorCode::invalidArgument,
                                     "The health store has no source named '" + name + "'.");
    }
  }
  // A name given twice keeps its first place.
  std::vector<std::string> reordered;
  auto place = [&](const std::string& name) {
    if (std::find(reordered.begin(), reordered.end(), name) == reordered.end()) reordered.push_back(name);
  };
  for (const std::string& name : names) place(name);
  for (const std::string& name : order) place(name);
  Statement update(database, "UPDATE sources SET priority = ?2 WHERE name = ?1");
  for (std::size_t index = 0; index < reordered.size(); ++index) {
    update.reset();
    update.bind(1, reordered[index]).bind(2, static_cast<std::int64_t>(index + 1)).run();
  }
}

}  // namespace tarnwick::platform::local_store
