#include "platform/local_store/local_store_schema.h"

#include <array>
#include <string>
#include <string_view>

#include "platform/local_store/store_error.h"

namespace tarnwick::platform::local_store {
namespace {

// migrations[n] takes a store from version n to n + 1. Append only: a
// released step never changes, since stores in the field already ran it.
constexpr std::array<std::string_view, LocalStoreSchema::kCurrentVersion> kMigrations{{
    R"sql(
      CREATE TABLE samples (
        id INTEGER PRIMARY KEY,
        type TEXT NOT NULL,
        start REAL NOT NULL,
        end REAL NOT NULL,
        value REAL,
        unit TEXT,
        category INTEGER,
        activity INTEGER,
        duration REAL,
        energy REAL,
        distance REAL,
        source TEXT NOT NULL,
        metadata TEXT,
        sync_identifier TEXT,
        sync_version REAL
      );
      CREATE INDEX samples_by_type_start ON samples (type, start);
      CREATE UNIQUE INDEX samples_by_sync_identifier ON samples (type, sync_identifier)
        WHERE sync_identifier IS NOT NULL;
      CREATE TABLE permissions (
        type TEXT PRIMARY KEY,
        read INTEGER NOT NULL DEFAULT 0,
        share INTEGER NOT NULL DEFAULT 0
      ) WITHOUT ROWID;
    )sql",
    // A window on end dates (the sleep reader's) can seek instead of reading
    // every sample of the type: ten years of sleep stages made one "sync"
    // take a hundred milliseconds.
    R"sql(
      CREATE INDEX samples_by_type_end ON samples (type, end);
    )sql",
    // Source priority for cumulative sums: 1 is the highest. A source ranks
    // by its first write until someone reorders the list (SampleWriter adds
    // it); a store that predates the list ranks its sources by their oldest
    // surviving sample. No trigger: one made every insert of a large import
    // several times slower. Written to run safely over a file that already
    // has the list, as a file rolled back to an older layout by hand would.
    R"sql(
      CREATE TABLE IF NOT EXISTS sources (
        name TEXT PRIMARY KEY,
        priority INTEGER NOT NULL
      ) WITHOUT ROWID;
      INSERT OR IGNORE INTO sources (name, priority)
        SELECT source, (SELECT coalesce(max(priority), 0) FROM sources) + row_number() OVER (ORDER BY min(id))
        FROM samples WHERE source NOT IN (SELECT name FROM sources) GROUP BY source;
    )sql",
}};

int pragmaValue(Database& database, std::string_view pragma) {
  Statement statement(database, pragma);
  return statement.step() ? static_cast<int>(statement.columnInt(0)) : 0;
}

void migrate(Database& database, int from) {
  for (int version = from; version < LocalStoreSchema::kCurrentVersion; ++version) {
    database.execute(kMigrations[static_cast<std::size_t>(version)]);
  }
  // PRAGMA takes no bound parameters; the value is our own constant.
  database.execute("PRAGMA user_version = " + std::to_string(LocalStoreSchema::kCurrentVersion));
}

}  // namespace

void LocalStoreSchema::initialise(Database& database) {
  database.execute("PRAGMA application_id = " + std::to_string(kApplicationId));
  WriteTransaction transaction(database);
  migrate(database, 0);
  transaction.commit();
}

void LocalStoreSchema::prepare(Database& database) {
  if (pragmaValue(database, "PRAGMA application_id") != kApplicationId) {
    throw brokenStoreError(database.path(), "is not a Tarnwick health store");
  }
  int version = pragmaValue(database, "PRAGMA user_version");
  if (version == kCurrentVersion) return;
  if (version > kCurrentVersion) {
    throw brokenStoreError(database.path(), "was written by a newer version of Tarnwick (layout " +
                                                std::to_string(version) + ")");
  }
  if (database.isReadOnly()) throw brokenStoreError(database.path(), "is read-only and needs upgrading");
  WriteTransaction transaction(database);
  // Another process may have migrated while we waited for the write lock.
  version = pragmaValue(database, "PRAGMA user_version");
  if (version < kCurrentVersion) migrate(database, version);
  transaction.commit();
}

}  // namespace tarnwick::platform::local_store
