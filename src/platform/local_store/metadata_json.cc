#include "platform/local_store/metadata_json.h"

#include <variant>

namespace tarnwick::platform::local_store {

nlohmann::json metadataToJson(const health::Metadata& metadata) {
  nlohmann::json object = nlohmann::json::object();
  for (const auto& [key, value] : metadata) {
    std::visit([&, &key = key](const auto& item) { object[key] = item; }, value);
  }
  return object;
}

health::Metadata metadataFromJson(const nlohmann::json& object, std::optional<std::string>* badKey) {
  health::Metadata metadata;
  if (!object.is_object()) return metadata;
  for (const auto& [key, value] : object.items()) {
    if (value.is_boolean()) {
      metadata.emplace(key, value.get<bool>());
    } else if (value.is_number()) {
      metadata.emplace(key, value.get<double>());
    } else if (value.is_string()) {
      metadata.emplace(key, value.get<std::string>());
    } else if (badKey && !*badKey) {
      *badKey = key;
    }
  }
  return metadata;
}

}  // namespace tarnwick::platform::local_store
