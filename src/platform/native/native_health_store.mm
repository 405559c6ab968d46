// health::HealthStore over the framework's HKHealthStore. Every argument the
// framework would raise for is either turned away here or caught, and
// becomes an invalid-argument error (code 3) delivered like any other: on a
// thread of the store's, never on the caller's.
//
// Objective-C++ built for the GNU runtime cannot catch C++ exceptions (its
// personality routine knows only Objective-C ones), so nothing here relies on
// catching them; only Objective-C exceptions are caught, with @try.
#import "platform/native/native_health_store.h"

#import <Foundation/Foundation.h>
#import <HealthKit/HealthKit.h>

#include <functional>
#include <thread>
#include <utility>
#include <vector>

#import "platform/native/health_kit_objects.h"
#include "platform/native/objc_support.h"

namespace tarnwick::platform {
namespace {

using native::errorFrom;
using native::toNSString;

health::HealthStoreError invalidArgument(std::string description) {
  return health::HealthStoreError(health::HealthErrorCode::invalidArgument, description);
}

// The framework calls handlers on its own queue; failures found before a
// call is made must arrive the same way, not on the caller's thread.
void deliverElsewhere(std::function<void()> delivery) { std::thread(std::move(delivery)).detach(); }

std::string reasonOf(NSException* exception) {
  std::string reason = native::toStdString([exception reason]);
  return reason.empty() ? native::toStdString([exception name]) : reason;
}

class NativeHealthStore final : public health::HealthStore {
 public:
  NativeHealthStore() : store_([[HKHealthStore alloc] init]) {}
  ~NativeHealthStore() override { TARNWICK_RELEASE(store_); }

  std::optional<health::ObjectType> quantityTypeForIdentifier(std::string_view identifier) override {
    @autoreleasepool {
      return native::objectTypeFrom(native::sampleTypeFor({health::ObjectKind::quantity, std::string(identifier)}));
    }
  }

  std::optional<health::ObjectType> categoryTypeForIdentifier(std::string_view identifier) override {
    @autoreleasepool {
      return native::objectTypeFrom(native::sampleTypeFor({health::ObjectKind::category, std::string(identifier)}));
    }
  }

  health::ObjectType workoutType() override {
    @autoreleasepool {
      auto type = native::objectTypeFrom([HKObjectType workoutType]);
      return type ? *type : health::ObjectType{health::ObjectKind::workout, std::string(health::kWorkoutTypeIdentifier)};
    }
  }

  std::optional<health::Unit> unitFromString(std::string_view text) override {
    @autoreleasepool {
      return native::unitFrom(native::unitFromText(text));
    }
  }

  void executeSampleQuery(health::SampleQuery query, health::SampleQueryHandler handler) override {
    @autoreleasepool {
      std::string failure;
      HKSampleQuery* platformQuery = makeSampleQuery(query, handler, failure);
      if (platformQuery != nil) {
        failure = execute(platformQuery);
        TARNWICK_RELEASE(platformQuery);
      }
      if (!failure.empty())
        deliverElsewhere([handler, failure] { handler(std::nullopt, invalidArgument(failure)); });
    }
  }

  void executeStatisticsQuery(health::StatisticsQuery query, health::StatisticsHandler handler) override {
    @autoreleasepool {
      std::string failure;
      HKStatisticsQuery* platformQuery = makeStatisticsQuery(query, handler, failure);
      if (platformQuery != nil) {
        failure = execute(platformQuery);
        TARNWICK_RELEASE(platformQuery);
      }
      if (!failure.empty())
        deliverElsewhere([handler, failure] { handler(std::nullopt, invalidArgument(failure)); });
    }
  }

