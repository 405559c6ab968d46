// The framework store's calls, each waited for. Every argument the framework
// would raise for is either turned away here or caught, and becomes an
// invalid-argument answer (code 3).
//
// Objective-C++ built for the GNU runtime cannot catch C++ exceptions (its
// personality routine knows only Objective-C ones), so nothing here throws
// or relies on catching them; only Objective-C exceptions are caught, with
// @try.
#import "platform/native/framework_store.h"

#import <Foundation/Foundation.h>
#import <HealthKit/HealthKit.h>

#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#import "platform/native/health_kit_objects.h"
#include "platform/native/objc_support.h"

namespace tarnwick::platform::native {
namespace {

health::HealthStoreError invalidArgument(std::string description) {
  return health::HealthStoreError(health::HealthErrorCode::invalidArgument, description);
}

// Where a call waits for its completion, which the framework runs on its
// own queue. Shared by the waiting call and the completion block, either of
// which may be the last to let go of it.
template <class T>
class Rendezvous {
 public:
  void deliver(Answer<T> answer) {
    {
      std::lock_guard lock(mutex_);
      answer_.emplace(std::move(answer));
    }
    delivered_.notify_all();
  }

  Answer<T> wait() {
    std::unique_lock lock(mutex_);
    delivered_.wait(lock, [&] { return answer_.has_value(); });
    return std::move(*answer_);
  }

 private:
  std::mutex mutex_;
  std::condition_variable delivered_;
  std::optional<Answer<T>> answer_;
};

template <class T>
using Waiter = std::shared_ptr<Rendezvous<T>>;

// A completion's (success, error): the error wins over the flag.
Answer<bool> outcomeOf(BOOL success, NSError* error) {
  if (error != nil) return errorFrom(error);
  return success == YES;
}

std::string reasonOf(NSException* exception) {
  std::string reason = toStdString([exception reason]);
  return reason.empty() ? toStdString([exception name]) : reason;
}

class HealthKitStore final : public FrameworkStore {
 public:
  HealthKitStore() : store_([[HKHealthStore alloc] init]) {}
  ~HealthKitStore() override { TARNWICK_RELEASE(store_); }

  Answer<std::vector<health::Sample>> executeSampleQuery(const health::SampleQuery& query) override {
    return runQuery<std::vector<health::Sample>>(query, makeSampleQuery);
  }

  Answer<std::optional<health::Statistics>> executeStatisticsQuery(const health::StatisticsQuery& query) override {
    return runQuery<std::optional<health::Statistics>>(query, makeStatisticsQuery);
  }

  Answer<bool> requestAuthorization(const std::set<health::ObjectType>& shareTypes,
                                    const std::set<health::ObjectType>& readTypes) override {
    @autoreleasepool {
      NSMutableSet* share = [NSMutableSet setWithCapacity:shareTypes.size()];
      NSMutableSet* read = [NSMutableSet setWithCapacity:readTypes.size()];
      for (const auto* types : {&shareTypes, &readTypes}) {
        for (const health::ObjectType& type : *types) {
          HKSampleType* platformType = sampleTypeFor(type);
          if (platformType == nil) return invalidArgument("The health store does not know the type " + type.identifier + ".");
          [(types == &shareTypes ? share : read) addObject:platformType];
        }
      }
      auto waiter = std::make_shared<Rendezvous<bool>>();
      @try {
        [store_ requestAuthorizationToShareTypes:share
                                       readTypes:read
                                      completion:^(BOOL success, NSError* error) {
                                        @autoreleasepool {
                                          waiter->deliver(outcomeOf(success, error));
                                        }
                                      }];
      } @catch (NSException* exception) {
        return invalidArgument("The health store refused the permission request: " + reasonOf(exception));
      }
      return waiter->wait();
    }
  }

  Answer<bool> saveObjects(const std::vector<health::Sample>& objects) override {
    @autoreleasepool {
      std::string failure;
      NSMutableArray* platformObjects = [NSMutableArray arrayWithCapacity:objects.size()];
      for (const health::Sample& sample : objects) {
        HKObject* object = objectFor(sample, failure);
        if (object == nil) return invalidArgument(failure);
        [platformObjects addObject:object];
      }
      auto waiter = std::make_shared<Rendezvous<bool>>();
      @try {
        [store_ saveObjects:platformObjects
             withCompletion:^(BOOL success, NSError* error) {
               @autoreleasepool {
                 waiter->deliver(outcomeOf(success, error));
               }
             }];
      } @catch (NSException* exception) {
        return invalidArgument("The health store refused the save: " + reasonOf(exception));
      }
      return waiter->wait();
    }
  }

 private:
  // Runs a built query; the reason the framework raised, or "".
  // Makes the platform's query with `make` (its handler hands the answer to
  // the waiter), runs it and waits for that answer; a query that cannot be
  // made or run answers why.
  template <class Value, class Query, class Make>
  Answer<Value> runQuery(const Query& query, Make make) {
    @autoreleasepool {
      auto waiter = std::make_shared<Rendezvous<Value>>();
      std::string failure;
      HKQuery* platformQuery = make(query, waiter, failure);
      if (platformQuery != nil) {
        failure = execute(platformQuery);
        TARNWICK_RELEASE(platformQuery);
      }
      if (!failure.empty()) return invalidArgument(failure);
      return waiter->wait();
    }
  }

