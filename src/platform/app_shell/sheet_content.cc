#include "platform/app_shell/sheet_content.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <set>
#include <utility>

#include "health/metric_catalogue.h"

namespace tarnwick::platform::app_shell {
namespace {

std::string rowLabel(const std::string& identifier) {
  if (const health::MetricEntry* metric = health::findMetricByTypeIdentifier(identifier)) {
    return std::string(metric->label);
  }
  return identifier;
}

// Where a type stands in the catalogue; types outside it come last.
size_t catalogueRank(const std::string& identifier) {
  const health::MetricEntry* metric = health::findMetricByTypeIdentifier(identifier);
  if (!metric) return std::numeric_limits<size_t>::max();
  return static_cast<size_t>(metric - health::metricCatalogue().data());
}

std::vector<SheetRow> rowsFor(const std::vector<health::ObjectType>& types) {
  std::vector<SheetRow> rows;
  std::set<std::string> seen;
  for (const health::ObjectType& type : types) {
    if (!seen.insert(type.identifier).second) continue;
    rows.push_back({type.identifier, rowLabel(type.identifier)});
  }
  std::stable_sort(rows.begin(), rows.end(), [](const SheetRow& left, const SheetRow& right) {
    return catalogueRank(left.identifier) < catalogueRank(right.identifier);
  });
  return rows;
}

std::map<std::string, bool> choicesFor(const std::vector<SheetRow>& rows, const std::map<std::string, bool>& given) {
  std::map<std::string, bool> choices;
  for (const SheetRow& row : rows) {
    auto found = given.find(row.identifier);
    choices[row.identifier] = found != given.end() && found->second;
  }
  return choices;
}

class ToolkitPermissionSheet final : public PermissionSheet {
 public:
  explicit ToolkitPermissionSheet(DesktopToolkit& toolkit) : toolkit_(toolkit) {}

  void present(PermissionSheetRequest request, std::function<void(PermissionSheetAnswer)> answer) override {
    SheetContent content = sheetContentFor(request);
    auto answered = std::make_shared<std::atomic<bool>>(false);
    auto once = [content, answered, answer = std::move(answer)](PermissionSheetAnswer given) {
      if (answered->exchange(true)) return;
      answer(completedAnswer(content, std::move(given)));
    };
    toolkit_.presentSheet(std::move(content), std::move(once));
  }

 private:
  DesktopToolkit& toolkit_;
};

}  // namespace

SheetContent sheetContentFor(const PermissionSheetRequest& request) {
  return SheetContent{kSheetApplicationName, rowsFor(request.shareTypes), rowsFor(request.readTypes)};
}

PermissionSheetAnswer completedAnswer(const SheetContent& content, PermissionSheetAnswer answer) {
  PermissionSheetAnswer completed;
  completed.outcome = answer.outcome;
  if (answer.outcome == PermissionSheetAnswer::Outcome::allow) {
    completed.readAllowed = choicesFor(content.readRows, answer.readAllowed);
    completed.shareAllowed = choicesFor(content.shareRows, answer.shareAllowed);
    auto isOn = [](const auto& choice) { return choice.second; };
    if (std::none_of(completed.readAllowed.begin(), completed.readAllowed.end(), isOn) &&
        std::none_of(completed.shareAllowed.begin(), completed.shareAllowed.end(), isOn)) {
      completed = PermissionSheetAnswer{};
      completed.outcome = PermissionSheetAnswer::Outcome::dontAllow;
    }
  }
  if (answer.outcome == PermissionSheetAnswer::Outcome::failed) completed.failure = std::move(answer.failure);
  return completed;
}

std::shared_ptr<PermissionSheet> makeToolkitPermissionSheet(DesktopToolkit& toolkit) {
  return std::make_shared<ToolkitPermissionSheet>(toolkit);
}

}  // namespace tarnwick::platform::app_shell
