// JSON conversion of one object of a million keys against an array of the same million values:
// each direction, and the writing of JSON text, must be linear, the object within 2x the time of
// the array. Run the cases
// interleaved:
//   quenlo_bench --benchmark_filter=json/ --benchmark_repetitions=5
//                --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
#ifdef QUENLO_BENCH_JSON
#include <benchmark/benchmark.h>

#include <string>

#include "quenlo/json.hpp"

namespace quenlo {
namespace {

constexpr int kCount = 1'000'000;

// {"key0":0,"key1":1,...} or [0,1,...].
std::string MakeText(bool object) {
  std::string text(1, object ? '{' : '[');
  for (int i = 0; i < kCount; ++i) {
    if (i > 0) text += ',';
    if (object) text += "\"key" + std::to_string(i) + "\":";
    text += std::to_string(i);
  }
  return text + (object ? '}' : ']');
}

const std::string& Text(bool object) {
  static const std::string array = MakeText(false), map = MakeText(true);
  return object ? map : array;
}

const TavrixPtr& Tree(bool object) {
  static const TavrixPtr array = TreeFromJsonText(Text(false)), map = TreeFromJsonText(Text(true));
  return object ? map : array;
}

const nlohmann::ordered_json& Json(bool object) {
  static const nlohmann::ordered_json array = *Tree(false), map = *Tree(true);
  return object ? map : array;
}

void FromText(benchmark::State& state, bool object) {
  for (auto _ : state) benchmark::DoNotOptimize(TreeFromJsonText(Text(object)));
  state.SetItemsProcessed(state.iterations() * kCount);
}

void FromJson(benchmark::State& state, bool object) {
  for (auto _ : state) benchmark::DoNotOptimize(TreeFromJson(Json(object)));
  state.SetItemsProcessed(state.iterations() * kCount);
}

void ToJson(benchmark::State& state, bool object) {
  for (auto _ : state) benchmark::DoNotOptimize(TreeToOrderedJson(*Tree(object)));
  state.SetItemsProcessed(state.iterations() * kCount);
}

void ToText(benchmark::State& state, bool object) {
  for (auto _ : state) benchmark::DoNotOptimize(TreeToJsonText(*Tree(object)));
  state.SetItemsProcessed(state.iterations() * kCount);
}

BENCHMARK_CAPTURE(FromText, array, false)->Name("json/from_text/array")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FromText, object, true)->Name("json/from_text/object")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FromJson, array, false)->Name("json/from_json/array")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(FromJson, object, true)->Name("json/from_json/object")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ToJson, array, false)->Name("json/to_json/array")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ToJson, object, true)->Name("json/to_json/object")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ToText, array, false)->Name("json/to_text/array")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ToText, object, true)->Name("json/to_text/object")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quenlo
#endif
