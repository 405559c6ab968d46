// Finds and loads the desktop module. The module is looked for only beside
// the running executable (a build tree) and in ../lib/tarnwick relative to it
// (an installation), never on a search path, so what is loaded is what was
// built or installed with the bridge.
#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

#include "platform/app_shell/app_shell_factories.h"

namespace tarnwick::platform {
namespace {

bool hasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && value[0] != '\0') return true;
  }
  return false;
}

std::string executableDirectory() {
  std::string path(4096, '\0');
  ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<size_t>(length) >= path.size()) return {};
  path.resize(static_cast<size_t>(length));
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

DesktopToolkit* openDesktopToolkit() {
  // Without a display the toolkit could not start anyway; not loading it
  // keeps the headless path as quick as direct mode.
  if (!hasDisplay()) return nullptr;
  std::string directory = executableDirectory();
  if (directory.empty()) return nullptr;
  // Never closed: the toolkit it provides lives for the rest of the process.
  void* module = nullptr;
  for (const char* folder : {"/", "/../lib/tarnwick/"}) {
    std::string modulePath = directory + folder + kDesktopModuleFileName;
    module = ::dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module) break;
  }
  if (!module) return nullptr;
  auto entry = reinterpret_cast<DesktopToolkitEntry>(::dlsym(module, kDesktopModuleEntrySymbol));
  if (!entry) return nullptr;
  return entry(kDesktopToolkitInterfaceVersion);
}

}  // namespace tarnwick::platform
