// The permission table: what the person decided, per type, for reading and
// for writing. A type with no row was never asked about.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/local_store/database.h"

namespace tarnwick::platform::local_store {

// Stored as these integers.
enum class Access : int { notDetermined = 0, denied = 1, authorized = 2 };

struct TypeAccess {
  Access read = Access::notDetermined;
  Access share = Access::notDetermined;
  bool operator==(const TypeAccess&) const = default;
};

// The decisions for one type; both notDetermined when it has no row.
TypeAccess accessFor(Database& database, std::string_view typeIdentifier);

// Every type with a row, by identifier.
std::map<std::string, TypeAccess> allAccess(Database& database);

// Records read and/or share access of a type; a missing value keeps what is
// stored. Runs inside the caller's transaction, if any.
void setAccess(Database& database, std::string_view typeIdentifier, std::optional<Access> read,
               std::optional<Access> share);

// "not determined", "denied", "authorized".
std::string_view accessName(Access access);

}  // namespace tarnwick::platform::local_store
