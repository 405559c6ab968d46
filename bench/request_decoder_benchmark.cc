// The request decoder on the two shapes callers send most: the one-line
// status request and a write of many items, whose size grows with the
// caller's backlog.
#include <benchmark/benchmark.h>

#include <string>

#include "protocol/json_codec.h"

namespace {

using tarnwick::protocol::decodeRequestText;

std::string writeRequest(int items) {
  std::string text = R"({"method":"write","sourceMode":"native","items":[)";
  for (int index = 0; index < items; ++index) {
    if (index > 0) text += ',';
    text += R"({"id":"w)" + std::to_string(index) +
            R"(","type":"weight","label":"Weight","value":"72.5","unit":"kg",)"
            R"("startDate":1700000000000,"endDate":1700000000000,"sourceId":"scale"})";
  }
  return text + "]}";
}

void BM_DecodeStatusRequest(benchmark::State& state) {
  const std::string text = R"({"method":"status","sourceMode":"native"})";
  for (auto _ : state) benchmark::DoNotOptimize(decodeRequestText(text));
}
BENCHMARK(BM_DecodeStatusRequest);

void BM_DecodeWriteRequest(benchmark::State& state) {
  const std::string text = writeRequest(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(decodeRequestText(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_DecodeWriteRequest)->Arg(1)->Arg(100)->Arg(1000);

}  // namespace
