// The layout of a store file and how an older layout is brought forward.
// A store is marked as ours by PRAGMA application_id; its layout version is
// PRAGMA user_version. A file that is a database but not ours, or one
// written by a newer program, is refused and left untouched.
#pragma once

#include "platform/local_store/database.h"

namespace tarnwick::platform::local_store {

class LocalStoreSchema {
 public:
  // "Trnw" in ASCII.
  static constexpr int kApplicationId = 0x54726e77;
  // The layout this program reads and writes.
  static constexpr int kCurrentVersion = 3;

  // Lays out a freshly created, empty database at the current version.
  static void initialise(Database& database);

  // Checks that an opened file is a store of ours and migrates an older
  // layout forward in one write transaction. Throws HealthStoreError (code
  // 6) for a file that is not ours or is newer than this program, and for
  // a read-only file that would need migrating.
  static void prepare(Database& database);
};

}  // namespace tarnwick::platform::local_store
