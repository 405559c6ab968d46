// Finds and loads the desktop module. The module is looked for only beside
// the running executable (a build tree) and in ../lib/tarnwick relative to it
// (an installation), never on a search path, so what is loaded is what was
// built or installed with the bridge.
#include <cstdlib>
#include <dlfcn.h>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/app_shell/app_shell_factories.h"
#include "protocol/utf8.h"

namespace tarnwick::platform::app_shell {
namespace {

// The display the toolkit would open, or nothing: X's first, as GTK tries it
// first too.
std::optional<std::string> displayName() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && value[0] != '\0') return std::string(value);
  }
  return std::nullopt;
}

std::string executableDirectory() {
  std::string path(4096, '\0');
  ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<size_t>(length) >= path.size()) return {};
  path.resize(static_cast<size_t>(length));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Paths and names as they may be shown in a response sentence.
std::string shown(std::string_view text) { return protocol::printableUtf8(text, 256); }

DesktopToolkitOpening unavailable(std::string reason) { return {nullptr, std::move(reason)}; }

}  // namespace

DesktopToolkitOpening openDesktopToolkit() {
  // Without a display the toolkit could not start anyway; not loading it
  // keeps the headless path as quick as direct mode.
  std::optional<std::string> display = displayName();
  if (!display) {
    return unavailable(
        "The permission sheet needs a display, but neither DISPLAY nor WAYLAND_DISPLAY is set; run the bridge with "
        "--appkit inside a desktop session.");
  }
  std::string directory = executableDirectory();
  std::vector<std::string> candidates = {directory + "/" + kDesktopModuleFileName,
                                         directory + "/../lib/tarnwick/" + kDesktopModuleFileName};
  // Never closed: the toolkit it provides lives for the rest of the process.
  void* module = nullptr;
  for (const std::string& candidate : candidates) {
    if (::access(candidate.c_str(), F_OK) != 0) continue;
    module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      const char* why = ::dlerror();
      return unavailable("The permission sheet's module '" + shown(candidate) +
                         "' cannot be loaded (" + shown(why ? why : "unknown error") +
                         "); install the GTK 4 libraries it names, or reinstall the bridge if the module itself is damaged.");
    }
    break;
  }
  if (!module) {
    return unavailable("The permission sheet's module " + std::string(kDesktopModuleFileName) +
                       " is neither beside the bridge nor in '" + shown(directory) +
                       "/../lib/tarnwick'; install it with the bridge.");
  }
  auto entry = reinterpret_cast<DesktopToolkitEntry>(::dlsym(module, kDesktopModuleEntrySymbol));
  DesktopToolkit* toolkit = entry ? entry(kDesktopToolkitInterfaceVersion) : nullptr;
  if (!toolkit) {
    return unavailable("The permission sheet cannot open the display '" + shown(*display) +
                       "'; check that its server is running and that this user may use it.");
  }
  return {toolkit, {}};
}

}  // namespace tarnwick::platform::app_shell
