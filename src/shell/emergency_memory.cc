#include "shell/emergency_memory.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace tarnwick::shell {
namespace {

std::atomic<void*> reserve{nullptr};

void releaseReserveAndFail() {
  if (void* block = reserve.exchange(nullptr)) std::free(block);
  throw std::bad_alloc();
}

}  // namespace

void setAsideEmergencyMemory() {
  // Never touched, so it costs address space only; a limit so tight that
  // even this fails leaves the process without a reserve, not without an
  // answer.
  reserve.store(std::malloc(kEmergencyReserveBytes));
  std::set_new_handler(releaseReserveAndFail);
}

}  // namespace tarnwick::shell
