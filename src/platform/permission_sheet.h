// The permission sheet: the window in which the person decides what the
// application may read and write. The local store shows it when a request
// names a type that is still undecided; the application object provides it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "health/object_types.h"

namespace tarnwick::platform {

struct PermissionSheetRequest {
  std::vector<health::ObjectType> readTypes;   // asked to read
  std::vector<health::ObjectType> shareTypes;  // asked to write
};

struct PermissionSheetAnswer {
  enum class Outcome {
    allow,      // "Allow": the per-type choices below hold
    dontAllow,  // "Don't Allow": every requested type is refused
    dismissed,  // closed without an answer: nothing is decided
    failed,     // could not be shown or answered: nothing is decided, and the request fails
  };
  Outcome outcome = Outcome::dismissed;
  // With `allow`: the person's switch for each requested type, by identifier.
  std::map<std::string, bool> readAllowed;
  std::map<std::string, bool> shareAllowed;
  // With `failed`: why, in one sentence, for the request's error.
  std::string failure = {};
};

class PermissionSheet {
 public:
  virtual ~PermissionSheet() = default;
  // Shows the sheet and calls answer exactly once, on any thread, when the
  // person has decided or closed it, or with `failed` when it cannot be
  // shown or answered (the display went away). Called on the thread of the
  // store call, which waits for the answer and so is never the main thread;
  // the sheet moves to the main thread itself.
  virtual void present(PermissionSheetRequest request, std::function<void(PermissionSheetAnswer)> answer) = 0;
};

// Why no sheet can be shown when the bridge runs without the application
// shell.
inline constexpr std::string_view kSheetNeedsAppShellReason =
    "The permission sheet can only be shown when the bridge runs with --appkit; run it again with --appkit on a "
    "display.";

// What a store asks the person with: the sheet the application object shows,
// or, when none can be shown (direct mode, no display, no desktop module),
// the one sentence that says why and what to do. Given to the store when it
// is made.
struct PermissionSheetOffer {
  std::shared_ptr<PermissionSheet> sheet;  // nullptr when none can be shown
  std::string unavailableReason = std::string(kSheetNeedsAppShellReason);
};

}  // namespace tarnwick::platform
