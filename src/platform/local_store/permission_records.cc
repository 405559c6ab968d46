#include "platform/local_store/permission_records.h"

namespace tarnwick::platform::local_store {
namespace {

Access accessFromColumn(std::int64_t value) {
  switch (value) {
    case 1: return Access::denied;
    case 2: return Access::authorized;
    default: return Access::notDetermined;
  }
}

}  // namespace

TypeAccess accessFor(Database& database, std::string_view typeIdentifier) {
  Statement statement(database, "SELECT read, share FROM permissions WHERE type = ?1");
  statement.bind(1, typeIdentifier);
  if (!statement.step()) return {};
  return {accessFromColumn(statement.columnInt(0)), accessFromColumn(statement.columnInt(1))};
}

std::map<std::string, TypeAccess> allAccess(Database& database) {
  Statement statement(database, "SELECT type, read, share FROM permissions ORDER BY type");
  std::map<std::string, TypeAccess> table;
  while (statement.step()) {
    table[statement.columnText(0).value_or("")] = {accessFromColumn(statement.columnInt(1)),
                                                    accessFromColumn(statement.columnInt(2))};
  }
  return table;
}

void setAccess(Database& database, std::string_view typeIdentifier, std::optional<Access> read,
               std::optional<Access> share) {
  Statement statement(database,
                      "INSERT INTO permissions (type, read, share) VALUES (?1, coalesce(?2, 0), coalesce(?3, 0)) "
                      "ON CONFLICT (type) DO UPDATE SET read = coalesce(?2, read), share = coalesce(?3, share)");
  statement.bind(1, typeIdentifier);
  if (read) statement.bind(2, static_cast<int>(*read));
  if (share) statement.bind(3, static_cast<int>(*share));
  statement.run();
}

std::string_view accessName(Access access) {
  switch (access) {
    case Access::denied: return "denied";
    case Access::authorized: return "authorized";
    case Access::notDetermined: break;
  }
  return "not determined";
}

}  // namespace tarnwick::platform::local_store
