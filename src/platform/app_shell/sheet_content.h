// Between the store's permission request and the sheet on screen: the
// wording of the rows, and the answer the store may rely on whatever the
// toolkit reported.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/app_shell/desktop_toolkit.h"
#include "platform/permission_sheet.h"

namespace tarnwick::platform::app_shell {

// The name the sheet asks on behalf of.
inline constexpr const char* kSheetApplicationName = "Tarnwick";

// The sheet's rows for request: one per type in each list, a repeated type
// shown once, in the catalogue's order (the store hands over sets, whose
// order means nothing to a person); types outside the catalogue follow in
// the request's order. A type of the catalogue reads as its
// metric label ("Heart Rate"); any other type reads as its identifier.
SheetContent sheetContentFor(const PermissionSheetRequest& request);

// The sentence under the sheet's heading: what the switches decide, and how a
// person changes a choice afterwards. Inline: the desktop module, which
// links no platform code, shows it.
inline std::string sheetInvitation(const SheetContent& content) {
  const char* access = content.shareRows.empty() ? "read"
                       : content.readRows.empty() ? "write"
                                                  : "write and read";
  return "Turn on what " + content.applicationName + " may " + access +
         ". Anything you leave off stays private. To change a choice later, run "
         "\"tarnwick-store reset\" and the next request asks you again.";
}

// answer as the store should see it. `allow` holds exactly one choice per
// row of content: a row the toolkit left out is off, an identifier that is
// no row is dropped (nothing can be granted that was not asked). An `allow`
// with every choice off becomes `dontAllow`: the sheet offers no Allow then,
// and "authorized" must never stand for nothing allowed. `dontAllow` and
// `dismissed` carry no choices; `failed` carries only its failure.
PermissionSheetAnswer completedAnswer(const SheetContent& content, PermissionSheetAnswer answer);

// A permission sheet shown by toolkit, which must outlive it. It answers
// each presentation exactly once, even if the toolkit called back twice.
std::shared_ptr<PermissionSheet> makeToolkitPermissionSheet(DesktopToolkit& toolkit);

}  // namespace tarnwick::platform::app_shell