  void requestAuthorization(std::set<health::ObjectType> shareTypes, std::set<health::ObjectType> readTypes,
                            health::CompletionHandler handler) override {
    @autoreleasepool {
      std::string failure;
      NSMutableSet* share = [NSMutableSet setWithCapacity:shareTypes.size()];
      NSMutableSet* read = [NSMutableSet setWithCapacity:readTypes.size()];
      for (const auto* types : {&shareTypes, &readTypes}) {
        for (const health::ObjectType& type : *types) {
          if (!failure.empty()) break;
          HKSampleType* platformType = native::sampleTypeFor(type);
          if (platformType == nil) {
            failure = "The health store does not know the type " + type.identifier + ".";
            break;
          }
          [(types == &shareTypes ? share : read) addObject:platformType];
        }
      }
      if (failure.empty()) {
        @try {
          [store_ requestAuthorizationToShareTypes:share
                                         readTypes:read
                                        completion:^(BOOL success, NSError* error) {
                                          @autoreleasepool {
                                            handler(success == YES,
                                                    error ? std::optional(errorFrom(error)) : std::nullopt);
                                          }
                                        }];
        } @catch (NSException* exception) {
          failure = "The health store refused the permission request: " + reasonOf(exception);
        }
      }
      if (!failure.empty()) deliverElsewhere([handler, failure] { handler(false, invalidArgument(failure)); });
    }
  }

  void saveObjects(std::vector<health::Sample> objects, health::CompletionHandler handler) override {
    @autoreleasepool {
      std::string failure;
      NSMutableArray* platformObjects = [NSMutableArray arrayWithCapacity:objects.size()];
      for (const health::Sample& sample : objects) {
        HKObject* object = native::objectFor(sample, failure);
        if (object == nil) break;
        [platformObjects addObject:object];
      }
      if (failure.empty()) {
        @try {
          [store_ saveObjects:platformObjects
               withCompletion:^(BOOL success, NSError* error) {
                 @autoreleasepool {
                   handler(success == YES, error ? std::optional(errorFrom(error)) : std::nullopt);
                 }
               }];
        } @catch (NSException* exception) {
          failure = "The health store refused the save: " + reasonOf(exception);
        }
      }
      if (!failure.empty()) deliverElsewhere([handler, failure] { handler(false, invalidArgument(failure)); });
    }
  }

 private:
  // Runs a built query; the reason the framework raised, or "".
  std::string execute(HKQuery* query) {
    @try {
      [store_ executeQuery:query];
    } @catch (NSException* exception) {
      return "The health store refused the query: " + reasonOf(exception);
    }
    return {};
  }

  // A retained query, or nil with failure.
  static HKSampleQuery* makeSampleQuery(const health::SampleQuery& query, const health::SampleQueryHandler& handler,
                                        std::string& failure) {
    HKSampleType* type = native::sampleTypeFor(query.sampleType);
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
    NSPredicate* predicate = query.predicate ? native::predicateFor(*query.predicate) : nil;
    // A block captures a C++ reference as a reference; it needs its own copy.
    health::SampleQueryHandler deliver = handler;
    void (^resultsHandler)(HKSampleQuery*, NSArray*, NSError*) = ^(HKSampleQuery*, NSArray* results, NSError* error) {
      @autoreleasepool {
        std::optional<health::HealthStoreError> reported;
        if (error != nil) reported = errorFrom(error);
        std::optional<std::vector<health::Sample>> samples;
        if (results != nil) {
          samples.emplace();
          for (id object in results) {
            std::string unreadable;
            auto sample = [object isKindOfClass:[HKSample class]] ? native::sampleFrom(object, unreadable)
                                                                  : std::nullopt;
            if (sample) samples->push_back(std::move(*sample));
            else if (!reported)
              reported = invalidArgument(unreadable.empty() ? "The health store returned an object that is not a sample."
                                                            : unreadable);
          }
        }
        deliver(std::move(samples), std::move(reported));
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
                                                const health::StatisticsHandler& handler, std::string& failure) {
    HKSampleType* type = native::sampleTypeFor(query.quantityType);
    if (type == nil || ![type isKindOfClass:[HKQuantityType class]]) {
      failure = "The health store has no quantity type " + query.quantityType.identifier + ".";
      return nil;
    }
    health::ObjectType ours = query.quantityType;
    NSPredicate* predicate = query.predicate ? native::predicateFor(*query.predicate) : nil;
    health::StatisticsHandler deliver = handler;
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
            statistics->sumQuantity = native::quantityFrom([result sumQuantity], ours);
            if (!statistics->sumQuantity && !reported)
              reported = invalidArgument("The health store returned a sum in a unit the bridge cannot read.");
          }
        }
        deliver(std::move(statistics), std::move(reported));
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

std::unique_ptr<health::HealthStore> makeNativeHealthStore() {
  @autoreleasepool {
    return std::make_unique<NativeHealthStore>();
  }
}

}  // namespace tarnwick::platform
