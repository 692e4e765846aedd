// Reading a Map of 100,000 keys chosen to collide in the former hash of Collection keys,
// against 100,000 ordinary keys of the same length. Run the two interleaved:
//   quenlo_bench --benchmark_filter=map_read_keys --benchmark_repetitions=5
//                --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "bench/colliding_keys.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo {
namespace {

constexpr std::size_t kKeyCount = 100'000;
constexpr int kCollidingBits = 15;

const std::string& MapText(bool colliding) {
  static const std::string ordinary = bench::MapTextOf(bench::OrdinaryKeys(kKeyCount));
  static const std::string chosen =
      bench::MapTextOf(bench::KeysCollidingForTheFormerHash(kKeyCount, kCollidingBits));
  return colliding ? chosen : ordinary;
}

void ReadMap(benchmark::State& state, bool colliding) {
  const std::string& text = MapText(colliding);
  for (auto _ : state) {
    TavrixPtr map = Tavrix::Create();
    map->SetObjectString(text);
    benchmark::DoNotOptimize(map.get());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

[[maybe_unused]] const bool kRegistered = [] {
  for (const bool colliding : {false, true}) {
    const std::string subject = colliding ? "/colliding100k/quenlo" : "/ordinary100k/quenlo";
    benchmark::RegisterBenchmark(("map_read_keys" + subject).c_str(), ReadMap, colliding)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
}  // namespace quenlo
