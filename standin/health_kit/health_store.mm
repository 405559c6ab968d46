// The stand-in HKHealthStore: asks the backing store every call on a
// background thread of its own and answers from there, as the platform
// answers on its own queue. Argument faults the platform raises for are
// raised here too.
#import "internal.h"

#include <Block.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <variant>
#include <vector>

#include "standin/backing_store.h"
#include "store_answers.h"

namespace tarnwick::standin {
namespace {

std::atomic<health::HealthStore*> installedStore{nullptr};

// One worker for the life of the process, never joined: handlers may still
// be queued when the bridge ends the process.
class StoreQueue {
 public:
  StoreQueue() : worker_([this] { serve(); }) { worker_.detach(); }

  void post(std::function<void()> work) {
    {
      std::lock_guard lock(mutex_);
      queued_.push_back(std::move(work));
    }
    wake_.notify_one();
  }

 private:
  [[noreturn]] void serve() {
    for (;;) {
      std::function<void()> work;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return !queued_.empty(); });
        work = std::move(queued_.front());
        queued_.pop_front();
      }
      @autoreleasepool {
        work();
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queued_;
  std::thread worker_;
};

std::set<health::ObjectType> typesOf(NSSet* types) {
  std::set<health::ObjectType> converted;
  for (id type in types)
    if ([type isKindOfClass:[HKObjectType class]]) converted.insert([type standInObjectType]);
  return converted;
}

}  // namespace

void installBackingStore(health::HealthStore* store) { installedStore.store(store, std::memory_order_release); }

health::HealthStore* backingStore() { return installedStore.load(std::memory_order_acquire); }

void prepareObjectiveCRuntime() {
  @autoreleasepool {
    [NSThread currentThread];
  }
}

void runOnStoreQueue(std::function<void()> work) {
  static StoreQueue* const queue = new StoreQueue;
  queue->post(std::move(work));
}

NSError* errorFromStore(const health::HealthStoreError& error) {
  NSDictionary* info = [NSDictionary dictionaryWithObject:toNSString(error.what()) forKey:NSLocalizedDescriptionKey];
  return [NSError errorWithDomain:toNSString(error.domain()) code:error.code() userInfo:info];
}

NSError* unavailableError() {
  return errorFromStore(
      health::HealthStoreError(health::HealthErrorCode::healthDataUnavailable, "Health data is unavailable."));
}

}  // namespace tarnwick::standin

using tarnwick::standin::runOnStoreQueue;

typedef void (^HKStandInCompletion)(BOOL, NSError*);

namespace {

// Asks the backing store on the store queue and answers the framework's
// completion block from there; the block is released once it has run.
void completeLater(HKStandInCompletion completion, std::function<tarnwick::standin::StoreAnswer<bool>()> ask) {
  HKStandInCompletion copied = Block_copy(completion);
  runOnStoreQueue([copied, ask = std::move(ask)] {
    auto answer = ask();
    if (auto* error = std::get_if<tarnwick::health::HealthStoreError>(&answer)) {
      copied(NO, tarnwick::standin::errorFromStore(*error));
    } else {
      copied(std::get<bool>(answer) ? YES : NO, nil);
    }
    Block_release(copied);
  });
}

void failLater(HKStandInCompletion completion, NSError* error) {
  HKStandInCompletion copied = Block_copy(completion);
  NSError* retained = [error retain];
  runOnStoreQueue([copied, retained] {
    copied(NO, retained);
    [retained release];
    Block_release(copied);
  });
}

}  // namespace

@implementation HKHealthStore

- (void)executeQuery:(HKQuery*)query {
  if (query == nil) [NSException raise:NSInvalidArgumentException format:@"Query must not be nil."];
  [query standInRunOn:tarnwick::standin::backingStore()];
}

- (void)requestAuthorizationToShareTypes:(NSSet*)typesToShare
                               readTypes:(NSSet*)typesToRead
                              completion:(void (^)(BOOL, NSError*))completion {
  if ([typesToShare count] == 0 && [typesToRead count] == 0)
    [NSException raise:NSInvalidArgumentException format:@"Authorization requires at least one type."];
  if (completion == nil) [NSException raise:NSInvalidArgumentException format:@"Completion must not be nil."];
  tarnwick::health::HealthStore* store = tarnwick::standin::backingStore();
  if (store == nullptr) return failLater(completion, tarnwick::standin::unavailableError());
  completeLater(completion, [store, share = tarnwick::standin::typesOf(typesToShare),
                             read = tarnwick::standin::typesOf(typesToRead)] {
    return tarnwick::standin::askAuthorization(*store, share, read);
  });
}

- (void)saveObjects:(NSArray*)objects withCompletion:(void (^)(BOOL, NSError*))completion {
  if (objects == nil || completion == nil)
    [NSException raise:NSInvalidArgumentException format:@"Objects and completion must not be nil."];
  std::vector<tarnwick::health::Sample> samples;
  for (HKObject* object in objects) {
    auto sample = tarnwick::standin::sampleForStore(object);
    if (!sample) [NSException raise:NSInvalidArgumentException format:@"%@ is not a savable object.", object];
    samples.push_back(std::move(*sample));
  }
  tarnwick::health::HealthStore* store = tarnwick::standin::backingStore();
  if (store == nullptr) return failLater(completion, tarnwick::standin::unavailableError());
  completeLater(completion, [store, samples = std::move(samples)] { return tarnwick::standin::askSave(*store, samples); });
}

@end
