// Sample metadata as a JSON object, the one form in which the store's file
// keeps it and the companion tool's sample lines carry it: keys in order,
// each value a boolean, a number or a text.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "health/samples.h"

namespace tarnwick::platform::local_store {

// The object for metadata, keys in order.
nlohmann::json metadataToJson(const health::Metadata& metadata);

// The metadata object holds. A value that is not a boolean, a number or a
// text is left out, and the first such key (in the object's order) is put
// in badKey when it is given. Anything but an object holds none.
health::Metadata metadataFromJson(const nlohmann::json& object, std::optional<std::string>* badKey = nullptr);

}  // namespace tarnwick::platform::local_store
