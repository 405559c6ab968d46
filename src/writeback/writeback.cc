#include "writeback/writeback.h"

#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include "health/health_store.h"
#include "protocol/bridge_runtime_error.h"
#include "writeback/item_conversion.h"

namespace tarnwick::writeback {
namespace {

constexpr const char* kRejectedMessage = "HealthKit rejected the writeback request.";

}  // namespace

protocol::WriteResult writeSamples(protocol::BridgeRequest request, health::HealthStore& store,
                                   const health::Clock& clock) {
  protocol::WriteResult result;
  std::vector<health::Sample> samples;
  if (request.items) {
    // A large backfill makes hundreds of megabytes of samples; growing the
    // vector would hold the old and the new copy at once.
    samples.reserve(request.items->size());
    for (const protocol::WritebackItem& item : *request.items) {
      const health::MetricEntry* metric = health::findMetric(item.type);
      if (!metric) {
        result.warnings.push_back(unsupportedTypeWarning(item.type));
        continue;
      }
      auto converted = convertItem(*metric, item, clock);
      if (auto* sample = std::get_if<health::Sample>(&converted)) {
        samples.push_back(std::move(*sample));
      } else if (auto& skip = std::get<SkippedItem>(converted); !skip.warning.empty()) {
        result.warnings.push_back(std::move(skip.warning));
      }
    }
  }
  // The items are samples now; the save need not hold both.
  request.items.reset();
  if (samples.empty()) return result;

  auto count = static_cast<std::int64_t>(samples.size());
  if (!store.saveObjects(std::move(samples))) {
    throw protocol::BridgeRuntimeError::writeFailed(kRejectedMessage);
  }
  result.writtenCount = count;
  return result;
}

}  // namespace tarnwick::writeback
