// The stand-in framework's value classes: types, units, quantities, sources
// and samples. Factories check their arguments the way the platform does and
// raise NSInvalidArgumentException where it would.
#import "internal.h"

#include <map>
#include <string>

#include "health/metric_catalogue.h"

NSString* const HKErrorDomain = @"com.apple.healthkit";
HKQuantityTypeIdentifier const HKQuantityTypeIdentifierStepCount = @"HKQuantityTypeIdentifierStepCount";
HKQuantityTypeIdentifier const HKQuantityTypeIdentifierHeartRate = @"HKQuantityTypeIdentifierHeartRate";
HKQuantityTypeIdentifier const HKQuantityTypeIdentifierHeartRateVariabilitySDNN =
    @"HKQuantityTypeIdentifierHeartRateVariabilitySDNN";
HKQuantityTypeIdentifier const HKQuantityTypeIdentifierBodyMass = @"HKQuantityTypeIdentifierBodyMass";
HKQuantityTypeIdentifier const HKQuantityTypeIdentifierBloodGlucose = @"HKQuantityTypeIdentifierBloodGlucose";
HKCategoryTypeIdentifier const HKCategoryTypeIdentifierSleepAnalysis = @"HKCategoryTypeIdentifierSleepAnalysis";
NSString* const HKSampleSortIdentifierStartDate = @"startDate";
NSString* const HKSampleSortIdentifierEndDate = @"endDate";
NSString* const HKMetadataKeyIndoorWorkout = @"HKIndoorWorkout";
NSString* const HKMetadataKeySyncIdentifier = @"HKMetadataKeySyncIdentifier";
NSString* const HKMetadataKeySyncVersion = @"HKMetadataKeySyncVersion";
NSUInteger const HKObjectQueryNoLimit = 0;

namespace tarnwick::standin {
namespace {

namespace health = tarnwick::health;

// The dimension each quantity type the bridge knows is measured in, as a
// unit of that dimension. Types outside this list accept any unit; their
// store decides at save.
std::optional<health::Unit> dimensionOf(std::string_view identifier) {
  static const std::map<std::string, std::string, std::less<>> units = {
      {"HKQuantityTypeIdentifierStepCount", "count"},
      {"HKQuantityTypeIdentifierHeartRate", "count/min"},
      {"HKQuantityTypeIdentifierHeartRateVariabilitySDNN", "ms"},
      {"HKQuantityTypeIdentifierBodyMass", "kg"},
      {"HKQuantityTypeIdentifierBloodGlucose", "mg/dL"},
  };
  auto found = units.find(identifier);
  if (found == units.end()) return std::nullopt;
  return health::Unit::fromString(found->second);
}

// Whether the framework has a type of this kind with the identifier: the
// types of the bridge's metrics, as the store underneath keeps no others.
bool knowsType(NSString* identifier, health::ObjectKind kind) {
  if (identifier == nil) return false;
  const health::MetricEntry* metric = health::findMetricByTypeIdentifier(toStdString(identifier));
  return metric != nullptr && metric->kind() == kind;
}

[[noreturn]] void raiseInvalidArgument(NSString* reason) {
  [NSException raise:NSInvalidArgumentException format:@"%@", reason];
  __builtin_unreachable();
}

void checkDates(NSDate* start, NSDate* end) {
  if (start == nil || end == nil) raiseInvalidArgument(@"Sample dates must not be nil.");
  if ([end timeIntervalSince1970] < [start timeIntervalSince1970])
    raiseInvalidArgument(@"Sample end date must not be before its start date.");
}

}  // namespace

NSString* toNSString(std::string_view text) {
  return [[[NSString alloc] initWithBytes:text.data() length:text.size() encoding:NSUTF8StringEncoding] autorelease];
}

std::string toStdString(NSString* text) {
  if (text == nil) return {};
  NSData* bytes = [text dataUsingEncoding:NSUTF8StringEncoding];
  return std::string(static_cast<const char*>([bytes bytes]), [bytes length]);
}

}  // namespace tarnwick::standin

using tarnwick::standin::toNSString;
using tarnwick::standin::toStdString;

// ---- Types ----------------------------------------------------------------

@implementation HKObjectType

+ (instancetype)standInTypeWithIdentifier:(NSString*)identifier {
  HKObjectType* type = [[[self alloc] init] autorelease];
  type->identifier_ = [identifier copy];
  return type;
}

