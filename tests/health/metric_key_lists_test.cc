// The schemas, the Node client and the manuals each spell out the metric
// keys (and the schema the labels and unit texts) for their readers. This
// test holds every such list against the catalogue, so that adding or
// renaming a metric fails here, once, naming each file still to update.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "health/metric_catalogue.h"
#include "support/test_files.h"

namespace tarnwick::testing {
namespace {

using Texts = std::vector<std::string>;

// The distinct values of one field of the rows, in catalogue order.
Texts catalogueTexts(const std::function<std::string_view(const health::MetricEntry&)>& field,
                     const std::function<bool(const health::MetricEntry&)>& wanted = nullptr) {
  Texts texts;
  for (const health::MetricEntry& metric : health::metricCatalogue()) {
    if (wanted && !wanted(metric)) continue;
    std::string text(field(metric));
    if (std::find(texts.begin(), texts.end(), text) == texts.end()) texts.push_back(text);
  }
  return texts;
}

// "a, b and c" with each key wrapped in `quote`, as prose lists them.
std::string proseList(const Texts& keys, std::string_view quote, bool escapeUnderscores = false) {
  std::string text;
  for (std::size_t index = 0; index < keys.size(); ++index) {
    if (index > 0) text += index + 1 == keys.size() ? " and " : ", ";
    std::string key = keys[index];
    if (escapeUnderscores) {
      for (std::size_t at = key.find('_'); at != std::string::npos; at = key.find('_', at + 2)) key.insert(at, "\\");
    }
    text += std::string(quote) + key + std::string(quote);
  }
  return text;
}

std::string joined(const Texts& texts, std::string_view separator) {
  std::string text;
  for (const std::string& item : texts) text += (text.empty() ? "" : std::string(separator)) + item;
  return text;
}

std::string sourceFile(const std::string& path) {
  std::optional<std::string> text = readFile(std::string(TARNWICK_SOURCE_DIR) + "/" + path);
  return text.value_or("");
}

nlohmann::json sourceJson(const std::string& path) {
  return nlohmann::json::parse(sourceFile(path), nullptr, false);
}

// The value at a JSON pointer, or null when the document has none there.
nlohmann::json field(const nlohmann::json& document, const std::string& pointer) {
  nlohmann::json::json_pointer at(pointer);
  return document.is_object() && document.contains(at) ? document.at(at) : nlohmann::json();
}

// Prose may break a list across lines; the comparison does not care.
std::string unwrapped(std::string text) {
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  return text;
}

TEST(MetricKeyLists, EveryArtefactListsTheCatalogue) {
  const Texts keys = catalogueTexts([](const health::MetricEntry& m) { return m.key; });
  const Texts labels = catalogueTexts([](const health::MetricEntry& m) { return m.label; });
  const Texts unitTexts = catalogueTexts([](const health::MetricEntry& m) { return m.unitText; });
  // The readers that make a record tag it with their key.
  const Texts recordKeys = catalogueTexts([](const health::MetricEntry& m) { return m.key; },
                                          [](const health::MetricEntry& m) {
                                            return m.reader == health::MetricReader::latestQuantity ||
                                                   m.reader == health::MetricReader::latestWorkout;
                                          });

  std::vector<std::string> stale;
  auto expectList = [&](const std::string& where, const nlohmann::json& given, const Texts& wanted) {
    if (!given.is_array() || given.get<Texts>() != wanted) {
      stale.push_back(where + " should be [" + joined(wanted, ", ") + "], is " + given.dump());
    }
  };
  auto expectText = [&](const std::string& where, const std::string& text, const std::string& wanted) {
    if (unwrapped(text).find(wanted) == std::string::npos) stale.push_back(where + " should say: " + wanted);
  };

  const nlohmann::json response = sourceJson("schema/response.schema.json");
  const std::string responseSchema = "schema/response.schema.json ";
  expectList(responseSchema + "/$defs/metric/properties/key/enum", field(response, "/$defs/metric/properties/key/enum"),
             keys);
  expectList(responseSchema + "/$defs/metric/properties/label/enum",
             field(response, "/$defs/metric/properties/label/enum"), labels);
  expectList(responseSchema + "/$defs/metric/properties/unit/enum",
             field(response, "/$defs/metric/properties/unit/enum"), unitTexts);
  expectList(responseSchema + "/$defs/record/properties/tags/prefixItems/0/enum",
             field(response, "/$defs/record/properties/tags/prefixItems/0/enum"), recordKeys);
  // A snapshot holds at most one metric per row and one record per reader
  // that makes one.
  auto expectCount = [&](const std::string& pointer, std::size_t wanted) {
    const nlohmann::json given = field(response, pointer);
    if (!given.is_number_unsigned() || given.get<std::size_t>() != wanted) {
      stale.push_back(responseSchema + pointer + " should be " + std::to_string(wanted) + ", is " + given.dump());
    }
  };
  expectCount("/$defs/syncData/properties/metrics/maxItems", keys.size());
  expectCount("/$defs/syncData/properties/records/maxItems", recordKeys.size());

  const nlohmann::json description = field(sourceJson("schema/request.schema.json"), "/$defs/metricKeys/description");
  expectText("schema/request.schema.json /$defs/metricKeys/description",
             description.is_string() ? description.get<std::string>() : "", proseList(keys, ""));

  Texts quoted, ticked;
  for (const std::string& key : keys) {
    quoted.push_back('"' + key + '"');
    ticked.push_back('`' + key + '`');
  }
  expectText("clients/node/index.d.ts MetricKey", sourceFile("clients/node/index.d.ts"),
             "export type MetricKey = " + joined(quoted, " | ") + ";");
  expectText("docs/PROTOCOL.md", sourceFile("docs/PROTOCOL.md"),
             "**Metric keys**, in their fixed order: " + joined(ticked, ", ") + ".");
  for (const std::string page : {"docs/man/tarnwick.1.scd", "docs/man/tarnwick-store.1.scd"}) {
    expectText(page, sourceFile(page), "The metric keys are " + proseList(keys, "*", true) + ".");
  }

  EXPECT_TRUE(stale.empty()) << "The metric catalogue changed; update:\n  " << joined(stale, "\n  ");
}

}  // namespace
}  // namespace tarnwick::testing
