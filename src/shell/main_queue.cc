#include "shell/main_queue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

namespace tarnwick::shell {
namespace {

struct QueueState {
  std::mutex mutex;
  std::condition_variable ready;
  std::deque<MainQueue::Task> tasks;
  MainQueue::Executor executor;
};

// Never destroyed: worker threads may post while the process ends.
QueueState& state() {
  static QueueState* const queue = new QueueState;
  return *queue;
}

// The process's one queue behind the application object's interface.
class ApplicationMainThreadQueue final : public platform::MainThreadQueue {
 public:
  void post(Task task) override { MainQueue::post(std::move(task)); }
  [[noreturn]] void serveForever() override { MainQueue::serveForever(); }
  void redirect(std::function<void(Task)> executor) override { MainQueue::redirect(std::move(executor)); }
};

}  // namespace

void MainQueue::post(Task task) {
  QueueState& queue = state();
  std::unique_lock lock(queue.mutex);
  if (queue.executor) {
    Executor executor = queue.executor;
    lock.unlock();
    executor(std::move(task));
    return;
  }
  queue.tasks.push_back(std::move(task));
  lock.unlock();
  queue.ready.notify_one();
}

void MainQueue::serveForever() {
  QueueState& queue = state();
  for (;;) {
    std::unique_lock lock(queue.mutex);
    queue.ready.wait(lock, [&] { return !queue.tasks.empty(); });
    Task task = std::move(queue.tasks.front());
    queue.tasks.pop_front();
    lock.unlock();
    task();
  }
}

void MainQueue::redirect(Executor executor) {
  QueueState& queue = state();
  std::deque<Task> pending;
  {
    std::lock_guard lock(queue.mutex);
    queue.executor = executor;
    pending.swap(queue.tasks);
  }
  for (Task& task : pending) executor(std::move(task));
}

platform::MainThreadQueue& MainQueue::forApplication() {
  // Never destroyed, like the queue itself.
  static ApplicationMainThreadQueue* const queue = new ApplicationMainThreadQueue;
  return *queue;
}

}  // namespace tarnwick::shell