+ (HKQuantityType*)quantityTypeForIdentifier:(HKQuantityTypeIdentifier)identifier {
  if (!tarnwick::standin::knowsType(identifier, tarnwick::health::ObjectKind::quantity)) return nil;
  return [HKQuantityType standInTypeWithIdentifier:identifier];
}

+ (HKCategoryType*)categoryTypeForIdentifier:(HKCategoryTypeIdentifier)identifier {
  if (!tarnwick::standin::knowsType(identifier, tarnwick::health::ObjectKind::category)) return nil;
  return [HKCategoryType standInTypeWithIdentifier:identifier];
}

+ (HKWorkoutType*)workoutType {
  return [HKWorkoutType standInTypeWithIdentifier:toNSString(tarnwick::health::kWorkoutTypeIdentifier)];
}

- (NSString*)identifier {
  return identifier_;
}

- (tarnwick::health::ObjectType)standInObjectType {
  using tarnwick::health::ObjectKind;
  ObjectKind kind = [self isKindOfClass:[HKQuantityType class]]   ? ObjectKind::quantity
                    : [self isKindOfClass:[HKCategoryType class]] ? ObjectKind::category
                                                                  : ObjectKind::workout;
  return {kind, toStdString(identifier_)};
}

- (BOOL)isEqual:(id)other {
  return [other isKindOfClass:[HKObjectType class]] && [identifier_ isEqualToString:[other identifier]];
}

- (NSUInteger)hash {
  return [identifier_ hash];
}

- (id)copyWithZone:(NSZone*)zone {
  (void)zone;
  return [self retain];
}

- (void)dealloc {
  [identifier_ release];
  [super dealloc];
}
@end

@implementation HKSampleType
@end

@implementation HKQuantityType
- (BOOL)isCompatibleWithUnit:(HKUnit*)unit {
  auto dimension = tarnwick::standin::dimensionOf(toStdString([self identifier]));
  return !dimension || dimension->isCompatibleWith([unit standInUnit]);
}
@end

@implementation HKCategoryType
@end

@implementation HKWorkoutType
@end

// ---- Units and quantities -------------------------------------------------

@implementation HKUnit

+ (HKUnit*)standInUnitWith:(const tarnwick::health::Unit&)unit {
  HKUnit* made = [[[HKUnit alloc] init] autorelease];
  made->unit_ = new tarnwick::health::Unit(unit);
  return made;
}

+ (instancetype)unitFromString:(NSString*)string {
  auto unit = tarnwick::health::Unit::fromString(toStdString(string));
  if (!unit) tarnwick::standin::raiseInvalidArgument([NSString stringWithFormat:@"Unable to parse unit string '%@'", string]);
  return [self standInUnitWith:*unit];
}

- (NSString*)unitString {
  return toNSString(unit_->unitString());
}

- (const tarnwick::health::Unit&)standInUnit {
  return *unit_;
}

- (BOOL)isEqual:(id)other {
  return [other isKindOfClass:[HKUnit class]] && *unit_ == [other standInUnit];
}

- (NSUInteger)hash {
  return [[self unitString] hash];
}

- (id)copyWithZone:(NSZone*)zone {
  (void)zone;
  return [self retain];
}

- (void)dealloc {
  delete unit_;
  [super dealloc];
}
@end

@implementation HKQuantity

+ (HKQuantity*)standInQuantityWith:(const tarnwick::health::Quantity&)quantity {
  HKQuantity* made = [[[HKQuantity alloc] init] autorelease];
  made->quantity_ = new tarnwick::health::Quantity(quantity);
  return made;
}

+ (instancetype)quantityWithUnit:(HKUnit*)unit doubleValue:(double)value {
  if (unit == nil) tarnwick::standin::raiseInvalidArgument(@"Quantity unit must not be nil.");
  return [self standInQuantityWith:tarnwick::health::Quantity([unit standInUnit], value)];
}

- (BOOL)isCompatibleWithUnit:(HKUnit*)unit {
  return unit != nil && quantity_->isCompatibleWithUnit([unit standInUnit]);
}

- (double)doubleValueForUnit:(HKUnit*)unit {
  if (![self isCompatibleWithUnit:unit])
    tarnwick::standin::raiseInvalidArgument(
        [NSString stringWithFormat:@"Attempt to convert incompatible units: %@, %@",
                                   toNSString(quantity_->unit().unitString()), [unit unitString]]);
  return quantity_->doubleValueForUnit([unit standInUnit]);
}

- (const tarnwick::health::Quantity&)standInQuantity {
  return *quantity_;
}

