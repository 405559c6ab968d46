#include "shell/emergency_memory.h"

#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tarnwick::shell {
namespace {

std::atomic<void*> reserve{nullptr};

void releaseReserveAndFail() {
  if (void* block = reserve.exchange(nullptr)) std::free(block);
  throw std::bad_alloc();
}

}  // namespace

void setAsideEmergencyMemory() {
#if defined(__GLIBC__)
  // Every thread allocates from the one arena. A thread's own arena first
  // reserves 64 MiB of address space; the store's thread asks for it only at
  // the save, when a large write's samples may already hold most of the
  // limit, and without it each of its allocations becomes a system call.
  mallopt(M_ARENA_MAX, 1);
#endif
  // Never touched, so it costs address space only; a limit so tight that
  // even this fails leaves the process without a reserve, not without an
  // answer.
  reserve.store(std::malloc(kEmergencyReserveBytes));
  std::set_new_handler(releaseReserveAndFail);
}

}  // namespace tarnwick::shell
