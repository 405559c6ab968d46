// Samples as JSON Lines, the companion tool's exchange format:
//   {"type":"heart_rate","value":72,"unit":"count/min","start":MS,"end":MS}
//   {"type":"sleep","value":RAW,"start":MS,"end":MS}
//   {"type":"workout","activity":RAW,"start":MS,"end":MS,"duration":SECONDS}
// with metric keys for types, milliseconds since 1970 for times, and an
// optional "source" (and "metadata" object) on any line.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "health/samples.h"

namespace tarnwick::tools {

// A line that cannot become a sample; what() says why.
class SampleLineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The sample one line describes, checked as a save would check it. A
// quantity line without "unit" is in the metric's default unit; a line
// without "end" ends where it starts; a workout without "duration" lasts
// from start to end; a line without "source" gets `defaultSource`. A
// quantity beyond its metric's bound (isWithinBounds) is refused. Throws
// SampleLineError.
health::Sample sampleFromLine(std::string_view line, std::string_view defaultSource);

// One line (no line feed) in the same form, with "source" always and
// "metadata" when the sample has some. Quantities are written in the unit
// the store keeps them in. Throws SampleLineError for a type outside the
// seven metric keys.
std::string lineFromSample(const health::Sample& sample);

}  // namespace tarnwick::tools
