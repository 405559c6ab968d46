#include "platform/local_store/source_priority.h"

#include <algorithm>

#include "health/health_store.h"

namespace tarnwick::platform::local_store {

std::vector<SourceEntry> sourcesByPriority(Database& database) {
  // Every source on the list or with samples: a sample added by hand
  // bypasses the list, and such a source ranks last until preferred.
  Statement statement(database,
                      "WITH counted AS (SELECT source AS name, count(*) AS samples FROM samples GROUP BY source), "
                      "named AS (SELECT name FROM sources UNION SELECT name FROM counted) "
                      "SELECT named.name, coalesce(counted.samples, 0) FROM named "
                      "LEFT JOIN counted USING (name) LEFT JOIN sources USING (name) "
                      "ORDER BY sources.priority IS NULL, sources.priority, named.name");
  std::vector<SourceEntry> sources;
  while (statement.step()) sources.push_back({statement.columnText(0).value_or(""), statement.columnInt(1)});
  return sources;
}

void preferSources(Database& database, const std::vector<std::string>& names) {
  std::vector<std::string> order;
  for (SourceEntry& source : sourcesByPriority(database)) order.push_back(std::move(source.name));
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
  Statement update(database,
                   "INSERT INTO sources (name, priority) VALUES (?1, ?2) ON CONFLICT (name) DO UPDATE SET priority = ?2");
  for (std::size_t index = 0; index < reordered.size(); ++index) {
    update.reset();
    update.bind(1, reordered[index]).bind(2, static_cast<std::int64_t>(index + 1)).run();
  }
}

}  // namespace tarnwick::platform::local_store
