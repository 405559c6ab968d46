// One thread that runs posted tasks one after another, started by the first
// post. The local store keeps its database on this thread alone and calls
// every handler from it, never from the caller's thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tarnwick::platform::local_store {

class SerialWorker {
 public:
  SerialWorker() = default;
  // Runs the tasks still queued, then joins the thread.
  ~SerialWorker();
  SerialWorker(const SerialWorker&) = delete;
  SerialWorker& operator=(const SerialWorker&) = delete;

  // Queues a task; it runs after every task posted before it.
  void post(std::function<void()> task);

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace tarnwick::platform::local_store
