#include "platform/permission_sheet.h"

#include <mutex>

namespace tarnwick::platform {
namespace {

std::mutex sheetMutex;
std::shared_ptr<PermissionSheet>& sheetSlot() {
  static auto* slot = new std::shared_ptr<PermissionSheet>;
  return *slot;
}

}  // namespace

std::shared_ptr<PermissionSheet> installedPermissionSheet() {
  std::lock_guard lock(sheetMutex);
  return sheetSlot();
}

void installPermissionSheet(std::shared_ptr<PermissionSheet> sheet) {
  std::lock_guard lock(sheetMutex);
  sheetSlot() = std::move(sheet);
}

}  // namespace tarnwick::platform