- (id)copyWithZone:(NSZone*)zone {
  (void)zone;
  return [self retain];
}

- (void)dealloc {
  delete quantity_;
  [super dealloc];
}
@end

// ---- Sources --------------------------------------------------------------

@interface HKSource ()
- (instancetype)initWithName:(NSString*)name;
@end

@implementation HKSource
- (instancetype)initWithName:(NSString*)name {
  if ((self = [super init])) name_ = [name copy];
  return self;
}
- (NSString*)name {
  return name_;
}
- (NSString*)bundleIdentifier {
  return @"";
}
- (void)dealloc {
  [name_ release];
  [super dealloc];
}
@end

@interface HKSourceRevision ()
- (instancetype)initWithSource:(HKSource*)source;
@end

@implementation HKSourceRevision
- (instancetype)initWithSource:(HKSource*)source {
  if ((self = [super init])) source_ = [source retain];
  return self;
}
- (HKSource*)source {
  return source_;
}
- (void)dealloc {
  [source_ release];
  [super dealloc];
}
@end

// ---- Samples --------------------------------------------------------------

@implementation HKObject
- (instancetype)initWithMetadata:(NSDictionary*)metadata sourceName:(NSString*)sourceName {
  if ((self = [super init])) {
    uuid_ = [[NSUUID alloc] init];
    metadata_ = [metadata copy];
    HKSource* source = [[[HKSource alloc] initWithName:sourceName] autorelease];
    revision_ = [[HKSourceRevision alloc] initWithSource:source];
  }
  return self;
}
- (NSUUID*)UUID {
  return uuid_;
}
- (HKSourceRevision*)sourceRevision {
  return revision_;
}
- (NSDictionary*)metadata {
  return metadata_;
}
- (void)dealloc {
  [uuid_ release];
  [metadata_ release];
  [revision_ release];
  [super dealloc];
}
@end

@implementation HKSample
- (instancetype)initWithType:(HKSampleType*)type
                       start:(NSDate*)start
                         end:(NSDate*)end
                    metadata:(NSDictionary*)metadata
                  sourceName:(NSString*)sourceName {
  if ((self = [super initWithMetadata:metadata sourceName:sourceName])) {
    type_ = [type retain];
    start_ = [start retain];
    end_ = [end retain];
  }
  return self;
}
- (HKSampleType*)sampleType {
  return type_;
}
- (NSDate*)startDate {
  return start_;
}
- (NSDate*)endDate {
  return end_;
}
- (void)dealloc {
  [type_ release];
  [start_ release];
  [end_ release];
  [super dealloc];
}
@end

@implementation HKQuantitySample
- (instancetype)initWithType:(HKQuantityType*)type
                    quantity:(HKQuantity*)quantity
                       start:(NSDate*)start
                         end:(NSDate*)end
                    metadata:(NSDictionary*)metadata
                  sourceName:(NSString*)sourceName {
  if ((self = [super initWithType:type start:start end:end metadata:metadata sourceName:sourceName]))
    quantity_ = [quantity retain];
  return self;
}
+ (instancetype)quantitySampleWithType:(HKQuantityType*)quantityType
                              quantity:(HKQuantity*)quantity
                             startDate:(NSDate*)startDate
                               endDate:(NSDate*)endDate {
  return [self quantitySampleWithType:quantityType quantity:quantity startDate:startDate endDate:endDate metadata:nil];
}
+ (instancetype)quantitySampleWithType:(HKQuantityType*)quantityType
                              quantity:(HKQuantity*)quantity
                             startDate:(NSDate*)startDate
                               endDate:(NSDate*)endDate
                              metadata:(NSDictionary*)metadata {
  if (quantityType == nil || quantity == nil)
    tarnwick::standin::raiseInvalidArgument(@"A quantity sample needs a type and a quantity.");
  tarnwick::standin::checkDates(startDate, endDate);
  if (![quantityType isCompatibleWithUnit:[HKUnit standInUnitWith:[quantity standInQuantity].unit()]])
    tarnwick::standin::raiseInvalidArgument([NSString
        stringWithFormat:@"Quantity %@ is not compatible with the type %@",
                         toNSString([quantity standInQuantity].unit().unitString()), [quantityType identifier]]);
  return [[[self alloc] initWithType:quantityType
                            quantity:quantity
                               start:startDate
                                 end:endDate
                            metadata:metadata
                          sourceName:tarnwick::standin::savingSourceName()] autorelease];
}
- (HKQuantityType*)quantityType {
  return (HKQuantityType*)[self sampleType];
}
- (HKQuantity*)quantity {
  return quantity_;
}
- (void)dealloc {
  [quantity_ release];
  [super dealloc];
}
@end

