// tarnwick-native: the bridge with the native backend, run over the stand-in
// framework, which runs over the local store at its usual path. Everything
// above the health store and the application object is the bridge itself.
#include "platform/local_store/local_health_store.h"
#include "platform/native/native_health_store.h"
#include "shell/tarnwick_main.h"
#include "standin/backing_store.h"

int main(int argc, char** argv) {
  using namespace tarnwick;
  standin::prepareObjectiveCRuntime();
  // Both stores live for the rest of the process, like the bridge's own.
  standin::installBackingStore(platform::makeLocalHealthStore(platform::defaultLocalStorePath()).release());
  // This build has no platform store factory of its own (the library's is
  // the local store's), so the native store is put in its place here.
  health::setHealthStoreForTesting(platform::makeNativeHealthStore().release());
  shell::TarnwickMain::main(argc, argv);
}
