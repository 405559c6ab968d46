// tarnwick-native: the bridge with the native backend, run over the stand-in
// framework, which runs over the local store at its usual path. Everything
// above the health store and the application object is the bridge itself.
#include "platform/local_store/local_store.h"
#include "shell/tarnwick_main.h"
#include "standin/backing_store.h"

int main(int argc, char** argv) {
  using namespace tarnwick;
  standin::prepareObjectiveCRuntime();
  // The stand-in framework's store lives for the rest of the process, like
  // the bridge's own; the bridge makes its native store on first use, as it
  // does on Apple platforms.
  standin::installBackingStore(platform::local_store::makeDefaultLocalHealthStore().release());
  shell::TarnwickMain::main(argc, argv);
}