@implementation HKCategorySample
- (instancetype)initWithType:(HKCategoryType*)type
                       value:(NSInteger)value
                       start:(NSDate*)start
                         end:(NSDate*)end
                    metadata:(NSDictionary*)metadata
                  sourceName:(NSString*)sourceName {
  if ((self = [super initWithType:type start:start end:end metadata:metadata sourceName:sourceName])) value_ = value;
  return self;
}
+ (instancetype)categorySampleWithType:(HKCategoryType*)type
                                 value:(NSInteger)value
                             startDate:(NSDate*)startDate
                               endDate:(NSDate*)endDate {
  return [self categorySampleWithType:type value:value startDate:startDate endDate:endDate metadata:nil];
}
+ (instancetype)categorySampleWithType:(HKCategoryType*)type
                                 value:(NSInteger)value
                             startDate:(NSDate*)startDate
                               endDate:(NSDate*)endDate
                              metadata:(NSDictionary*)metadata {
  if (type == nil) tarnwick::standin::raiseInvalidArgument(@"A category sample needs a type.");
  tarnwick::standin::checkDates(startDate, endDate);
  return [[[self alloc] initWithType:type
                               value:value
                               start:startDate
                                 end:endDate
                            metadata:metadata
                          sourceName:tarnwick::standin::savingSourceName()] autorelease];
}
- (HKCategoryType*)categoryType {
  return (HKCategoryType*)[self sampleType];
}
- (NSInteger)value {
  return value_;
}
@end

@implementation HKWorkout
- (instancetype)initWithType:(HKWorkoutType*)type
                activityType:(HKWorkoutActivityType)activityType
                       start:(NSDate*)start
                         end:(NSDate*)end
                    duration:(NSTimeInterval)duration
                      energy:(HKQuantity*)energy
                    distance:(HKQuantity*)distance
                    metadata:(NSDictionary*)metadata
                  sourceName:(NSString*)sourceName {
  if ((self = [super initWithType:type start:start end:end metadata:metadata sourceName:sourceName])) {
    activityType_ = activityType;
    duration_ = duration;
    energy_ = [energy retain];
    distance_ = [distance retain];
  }
  return self;
}
+ (instancetype)workoutWithActivityType:(HKWorkoutActivityType)workoutActivityType
                              startDate:(NSDate*)startDate
                                endDate:(NSDate*)endDate
                               duration:(NSTimeInterval)duration
                      totalEnergyBurned:(HKQuantity*)totalEnergyBurned
                          totalDistance:(HKQuantity*)totalDistance
                               metadata:(NSDictionary*)metadata {
  tarnwick::standin::checkDates(startDate, endDate);
  if (totalEnergyBurned != nil && ![totalEnergyBurned isCompatibleWithUnit:[HKUnit unitFromString:@"kcal"]])
    tarnwick::standin::raiseInvalidArgument(@"Total energy burned must be an energy.");
  if (totalDistance != nil && ![totalDistance isCompatibleWithUnit:[HKUnit unitFromString:@"m"]])
    tarnwick::standin::raiseInvalidArgument(@"Total distance must be a length.");
  return [[[self alloc] initWithType:[HKObjectType workoutType]
                        activityType:workoutActivityType
                               start:startDate
                                 end:endDate
                            duration:duration
                              energy:totalEnergyBurned
                            distance:totalDistance
                            metadata:metadata
                          sourceName:tarnwick::standin::savingSourceName()] autorelease];
}
- (HKWorkoutActivityType)workoutActivityType {
  return activityType_;
}
- (NSTimeInterval)duration {
  return duration_;
}
- (HKQuantity*)totalEnergyBurned {
  return energy_;
}
- (HKQuantity*)totalDistance {
  return distance_;
}
- (void)dealloc {
  [energy_ release];
  [distance_ release];
  [super dealloc];
}
@end

// ---- Conversions for the store -------------------------------------------