  std::string execute(HKQuery* query) {
    @try {
      [store_ executeQuery:query];
    } @catch (NSException* exception) {
      return "The health store refused the query: " + reasonOf(exception);
    }
    return {};
  }

  // A retained query, or nil with failure.
  static HKSampleQuery* makeSampleQuery(const health::SampleQuery& query,
                                        const Waiter<std::vector<health::Sample>>& waiter, std::string& failure) {
    HKSampleType* type = sampleTypeFor(query.sampleType);
    if (type == nil) {
      failure = "The health store does not know the type " + query.sampleType.identifier + ".";
      return nil;
    }
    if (query.limit < 0) {
      failure = "A sample query limit cannot be negative.";
      return nil;
    }
    NSMutableArray* sortDescriptors = [NSMutableArray arrayWithCapacity:query.sortDescriptors.size()];
    for (const health::SortDescriptor& descriptor : query.sortDescriptors) {
      NSString* key = descriptor.key == health::kSampleSortIdentifierStartDate ? HKSampleSortIdentifierStartDate
                      : descriptor.key == health::kSampleSortIdentifierEndDate ? HKSampleSortIdentifierEndDate
                                                                               : toNSString(descriptor.key);
      if (key == nil) {
        failure = "A sort key is not valid text.";
        return nil;
      }
      [sortDescriptors addObject:TARNWICK_AUTORELEASE([[NSSortDescriptor alloc] initWithKey:key
                                                                                  ascending:descriptor.ascending])];
    }
    NSPredicate* predicate = query.predicate ? predicateFor(*query.predicate) : nil;
    // A block captures a C++ reference as a reference; it needs its own copy.
    Waiter<std::vector<health::Sample>> deliver = waiter;
    void (^resultsHandler)(HKSampleQuery*, NSArray*, NSError*) = ^(HKSampleQuery*, NSArray* results, NSError* error) {
      @autoreleasepool {
        std::optional<health::HealthStoreError> reported;
        if (error != nil) reported = errorFrom(error);
        std::vector<health::Sample> samples;
        for (id object in results) {
          std::string unreadable;
          auto sample = [object isKindOfClass:[HKSample class]] ? sampleFrom(object, unreadable) : std::nullopt;
          if (sample) samples.push_back(std::move(*sample));
          else if (!reported)
            reported = invalidArgument(unreadable.empty() ? "The health store returned an object that is not a sample."
                                                          : unreadable);
        }
        if (reported) deliver->deliver(std::move(*reported));
        else deliver->deliver(std::move(samples));
      }
    };
    HKSampleQuery* made = nil;
    @try {
      made = [[HKSampleQuery alloc] initWithSampleType:type
                                             predicate:predicate
                                                 limit:static_cast<NSUInteger>(query.limit)
                                       sortDescriptors:sortDescriptors
                                        resultsHandler:resultsHandler];
    } @catch (NSException* exception) {
      failure = "The health store refused the query: " + reasonOf(exception);
      return nil;
    }
    return made;
  }

  static HKStatisticsQuery* makeStatisticsQuery(const health::StatisticsQuery& query,
                                                const Waiter<std::optional<health::Statistics>>& waiter,
                                                std::string& failure) {
    HKSampleType* type = sampleTypeFor(query.quantityType);
    if (type == nil || ![type isKindOfClass:[HKQuantityType class]]) {
      failure = "The health store has no quantity type " + query.quantityType.identifier + ".";
      return nil;
    }
    health::ObjectType ours = query.quantityType;
    NSPredicate* predicate = query.predicate ? predicateFor(*query.predicate) : nil;
    Waiter<std::optional<health::Statistics>> deliver = waiter;
    void (^completion)(HKStatisticsQuery*, HKStatistics*, NSError*) = ^(HKStatisticsQuery*, HKStatistics* result,
                                                                        NSError* error) {
      @autoreleasepool {
        std::optional<health::HealthStoreError> reported;
        if (error != nil) reported = errorFrom(error);
        std::optional<health::Statistics> statistics;
        if (result != nil) {
          statistics.emplace();
          statistics->quantityType = ours;
          if ([result startDate] != nil) statistics->startDate = [[result startDate] timeIntervalSince1970];
          if ([result endDate] != nil) statistics->endDate = [[result endDate] timeIntervalSince1970];
          if ([result sumQuantity] != nil) {
            statistics->sumQuantity = quantityFrom([result sumQuantity], ours);
            if (!statistics->sumQuantity && !reported)
              reported = invalidArgument("The health store returned a sum in a unit the bridge cannot read.");
          }
        }
        if (reported) deliver->deliver(std::move(*reported));
        else deliver->deliver(std::move(statistics));
      }
    };
    HKStatisticsQuery* made = nil;
    @try {
      made = [[HKStatisticsQuery alloc] initWithQuantityType:(HKQuantityType*)type
                                     quantitySamplePredicate:predicate
                                                     options:static_cast<HKStatisticsOptions>(query.options)
                                           completionHandler:completion];
    } @catch (NSException* exception) {
      failure = "The health store refused the query: " + reasonOf(exception);
      return nil;
    }
    return made;
  }

  HKHealthStore* store_;
};

}  // namespace

std::unique_ptr<FrameworkStore> makeFrameworkStore() {
  @autoreleasepool {
    return std::make_unique<HealthKitStore>();
  }
}

}  // namespace tarnwick::platform::native
