// Stand-in for the platform's health framework, for building and running the
// native backend on machines that do not have it. It declares only what the
// backend uses, with the names, selectors, constants and raw values of the
// framework's public declarations, and is implemented over a
// tarnwick::health::HealthStore (see standin/backing_store.h). Objects are
// manually reference counted: the runtime it is built on has no ARC. That
// runtime's object layout is fixed at compile time, so the instance variables
// the platform keeps hidden are declared here, all @private.
#pragma once

#import <Foundation/Foundation.h>

namespace tarnwick::health {
class Unit;
class Quantity;
}  // namespace tarnwick::health

#pragma clang assume_nonnull begin

// ---- Errors ---------------------------------------------------------------

extern NSString* const HKErrorDomain;

typedef NS_ENUM(NSInteger, HKErrorCode) {
  HKNoError = 0,
  HKErrorHealthDataUnavailable = 1,
  HKErrorHealthDataRestricted = 2,
  HKErrorInvalidArgument = 3,
  HKErrorAuthorizationDenied = 4,
  HKErrorAuthorizationNotDetermined = 5,
  HKErrorDatabaseInaccessible = 6,
  HKErrorUserCanceled = 7,
  HKErrorNoData = 11,
  HKErrorDataSizeExceeded = 13,
};

// ---- Identifiers and raw values -------------------------------------------

typedef NSString* HKQuantityTypeIdentifier;
typedef NSString* HKCategoryTypeIdentifier;

extern HKQuantityTypeIdentifier const HKQuantityTypeIdentifierStepCount;
extern HKQuantityTypeIdentifier const HKQuantityTypeIdentifierHeartRate;
extern HKQuantityTypeIdentifier const HKQuantityTypeIdentifierHeartRateVariabilitySDNN;
extern HKQuantityTypeIdentifier const HKQuantityTypeIdentifierBodyMass;
extern HKQuantityTypeIdentifier const HKQuantityTypeIdentifierBloodGlucose;
extern HKCategoryTypeIdentifier const HKCategoryTypeIdentifierSleepAnalysis;

extern NSString* const HKSampleSortIdentifierStartDate;
extern NSString* const HKSampleSortIdentifierEndDate;

extern NSString* const HKMetadataKeyIndoorWorkout;
extern NSString* const HKMetadataKeySyncIdentifier;
extern NSString* const HKMetadataKeySyncVersion;

extern NSUInteger const HKObjectQueryNoLimit;

typedef NS_ENUM(NSInteger, HKCategoryValueSleepAnalysis) {
  HKCategoryValueSleepAnalysisInBed = 0,
  HKCategoryValueSleepAnalysisAsleepUnspecified = 1,
  HKCategoryValueSleepAnalysisAwake = 2,
  HKCategoryValueSleepAnalysisAsleepCore = 3,
  HKCategoryValueSleepAnalysisAsleepDeep = 4,
  HKCategoryValueSleepAnalysisAsleepREM = 5,
};

typedef NS_ENUM(NSUInteger, HKWorkoutActivityType) {
  HKWorkoutActivityTypeCycling = 13,
  HKWorkoutActivityTypeFunctionalStrengthTraining = 20,
  HKWorkoutActivityTypeHiking = 24,
  HKWorkoutActivityTypeRunning = 37,
  HKWorkoutActivityTypeTraditionalStrengthTraining = 50,
  HKWorkoutActivityTypeWalking = 52,
  HKWorkoutActivityTypeYoga = 57,
  HKWorkoutActivityTypeOther = 3000,
};

typedef NS_OPTIONS(NSUInteger, HKQueryOptions) {
  HKQueryOptionNone = 0,
  HKQueryOptionStrictStartDate = 1 << 0,
  HKQueryOptionStrictEndDate = 1 << 1,
};

