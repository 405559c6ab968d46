// What the stand-in's classes know of each other: the health:: values behind
// each framework object, and the conversions the store needs to hand objects
// to its backing store and back. Not part of the framework's surface.
#pragma once

#import <HealthKit/HealthKit.h>

#include <functional>
#include <optional>
#include <string_view>

#include "health/health_store.h"

@interface HKObjectType (StandIn)
// A type of the receiving class (HKQuantityType, ...) with the identifier.
+ (instancetype)standInTypeWithIdentifier:(NSString*)identifier;
- (tarnwick::health::ObjectType)standInObjectType;
@end

@interface HKUnit (StandIn)
+ (HKUnit*)standInUnitWith:(const tarnwick::health::Unit&)unit;
- (const tarnwick::health::Unit&)standInUnit;
@end

@interface HKQuantity (StandIn)
+ (HKQuantity*)standInQuantityWith:(const tarnwick::health::Quantity&)quantity;
- (const tarnwick::health::Quantity&)standInQuantity;
@end

// The designated initialisers behind the factories, for objects the store
// hands out (no argument checks: the store's samples are valid).
@interface HKObject ()
- (instancetype)initWithMetadata:(NSDictionary*)metadata sourceName:(NSString*)sourceName;
@end
@interface HKSample ()
- (instancetype)initWithType:(HKSampleType*)type
                       start:(NSDate*)start
                         end:(NSDate*)end
                    metadata:(NSDictionary*)metadata
                  sourceName:(NSString*)sourceName;
@end
@interface HKQuantitySample ()
- (instancetype)initWithType:(HKQuantityType*)type
                    quantity:(HKQuantity*)quantity
                       start:(NSDate*)start
                         end:(NSDate*)end
                    metadata:(NSDictionary*)metadata
                  sourceName:(NSString*)sourceName;
@end
@interface HKCategorySample ()
- (instancetype)initWithType:(HKCategoryType*)type
                       value:(NSInteger)value
                       start:(NSDate*)start
                         end:(NSDate*)end
                    metadata:(NSDictionary*)metadata
                  sourceName:(NSString*)sourceName;
@end
@interface HKWorkout ()
- (instancetype)initWithType:(HKWorkoutType*)type
                activityType:(HKWorkoutActivityType)activityType
                       start:(NSDate*)start
                         end:(NSDate*)end
                    duration:(NSTimeInterval)duration
                      energy:(HKQuantity*)energy
                    distance:(HKQuantity*)distance
                    metadata:(NSDictionary*)metadata
                  sourceName:(NSString*)sourceName;
@end

@interface HKQuery (StandIn)
// Runs the query on the backing store; the handler follows on the store
// queue. The receiver stays alive until its handler has run.
- (void)standInRunOn:(tarnwick::health::HealthStore*)store;
@end

namespace tarnwick::standin {

NSString* toNSString(std::string_view text);
std::string toStdString(NSString* text);

// The source the store records for objects this application builds.
NSString* savingSourceName();

// The samples the store hands out, as the framework's objects (autoreleased).
HKSample* sampleFromStore(const health::Sample& sample);
// A framework object as the backing store takes it; nothing for an object
// that did not come from the stand-in's factories.
std::optional<health::Sample> sampleForStore(HKObject* object);

// The window of a predicate made by predicateForSamplesWithStartDate:...;
// nothing for nil or any other predicate.
std::optional<health::SamplePredicate> samplePredicateOf(NSPredicate* predicate);

NSError* errorFromStore(const health::HealthStoreError& error);  // autoreleased
NSError* unavailableError();                                      // autoreleased

// Runs work once on the store's own background thread, in an autorelease
// pool, after everything queued before it.
void runOnStoreQueue(std::function<void()> work);

}  // namespace tarnwick::standin
