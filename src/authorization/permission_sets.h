// The metric keys of an "authorize" request as the store's object types.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "health/object_types.h"

namespace tarnwick::authorization {

struct PermissionSets {
  std::set<health::ObjectType> read;   // from the read keys
  std::set<health::ObjectType> share;  // from the write keys

  // What the store is asked to read: the read set and the share set together,
  // since whatever the bridge writes it must also be able to read back.
  std::set<health::ObjectType> requested() const;
};

// Resolves each key to its catalogue row's type. Keys outside the catalogue
// and keys in another letter case are left out silently; a key named twice,
// or in both lists, counts once per set. Never throws.
PermissionSets resolvePermissionSets(const std::vector<std::string>& readKeys, const std::vector<std::string>& writeKeys);

}  // namespace tarnwick::authorization
