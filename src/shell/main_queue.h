// Work for the main thread. In direct mode the main thread does nothing but
// serve this queue (it must stay free for the application shell's needs and
// keeps the process alive while the request runs on a worker); in
// application-shell mode the shell's event loop serves it instead.
#pragma once

#include <functional>

#include "platform/application.h"

namespace tarnwick::shell {

class MainQueue {
 public:
  using Task = std::function<void()>;
  using Executor = std::function<void(Task)>;

  // Queues task to run on the main thread; returns at once.
  static void post(Task task);

  // Runs queued tasks on the calling (main) thread for the rest of the
  // process's life.
  [[noreturn]] static void serveForever();

  // Hands every later post to executor (an event loop's own queue) and moves
  // what is already queued there.
  static void redirect(Executor executor);

  // This queue as the application object is given it to run with.
  static platform::MainThreadQueue& forApplication();
};

}  // namespace tarnwick::shell
