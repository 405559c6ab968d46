// The stand-in framework's queries. Each holds what its initialiser was
// given and, when the store runs it, asks the backing store the same
// question on the store queue and answers its handler from there. Blocks are copied
// with Block_copy: under the gcc runtime they are not Objective-C objects.
#import "internal.h"

#include <Block.h>

#include <utility>
#include <variant>
#include <vector>

#include "store_answers.h"

namespace health = tarnwick::health;
using tarnwick::standin::runOnStoreQueue;

// The predicate predicateForSamplesWithStartDate:endDate:options: makes. It
// only carries the window: the backing store does the matching.
@interface HKStandInSamplePredicate : NSPredicate {
 @public
  health::SamplePredicate window_;
}
@end

@implementation HKStandInSamplePredicate
- (BOOL)evaluateWithObject:(id)object {
  (void)object;
  return YES;
}
- (id)copyWithZone:(NSZone*)zone {
  (void)zone;
  return [self retain];
}
@end

namespace tarnwick::standin {

std::optional<health::SamplePredicate> samplePredicateOf(NSPredicate* predicate) {
  if (![predicate isKindOfClass:[HKStandInSamplePredicate class]]) return std::nullopt;
  return ((HKStandInSamplePredicate*)predicate)->window_;
}

}  // namespace tarnwick::standin

@implementation HKQuery
+ (NSPredicate*)predicateForSamplesWithStartDate:(NSDate*)startDate
                                         endDate:(NSDate*)endDate
                                         options:(HKQueryOptions)options {
  HKStandInSamplePredicate* predicate = [[[HKStandInSamplePredicate alloc] init] autorelease];
  if (startDate != nil) predicate->window_.startDate = [startDate timeIntervalSince1970];
  if (endDate != nil) predicate->window_.endDate = [endDate timeIntervalSince1970];
  predicate->window_.options = static_cast<unsigned>(options);
  return predicate;
}

- (void)standInRunOn:(health::HealthStore*)store {
  (void)store;
  [NSException raise:NSInvalidArgumentException format:@"%@ cannot be executed", [self className]];
}
@end




@implementation HKSampleQuery

- (instancetype)initWithSampleType:(HKSampleType*)sampleType
                         predicate:(NSPredicate*)predicate
                             limit:(NSUInteger)limit
                   sortDescriptors:(NSArray*)sortDescriptors
                    resultsHandler:(void (^)(HKSampleQuery*, NSArray<HKSample*>* _Nullable, NSError* _Nullable))
                                       resultsHandler {
  if (sampleType == nil || resultsHandler == nil)
    [NSException raise:NSInvalidArgumentException format:@"A sample query needs a type and a handler."];
  if ((self = [super init])) {
    type_ = [sampleType retain];
    predicate_ = [predicate retain];
    limit_ = limit;
    sortDescriptors_ = [sortDescriptors copy];
    handler_ = Block_copy(resultsHandler);
  }
  return self;
}

- (void)standInRunOn:(health::HealthStore*)store {
  HKSampleQuery* retained = [self retain];
  if (store == nullptr) {
    runOnStoreQueue([retained] {
      retained->handler_(retained, nil, tarnwick::standin::unavailableError());
      [retained release];
    });
    return;
  }
  health::SampleQuery query;
  query.sampleType = [type_ standInObjectType];
  query.predicate = tarnwick::standin::samplePredicateOf(predicate_);
  query.limit = static_cast<std::int64_t>(limit_);
  for (NSSortDescriptor* descriptor in sortDescriptors_)
    query.sortDescriptors.push_back({tarnwick::standin::toStdString([descriptor key]), [descriptor ascending] == YES});
  runOnStoreQueue([retained, store, query = std::move(query)]() mutable {
    auto answer = tarnwick::standin::askSampleQuery(*store, std::move(query));
    if (auto* error = std::get_if<health::HealthStoreError>(&answer)) {
      retained->handler_(retained, nil, tarnwick::standin::errorFromStore(*error));
    } else {
      NSMutableArray* objects = [NSMutableArray array];
      for (const health::Sample& sample : std::get<std::vector<health::Sample>>(answer)) {
        HKSample* object = tarnwick::standin::sampleFromStore(sample);
        if (object != nil) [objects addObject:object];
      }
      retained->handler_(retained, objects, nil);
    }
    [retained release];
  });
}

- (void)dealloc {
  [type_ release];
  [predicate_ release];
  [sortDescriptors_ release];
  Block_release(handler_);
  [super dealloc];
}
@end

@interface HKStatistics ()
- (instancetype)initWithStatistics:(const health::Statistics&)statistics;
@end

@implementation HKStatistics
- (instancetype)initWithStatistics:(const health::Statistics&)statistics {
  if ((self = [super init])) {
    type_ = [[HKQuantityType standInTypeWithIdentifier:tarnwick::standin::toNSString(statistics.quantityType.identifier)]
        retain];
    if (statistics.startDate) start_ = [[NSDate dateWithTimeIntervalSince1970:*statistics.startDate] retain];
    if (statistics.endDate) end_ = [[NSDate dateWithTimeIntervalSince1970:*statistics.endDate] retain];
    if (statistics.sumQuantity) sum_ = [[HKQuantity standInQuantityWith:*statistics.sumQuantity] retain];
  }
  return self;
}
- (HKQuantityType*)quantityType {
  return type_;
}
- (NSDate*)startDate {
  return start_;
}
- (NSDate*)endDate {
  return end_;
}
- (HKQuantity*)sumQuantity {
  return sum_;
}
- (void)dealloc {
  [type_ release];
  [start_ release];
  [end_ release];
  [sum_ release];
  [super dealloc];
}
@end

@implementation HKStatisticsQuery

- (instancetype)initWithQuantityType:(HKQuantityType*)quantityType
             quantitySamplePredicate:(NSPredicate*)quantitySamplePredicate
                             options:(HKStatisticsOptions)options
                   completionHandler:(void (^)(HKStatisticsQuery*, HKStatistics* _Nullable, NSError* _Nullable))handler {
  if (quantityType == nil || handler == nil)
    [NSException raise:NSInvalidArgumentException format:@"A statistics query needs a type and a handler."];
  if ((self = [super init])) {
    type_ = [quantityType retain];
    predicate_ = [quantitySamplePredicate retain];
    options_ = options;
    handler_ = Block_copy(handler);
  }
  return self;
}

- (void)standInRunOn:(health::HealthStore*)store {
  HKStatisticsQuery* retained = [self retain];
  if (store == nullptr) {
    runOnStoreQueue([retained] {
      retained->handler_(retained, nil, tarnwick::standin::unavailableError());
      [retained release];
    });
    return;
  }
  health::StatisticsQuery query;
  query.quantityType = [type_ standInObjectType];
  query.predicate = tarnwick::standin::samplePredicateOf(predicate_);
  query.options = static_cast<unsigned>(options_);
  runOnStoreQueue([retained, store, query = std::move(query)]() mutable {
    auto answer = tarnwick::standin::askStatisticsQuery(*store, std::move(query));
    if (auto* error = std::get_if<health::HealthStoreError>(&answer)) {
      retained->handler_(retained, nil, tarnwick::standin::errorFromStore(*error));
    } else {
      const auto& statistics = std::get<std::optional<health::Statistics>>(answer);
      HKStatistics* result = statistics ? [[[HKStatistics alloc] initWithStatistics:*statistics] autorelease] : nil;
      retained->handler_(retained, result, nil);
    }
    [retained release];
  });
}

- (void)dealloc {
  [type_ release];
  [predicate_ release];
  Block_release(handler_);
  [super dealloc];
}
@end