typedef NS_OPTIONS(NSUInteger, HKStatisticsOptions) {
  HKStatisticsOptionNone = 0,
  HKStatisticsOptionSeparateBySource = 1 << 0,
  HKStatisticsOptionDiscreteAverage = 1 << 1,
  HKStatisticsOptionDiscreteMin = 1 << 2,
  HKStatisticsOptionDiscreteMax = 1 << 3,
  HKStatisticsOptionCumulativeSum = 1 << 4,
};

// ---- Types ----------------------------------------------------------------

@class HKQuantityType, HKCategoryType, HKWorkoutType, HKUnit;

@interface HKObjectType : NSObject <NSCopying> {
 @private
  NSString* identifier_;
}
// Nothing for an identifier the store does not know.
+ (nullable HKQuantityType*)quantityTypeForIdentifier:(HKQuantityTypeIdentifier)identifier;
+ (nullable HKCategoryType*)categoryTypeForIdentifier:(HKCategoryTypeIdentifier)identifier;
+ (HKWorkoutType*)workoutType;
- (NSString*)identifier;
@end

@interface HKSampleType : HKObjectType
@end

@interface HKQuantityType : HKSampleType
- (BOOL)isCompatibleWithUnit:(HKUnit*)unit;
@end

@interface HKCategoryType : HKSampleType
@end

@interface HKWorkoutType : HKSampleType
@end

// ---- Units and quantities -------------------------------------------------

@interface HKUnit : NSObject <NSCopying> {
 @private
  tarnwick::health::Unit* unit_;
}
// Raises NSInvalidArgumentException when the text is not a unit.
+ (instancetype)unitFromString:(NSString*)string;
- (NSString*)unitString;
@end

@interface HKQuantity : NSObject <NSCopying> {
 @private
  tarnwick::health::Quantity* quantity_;
}
+ (instancetype)quantityWithUnit:(HKUnit*)unit doubleValue:(double)value;
- (BOOL)isCompatibleWithUnit:(HKUnit*)unit;
// Raises NSInvalidArgumentException for a unit of other dimensions.
- (double)doubleValueForUnit:(HKUnit*)unit;
@end

// ---- Objects and samples --------------------------------------------------

@interface HKSource : NSObject {
 @private
  NSString* name_;
}
- (NSString*)name;
- (NSString*)bundleIdentifier;
@end

@interface HKSourceRevision : NSObject {
 @private
  HKSource* source_;
}
- (HKSource*)source;
@end

@interface HKObject : NSObject {
 @private
  NSUUID* uuid_;
  NSDictionary* metadata_;
  HKSourceRevision* revision_;
}
- (NSUUID*)UUID;
- (HKSourceRevision*)sourceRevision;
- (nullable NSDictionary<NSString*, id>*)metadata;
@end

@interface HKSample : HKObject {
 @private
  HKSampleType* type_;
  NSDate* start_;
  NSDate* end_;
}
- (HKSampleType*)sampleType;
- (NSDate*)startDate;
- (NSDate*)endDate;
@end

// The factories raise NSInvalidArgumentException when the end comes before
// the start or the quantity does not fit the type, as the platform does.
@interface HKQuantitySample : HKSample {
 @private
  HKQuantity* quantity_;
}
+ (instancetype)quantitySampleWithType:(HKQuantityType*)quantityType
                              quantity:(HKQuantity*)quantity
                             startDate:(NSDate*)startDate
                               endDate:(NSDate*)endDate;
+ (instancetype)quantitySampleWithType:(HKQuantityType*)quantityType
                              quantity:(HKQuantity*)quantity
                             startDate:(NSDate*)startDate
                               endDate:(NSDate*)endDate
                              metadata:(nullable NSDictionary<NSString*, id>*)metadata;
- (HKQuantityType*)quantityType;
- (HKQuantity*)quantity;
@end

@interface HKCategorySample : HKSample {
 @private
  NSInteger value_;
}
+ (instancetype)categorySampleWithType:(HKCategoryType*)type
                                 value:(NSInteger)value
                             startDate:(NSDate*)startDate
                               endDate:(NSDate*)endDate;
