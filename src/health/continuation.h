// A one-shot continuation: the bridge's way of waiting for a store handler.
// The waiting thread blocks (no spinning) until the handler, on whatever
// thread the store calls it, resumes it exactly once with a value or an
// error. A second resume is a programming error and throws. awaitStoreCall
// is the one way a store call is waited for.
#pragma once

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "health/health_store.h"

namespace tarnwick::health {

class ContinuationMisuse : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

template <class T>
class Continuation {
 public:
  explicit Continuation(std::string_view label) : state_(std::make_shared<State>(std::string(label))) {}

  // Copies share one state: the handler keeps the state alive after the
  // waiting caller has gone.
  void resume(T value) const { finish(std::move(value)); }
  void resumeThrowing(std::exception_ptr error) const { finish(std::move(error)); }

  // Blocks until resumed; returns the value or rethrows the error.
  T wait() const {
    std::unique_lock lock(state_->mutex);
    state_->resumed.wait(lock, [&] { return state_->outcome.has_value(); });
    if (auto* error = std::get_if<std::exception_ptr>(&*state_->outcome)) std::rethrow_exception(*error);
    return std::move(std::get<T>(*state_->outcome));
  }

 private:
  struct State {
    explicit State(std::string name) : label(std::move(name)) {}
    std::string label;
    std::mutex mutex;
    std::condition_variable resumed;
    std::optional<std::variant<T, std::exception_ptr>> outcome;
  };

  template <class Outcome>
  void finish(Outcome&& outcome) const {
    {
      std::lock_guard lock(state_->mutex);
      if (state_->outcome) throw ContinuationMisuse("continuation '" + state_->label + "' resumed twice");
      state_->outcome.emplace(std::forward<Outcome>(outcome));
    }
    state_->resumed.notify_all();
  }

  std::shared_ptr<State> state_;
};

// Calls start(continuation), which hands the continuation to a store call,
// then waits for it to be resumed.
template <class T, class Start>
T withContinuation(std::string_view label, Start&& start) {
  Continuation<T> continuation(label);
  std::forward<Start>(start)(continuation);
  return continuation.wait();
}

// Makes one store call and waits for its handler. `call(handler)` passes the
// store a handler of (Value, std::optional<HealthStoreError>), the shape of
// every store handler; the error, when there is one, is thrown here
// unchanged, winning over any value delivered with it; otherwise the value is
// returned.
template <class Value, class Call>
Value awaitStoreCall(std::string_view label, Call&& call) {
  return withContinuation<Value>(label, [&](const Continuation<Value>& continuation) {
    // The handler runs on a store thread: it only resumes the waiter.
    std::forward<Call>(call)([continuation](Value value, std::optional<HealthStoreError> error) {
      if (error) {
        continuation.resumeThrowing(std::make_exception_ptr(std::move(*error)));
      } else {
        continuation.resume(std::move(value));
      }
    });
  });
}

}  // namespace tarnwick::health
