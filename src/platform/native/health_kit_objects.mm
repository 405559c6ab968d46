#import "platform/native/health_kit_objects.h"

#include <array>

#include "health/metric_catalogue.h"
#include "platform/native/objc_support.h"

namespace tarnwick::platform::native {
namespace {

NSDate* dateOf(health::Instant instant) { return [NSDate dateWithTimeIntervalSince1970:instant]; }
health::Instant instantOf(NSDate* date) { return [date timeIntervalSince1970]; }

// The framework never says which unit a quantity was saved in; the bridge
// reads each type in one unit of its dimension and converts from there.
std::optional<std::string_view> readingUnitText(std::string_view identifier) {
  const health::MetricEntry* metric = health::findMetricByTypeIdentifier(identifier);
  if (!metric || !metric->quantity) return std::nullopt;
  return metric->quantity->storedUnit.unitString();
}

// For types outside the bridge's five: the first of these the quantity's
// dimension fits.
constexpr std::array<std::string_view, 12> kProbeUnitTexts = {
    "count", "count/min", "ms", "kg", "mg/dL", "m", "L", "kcal", "degC", "mmHg", "m/s", "L/min"};

std::string typeName(const health::ObjectType& type) { return type.identifier; }

}  // namespace

NSString* toNSString(std::string_view text) {
  return TARNWICK_AUTORELEASE([[NSString alloc] initWithBytes:text.data()
                                                       length:text.size()
                                                     encoding:NSUTF8StringEncoding]);
}

std::string toStdString(NSString* text) {
  if (text == nil) return {};
  NSData* bytes = [text dataUsingEncoding:NSUTF8StringEncoding];
  return std::string(static_cast<const char*>([bytes bytes]), [bytes length]);
}

HKSampleType* sampleTypeFor(const health::ObjectType& type) {
  NSString* identifier = toNSString(type.identifier);
  if (identifier == nil) return nil;
  HKSampleType* found = nil;
  @try {
    switch (type.kind) {
      case health::ObjectKind::quantity:
        found = [HKObjectType quantityTypeForIdentifier:identifier];
        break;
      case health::ObjectKind::category:
        found = [HKObjectType categoryTypeForIdentifier:identifier];
        break;
      case health::ObjectKind::workout:
        found = [HKObjectType workoutType];
        break;
    }
  } @catch (NSException* exception) {
    found = nil;
  }
  return found;
}

std::optional<health::ObjectType> objectTypeFrom(HKObjectType* type) {
  if (type == nil) return std::nullopt;
  health::ObjectKind kind = health::ObjectKind::workout;
  if ([type isKindOfClass:[HKQuantityType class]]) kind = health::ObjectKind::quantity;
  else if ([type isKindOfClass:[HKCategoryType class]]) kind = health::ObjectKind::category;
  else if (![type isKindOfClass:[HKWorkoutType class]]) return std::nullopt;
  return health::ObjectType{kind, toStdString([type identifier])};
}

HKUnit* unitFromText(std::string_view text) {
  NSString* string = toNSString(text);
  if (string == nil) return nil;
  // The framework raises for text that is not a unit.
  @try {
    return [HKUnit unitFromString:string];
  } @catch (NSException* exception) {
    return nil;
  }
}

std::optional<health::Unit> unitFrom(HKUnit* unit) {
  if (unit == nil) return std::nullopt;
  return health::Unit::fromString(toStdString([unit unitString]));
}

std::optional<health::Quantity> quantityFrom(HKQuantity* quantity, const health::ObjectType& type) {
  if (quantity == nil) return std::nullopt;
  auto readIn = [&](std::string_view text) -> std::optional<health::Quantity> {
    HKUnit* unit = unitFromText(text);
    auto ours = unitFrom(unit);
    if (unit == nil || !ours || ![quantity isCompatibleWithUnit:unit]) return std::nullopt;
    @try {
      return health::Quantity(*ours, [quantity doubleValueForUnit:unit]);
    } @catch (NSException* exception) {
      return std::nullopt;
    }
  };
  if (auto text = readingUnitText(type.identifier)) return readIn(*text);
  for (std::string_view text : kProbeUnitTexts)
    if (auto read = readIn(text)) return read;
  return std::nullopt;
}

NSPredicate* predicateFor(const health::SamplePredicate& predicate) {
  return [HKQuery predicateForSamplesWithStartDate:predicate.startDate ? dateOf(*predicate.startDate) : nil
                                           endDate:predicate.endDate ? dateOf(*predicate.endDate) : nil
                                           options:static_cast<HKQueryOptions>(predicate.options)];
}

NSDictionary* metadataFor(const health::Metadata& metadata) {
  NSMutableDictionary* converted = [NSMutableDictionary dictionaryWithCapacity:metadata.size()];
  for (const auto& [key, value] : metadata) {
    NSString* name = toNSString(key);
    id object = nil;
    if (auto* flag = std::get_if<bool>(&value)) object = [NSNumber numberWithBool:*flag ? YES : NO];
    else if (auto* number = std::get_if<double>(&value)) object = [NSNumber numberWithDouble:*number];
    else if (auto* text = std::get_if<std::string>(&value)) object = toNSString(*text);
    if (name != nil && object != nil) [converted setObject:object forKey:name];
  }
  return converted;
}

health::Metadata metadataFrom(NSDictionary* metadata) {
  health::Metadata converted;
  for (id key in metadata) {
    if (![key isKindOfClass:[NSString class]]) continue;
    id object = [metadata objectForKey:key];
    if ([object isKindOfClass:[NSString class]]) {
      converted[toStdString(key)] = toStdString(object);
    } else if ([object isKindOfClass:[NSNumber class]]) {
      // Booleans are the numbers made with numberWithBool:, whose encoding is
      // that of BOOL (char or C++ bool depending on the architecture).
      std::string_view encoding = [object objCType];
      bool isFlag = encoding == @encode(BOOL) || encoding == @encode(char) || encoding == @encode(bool);
      if (isFlag) converted[toStdString(key)] = static_cast<bool>([object boolValue]);
      else converted[toStdString(key)] = [object doubleValue];
    }
    // Dates and quantities in metadata have no form in the bridge's values.
  }
  return converted;
}

HKObject* objectFor(const health::Sample& sample, std::string& failure) {
  HKSampleType* type = sampleTypeFor(sample.type);
  if (type == nil) {
    failure = "The health store does not know the type " + typeName(sample.type) + ".";
    return nil;
  }
  NSDictionary* metadata = sample.metadata.empty() ? nil : metadataFor(sample.metadata);
  NSDate* start = dateOf(sample.startDate);
  NSDate* end = dateOf(sample.endDate);
  HKObject* made = nil;
  @try {
    if (auto* quantity = sample.asQuantitySample()) {
      HKUnit* unit = unitFromText(quantity->quantity.unit().unitString());
      if (unit == nil || ![type isKindOfClass:[HKQuantityType class]]) {
        failure = "The health store cannot take the unit " + quantity->quantity.unit().unitString() + " for the type " +
                  typeName(sample.type) + ".";
        return nil;
      }
      HKQuantity* value = [HKQuantity quantityWithUnit:unit doubleValue:quantity->quantity.value()];
      HKQuantityType* quantityType = (HKQuantityType*)type;
      if (metadata == nil)
        made = [HKQuantitySample quantitySampleWithType:quantityType quantity:value startDate:start endDate:end];
      else
        made = [HKQuantitySample quantitySampleWithType:quantityType
                                               quantity:value
                                              startDate:start
                                                endDate:end
                                               metadata:metadata];
    } else if (auto* category = sample.asCategorySample()) {
      if (![type isKindOfClass:[HKCategoryType class]]) {
        failure = "A category value cannot be saved as the type " + typeName(sample.type) + ".";
        return nil;
      }
      HKCategoryType* categoryType = (HKCategoryType*)type;
      if (metadata == nil)
        made = [HKCategorySample categorySampleWithType:categoryType value:category->value startDate:start endDate:end];
      else
        made = [HKCategorySample categorySampleWithType:categoryType
                                                  value:category->value
                                              startDate:start
                                                endDate:end
                                               metadata:metadata];
    } else if (auto* workout = sample.asWorkout()) {
      HKQuantity* energy = nil;
      HKQuantity* distance = nil;
      if (workout->totalEnergyBurned)
        energy = [HKQuantity quantityWithUnit:unitFromText(workout->totalEnergyBurned->unit().unitString())
                                  doubleValue:workout->totalEnergyBurned->value()];
      if (workout->totalDistance)
        distance = [HKQuantity quantityWithUnit:unitFromText(workout->totalDistance->unit().unitString())
                                    doubleValue:workout->totalDistance->value()];
      TARNWICK_ALLOW_DEPRECATED_BEGIN
      made = [HKWorkout workoutWithActivityType:static_cast<HKWorkoutActivityType>(workout->activityType)
                                      startDate:start
                                        endDate:end
                                       duration:workout->duration
                              totalEnergyBurned:energy
                                  totalDistance:distance
                                       metadata:metadata];
      TARNWICK_ALLOW_DEPRECATED_END
    }
  } @catch (NSException* exception) {
    failure = "The health store refused a sample of type " + typeName(sample.type) +
              " as invalid: " + toStdString([exception reason]);
    return nil;
  }
  if (made == nil) failure = "The health store could not build a sample of type " + typeName(sample.type) + ".";
  return made;
}

std::optional<health::Sample> sampleFrom(HKSample* sample, std::string& failure) {
  auto type = objectTypeFrom([sample sampleType]);
  if (!type) {
    failure = "The health store returned a sample of a type the bridge does not know.";
    return std::nullopt;
  }
  health::Instant start = instantOf([sample startDate]);
  health::Instant end = instantOf([sample endDate]);
  std::optional<health::Sample> made;
  if ([sample isKindOfClass:[HKQuantitySample class]]) {
    auto quantity = quantityFrom([(HKQuantitySample*)sample quantity], *type);
    if (!quantity) {
      failure = "The health store returned a " + typeName(*type) + " sample in a unit the bridge cannot read.";
      return std::nullopt;
    }
    made = health::makeQuantitySample(*type, *quantity, start, end);
  } else if ([sample isKindOfClass:[HKCategorySample class]]) {
    made = health::makeCategorySample(*type, static_cast<int>([(HKCategorySample*)sample value]), start, end);
  } else if ([sample isKindOfClass:[HKWorkout class]]) {
    HKWorkout* workout = (HKWorkout*)sample;
    std::optional<health::Quantity> energy, distance;
    TARNWICK_ALLOW_DEPRECATED_BEGIN
    HKQuantity* burned = [workout totalEnergyBurned];
    HKQuantity* covered = [workout totalDistance];
    TARNWICK_ALLOW_DEPRECATED_END
    HKUnit* kilocalorie = unitFromText("kcal");
    HKUnit* meter = unitFromText("m");
    if (burned != nil && [burned isCompatibleWithUnit:kilocalorie])
      energy = health::Quantity(health::Unit::kilocalorie(), [burned doubleValueForUnit:kilocalorie]);
    if (covered != nil && [covered isCompatibleWithUnit:meter])
      distance = health::Quantity(health::Unit::meter(), [covered doubleValueForUnit:meter]);
    made = health::makeWorkout(*type, static_cast<int>([workout workoutActivityType]), start, end,
                               [workout duration], energy, distance, {});
  } else {
    failure = "The health store returned a sample of an unknown kind.";
    return std::nullopt;
  }
  made->metadata = metadataFrom([sample metadata]);
  made->sourceName = toStdString([[[sample sourceRevision] source] name]);
  return made;
}

health::HealthStoreError errorFrom(NSError* error) {
  return health::HealthStoreError(toStdString([error domain]), static_cast<int>([error code]),
                                  toStdString([error localizedDescription]));
}

}  // namespace tarnwick::platform::native