+ (instancetype)categorySampleWithType:(HKCategoryType*)type
                                 value:(NSInteger)value
                             startDate:(NSDate*)startDate
                               endDate:(NSDate*)endDate
                              metadata:(nullable NSDictionary<NSString*, id>*)metadata;
- (HKCategoryType*)categoryType;
- (NSInteger)value;
@end

@interface HKWorkout : HKSample {
 @private
  HKWorkoutActivityType activityType_;
  NSTimeInterval duration_;
  HKQuantity* _Nullable energy_;
  HKQuantity* _Nullable distance_;
}
+ (instancetype)workoutWithActivityType:(HKWorkoutActivityType)workoutActivityType
                              startDate:(NSDate*)startDate
                                endDate:(NSDate*)endDate
                               duration:(NSTimeInterval)duration
                      totalEnergyBurned:(nullable HKQuantity*)totalEnergyBurned
                          totalDistance:(nullable HKQuantity*)totalDistance
                               metadata:(nullable NSDictionary<NSString*, id>*)metadata;
- (HKWorkoutActivityType)workoutActivityType;
- (NSTimeInterval)duration;
- (nullable HKQuantity*)totalEnergyBurned;
- (nullable HKQuantity*)totalDistance;
@end

// ---- Queries --------------------------------------------------------------

@interface HKQuery : NSObject
+ (NSPredicate*)predicateForSamplesWithStartDate:(nullable NSDate*)startDate
                                         endDate:(nullable NSDate*)endDate
                                         options:(HKQueryOptions)options;
@end

@interface HKSampleQuery : HKQuery {
 @private
  HKSampleType* type_;
  NSPredicate* _Nullable predicate_;
  NSUInteger limit_;
  NSArray* _Nullable sortDescriptors_;
  void (^handler_)(HKSampleQuery*, NSArray* _Nullable, NSError* _Nullable);
}
- (instancetype)initWithSampleType:(HKSampleType*)sampleType
                         predicate:(nullable NSPredicate*)predicate
                             limit:(NSUInteger)limit
                   sortDescriptors:(nullable NSArray<NSSortDescriptor*>*)sortDescriptors
                    resultsHandler:(void (^)(HKSampleQuery* query, NSArray<HKSample*>* _Nullable results,
                                             NSError* _Nullable error))resultsHandler;
@end

@interface HKStatistics : NSObject {
 @private
  HKQuantityType* type_;
  NSDate* _Nullable start_;
  NSDate* _Nullable end_;
  HKQuantity* _Nullable sum_;
}
- (HKQuantityType*)quantityType;
- (NSDate*)startDate;
- (NSDate*)endDate;
- (nullable HKQuantity*)sumQuantity;
@end

@interface HKStatisticsQuery : HKQuery {
 @private
  HKQuantityType* type_;
  NSPredicate* _Nullable predicate_;
  HKStatisticsOptions options_;
  void (^handler_)(HKStatisticsQuery*, HKStatistics* _Nullable, NSError* _Nullable);
}
- (instancetype)initWithQuantityType:(HKQuantityType*)quantityType
             quantitySamplePredicate:(nullable NSPredicate*)quantitySamplePredicate
                             options:(HKStatisticsOptions)options
                   completionHandler:(void (^)(HKStatisticsQuery* query, HKStatistics* _Nullable result,
                                               NSError* _Nullable error))handler;
@end

// ---- The store ------------------------------------------------------------

// Handlers and completions run once each, on a background thread of the
// store's, never on the caller's.
@interface HKHealthStore : NSObject
- (void)executeQuery:(HKQuery*)query;
// Raises NSInvalidArgumentException when both sets are empty.
- (void)requestAuthorizationToShareTypes:(nullable NSSet<HKSampleType*>*)typesToShare
                               readTypes:(nullable NSSet<HKObjectType*>*)typesToRead
                              completion:(void (^)(BOOL success, NSError* _Nullable error))completion;
- (void)saveObjects:(NSArray<HKObject*>*)objects
     withCompletion:(void (^)(BOOL success, NSError* _Nullable error))completion;
@end

#pragma clang assume_nonnull end
