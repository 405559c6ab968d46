#include "platform/local_store/source_merge.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace tarnwick::platform::local_store {
namespace {

using health::Instant;
using Interval = std::pair<Instant, Instant>;

// Sorted, disjoint, non-empty half-open intervals: what the sources ranked
// so far cover.
class Coverage {
 public:
  // How much of [start, end) is covered.
  Instant coveredLength(Instant start, Instant end) const {
    Instant covered = 0;
    for (auto it = firstEndingAfter(start); it != intervals_.end() && it->first < end; ++it) {
      covered += std::min(end, it->second) - std::max(start, it->first);
    }
    return covered;
  }

  // Whether some interval holds `at` (start <= at < end).
  bool covers(Instant at) const {
    auto it = firstEndingAfter(at);
    return it != intervals_.end() && it->first <= at;
  }

  // Adds the intervals of one rank; they only count against lower ranks,
  // so the caller adds them once the whole rank has been counted.
  void add(std::vector<Interval> added) {
    std::vector<Interval> all;
    all.reserve(intervals_.size() + added.size());
    std::sort(added.begin(), added.end());
    std::merge(intervals_.begin(), intervals_.end(), added.begin(), added.end(), std::back_inserter(all));
    intervals_.clear();
    for (const Interval& interval : all) {
      if (!intervals_.empty() && interval.first <= intervals_.back().second) {
        intervals_.back().second = std::max(intervals_.back().second, interval.second);
      } else {
        intervals_.push_back(interval);
      }
    }
  }

 private:
  std::vector<Interval>::const_iterator firstEndingAfter(Instant at) const {
    return std::upper_bound(intervals_.begin(), intervals_.end(), at,
                            [](Instant value, const Interval& interval) { return value < interval.second; });
  }

  std::vector<Interval> intervals_;
};

}  // namespace

double mergedSourceSum(std::vector<RankedAmount> samples) {
  std::stable_sort(samples.begin(), samples.end(),
                   [](const RankedAmount& a, const RankedAmount& b) { return a.rank < b.rank; });
  Coverage coverage;
  double sum = 0;
  for (auto rankStart = samples.begin(); rankStart != samples.end();) {
    auto rankEnd = std::find_if(rankStart, samples.end(),
                                [&](const RankedAmount& sample) { return sample.rank != rankStart->rank; });
    std::vector<Interval> intervals;
    for (auto it = rankStart; it != rankEnd; ++it) {
      Instant duration = it->end - it->start;
      if (duration > 0) {
        // Rounding may make the covered length exceed the duration slightly.
        Instant uncovered = std::max(0.0, duration - coverage.coveredLength(it->start, it->end));
        sum += it->amount * (uncovered / duration);
        intervals.emplace_back(it->start, it->end);
      } else if (!coverage.covers(it->start)) {
        sum += it->amount;
      }
    }
    coverage.add(std::move(intervals));
    rankStart = rankEnd;
  }
  return sum;
}

}  // namespace tarnwick::platform::local_store