namespace tarnwick::standin {
namespace {

NSDictionary* metadataFromStore(const health::Metadata& metadata) {
  NSMutableDictionary* converted = [NSMutableDictionary dictionary];
  for (const auto& [key, value] : metadata) {
    id object = nil;
    if (auto* flag = std::get_if<bool>(&value)) object = [NSNumber numberWithBool:*flag ? YES : NO];
    if (auto* number = std::get_if<double>(&value)) object = [NSNumber numberWithDouble:*number];
    if (auto* text = std::get_if<std::string>(&value)) object = toNSString(*text);
    NSString* name = toNSString(key);
    if (object != nil && name != nil) [converted setObject:object forKey:name];
  }
  return converted;
}

health::Metadata metadataForStore(NSDictionary* metadata) {
  health::Metadata converted;
  for (id key in metadata) {
    id object = [metadata objectForKey:key];
    std::string name = toStdString([key description]);
    if ([object isKindOfClass:[NSString class]]) {
      converted[name] = toStdString(object);
    } else if ([object isKindOfClass:[NSNumber class]]) {
      std::string_view encoding = [object objCType];
      if (encoding == @encode(BOOL) || encoding == "c" || encoding == "B")
        converted[name] = static_cast<bool>([object boolValue]);
      else
        converted[name] = [object doubleValue];
    }
  }
  return converted;
}

NSDate* dateOf(health::Instant instant) { return [NSDate dateWithTimeIntervalSince1970:instant]; }

}  // namespace

NSString* savingSourceName() { return toNSString(health::kBridgeSourceName); }

HKSample* sampleFromStore(const health::Sample& sample) {
  NSString* identifier = toNSString(sample.type.identifier);
  NSDictionary* metadata = metadataFromStore(sample.metadata);
  NSString* source = toNSString(sample.sourceName);
  NSDate* start = dateOf(sample.startDate);
  NSDate* end = dateOf(sample.endDate);
  id made = nil;
  if (auto* quantity = sample.asQuantitySample()) {
    made = [[HKQuantitySample alloc] initWithType:[HKQuantityType standInTypeWithIdentifier:identifier]
                                         quantity:[HKQuantity standInQuantityWith:quantity->quantity]
                                            start:start
                                              end:end
                                         metadata:metadata
                                       sourceName:source];
  } else if (auto* category = sample.asCategorySample()) {
    made = [[HKCategorySample alloc] initWithType:[HKCategoryType standInTypeWithIdentifier:identifier]
                                            value:category->value
                                            start:start
                                              end:end
                                         metadata:metadata
                                       sourceName:source];
  } else if (auto* workout = sample.asWorkout()) {
    HKQuantity* energy =
        workout->totalEnergyBurned ? [HKQuantity standInQuantityWith:*workout->totalEnergyBurned] : nil;
    HKQuantity* distance = workout->totalDistance ? [HKQuantity standInQuantityWith:*workout->totalDistance] : nil;
    made = [[HKWorkout alloc] initWithType:[HKWorkoutType standInTypeWithIdentifier:identifier]
                              activityType:static_cast<HKWorkoutActivityType>(workout->activityType)
                                     start:start
                                       end:end
                                  duration:workout->duration
                                    energy:energy
                                  distance:distance
                                  metadata:metadata
                                sourceName:source];
  }
  return [made autorelease];
}

std::optional<health::Sample> sampleForStore(HKObject* object) {
  if (![object isKindOfClass:[HKSample class]]) return std::nullopt;
  HKSample* sample = (HKSample*)object;
  health::ObjectType type = [[sample sampleType] standInObjectType];
  health::Instant start = [[sample startDate] timeIntervalSince1970];
  health::Instant end = [[sample endDate] timeIntervalSince1970];
  health::Metadata metadata = metadataForStore([sample metadata]);
  if ([sample isKindOfClass:[HKQuantitySample class]]) {
    health::Sample made =
        health::makeQuantitySample(type, [[(HKQuantitySample*)sample quantity] standInQuantity], start, end);
    made.metadata = std::move(metadata);
    return made;
  }
  if ([sample isKindOfClass:[HKCategorySample class]]) {
    health::Sample made =
        health::makeCategorySample(type, static_cast<int>([(HKCategorySample*)sample value]), start, end);
    made.metadata = std::move(metadata);
    return made;
  }
  if ([sample isKindOfClass:[HKWorkout class]]) {
    HKWorkout* workout = (HKWorkout*)sample;
    std::optional<health::Quantity> energy, distance;
    if ([workout totalEnergyBurned]) energy = [[workout totalEnergyBurned] standInQuantity];
    if ([workout totalDistance]) distance = [[workout totalDistance] standInQuantity];
    return health::makeWorkout(type, static_cast<int>([workout workoutActivityType]), start, end, [workout duration],
                               energy, distance, std::move(metadata));
  }
  return std::nullopt;
}

}  // namespace tarnwick::standin
