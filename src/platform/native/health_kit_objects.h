// Conversions between the bridge's health values and the framework's
// objects. Objective-C++ only. None of them raises and none throws: where the
// framework would raise for an argument, the conversion returns nil or
// nothing and says why in `failure`.
#pragma once

#import <Foundation/Foundation.h>
#import <HealthKit/HealthKit.h>

#include <optional>
#include <string>
#include <string_view>

#include "health/health_store.h"

namespace tarnwick::platform::native {

// nil for bytes that are not UTF-8.
NSString* toNSString(std::string_view text);
// "" for nil.
std::string toStdString(NSString* text);

// The framework's sample type for one of ours, or nil when the framework does
// not know it.
HKSampleType* sampleTypeFor(const health::ObjectType& type);
// Ours for a framework type; nothing for nil.
std::optional<health::ObjectType> objectTypeFrom(HKObjectType* type);

// The framework's unit for a unit text, or nil when it is not one.
HKUnit* unitFromText(std::string_view text);
// Ours for a framework unit; nothing for nil or a unit we cannot read.
std::optional<health::Unit> unitFrom(HKUnit* unit);

// A quantity read in the unit this bridge reads the type in (count, count/min,
// ms, kg, mg/dL for its five metrics); nothing when no such unit fits.
std::optional<health::Quantity> quantityFrom(HKQuantity* quantity, const health::ObjectType& type);

NSPredicate* predicateFor(const health::SamplePredicate& predicate);

NSDictionary* metadataFor(const health::Metadata& metadata);
health::Metadata metadataFrom(NSDictionary* metadata);

// The framework object for a sample to save, or nil with `failure`.
HKObject* objectFor(const health::Sample& sample, std::string& failure);
// Our sample for a framework sample, or nothing with `failure`.
std::optional<health::Sample> sampleFrom(HKSample* sample, std::string& failure);

// The framework's error, domain, code and description unchanged.
health::HealthStoreError errorFrom(NSError* error);

}  // namespace tarnwick::platform::native
