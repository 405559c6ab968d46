#include "platform/permission_sheet.h"

#include <mutex>

namespace tarnwick::platform {
namespace {

std::mutex sheetMutex;
std::shared_ptr<PermissionSheet>& sheetSlot() {
  static auto* slot = new std::shared_ptr<PermissionSheet>;
  return *slot;
}

std::string& reasonSlot() {
  static auto* reason = new std::string(
      "The permission sheet can only be shown when the bridge runs with --appkit; run it again with --appkit on a "
      "display.");
  return *reason;
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

std::string permissionSheetUnavailableReason() {
  std::lock_guard lock(sheetMutex);
  return reasonSlot();
}

void setPermissionSheetUnavailableReason(std::string reason) {
  std::lock_guard lock(sheetMutex);
  reasonSlot() = std::move(reason);
}

}  // namespace tarnwick::platform
