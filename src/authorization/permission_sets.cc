#include "authorization/permission_sets.h"

#include "health/metric_catalogue.h"

namespace tarnwick::authorization {
namespace {

std::set<health::ObjectType> resolve(const std::vector<std::string>& keys) {
  std::set<health::ObjectType> types;
  for (const std::string& key : keys) {
    if (const health::MetricEntry* metric = health::findMetric(key)) types.insert(metric->type);
  }
  return types;
}

}  // namespace

std::set<health::ObjectType> PermissionSets::requested() const {
  std::set<health::ObjectType> all = read;
  all.insert(share.begin(), share.end());
  return all;
}

PermissionSets resolvePermissionSets(const std::vector<std::string>& readKeys, const std::vector<std::string>& writeKeys) {
  return PermissionSets{resolve(readKeys), resolve(writeKeys)};
}

}  // namespace tarnwick::authorization
