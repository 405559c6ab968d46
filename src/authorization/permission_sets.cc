#include "authorization/permission_sets.h"

#include "health/metric_catalogue.h"

namespace tarnwick::authorization {
namespace {

std::set<health::ObjectType> resolve(health::HealthStore& store, const std::vector<std::string>& keys) {
  std::set<health::ObjectType> types;
  for (const std::string& key : keys) {
    if (std::optional<health::ObjectType> type = health::sampleType(store, key)) types.insert(std::move(*type));
  }
  return types;
}

}  // namespace

std::set<health::ObjectType> PermissionSets::requested() const {
  std::set<health::ObjectType> all = read;
  all.insert(share.begin(), share.end());
  return all;
}

PermissionSets resolvePermissionSets(health::HealthStore& store, const std::vector<std::string>& readKeys,
                                     const std::vector<std::string>& writeKeys) {
  return PermissionSets{resolve(store, readKeys), resolve(store, writeKeys)};
}

}  // namespace tarnwick::authorization
