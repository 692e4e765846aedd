// The object string writer and reader on a flat tree and on a 200-level-deep tree holding the
// same scalars: the cost per byte must not grow with the depth.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "quenlo/tavrix.hpp"

namespace quenlo {
namespace {

constexpr int kScalarCount = 200'000;
constexpr int kDepth = 200;

// The scalars of one array: Longs, Doubles and Strings in turn.
void AddScalars(Tavrix& array, int first, int count) {
  for (int index = first; index < first + count; ++index) {
    switch (index % 3) {
      case 0:
        array.AddLast(Variant::Long(index));
        break;
      case 1:
        array.AddLast(Variant::Double(index * 0.25));
        break;
      default:
        array.AddLast("text " + std::to_string(index));
        break;
    }
  }
}

// One array holding every scalar.
TavrixPtr FlatTree() {
  TavrixPtr array = Tavrix::Create();
  array->SetArray();
  AddScalars(*array, 0, kScalarCount);
  return array;
}

// A chain of kDepth arrays, each holding its share of the scalars and then the next array.
TavrixPtr DeepTree() {
  constexpr int kPerLevel = kScalarCount / kDepth;
  TavrixPtr top = Tavrix::Create();
  top->SetArray();
  TavrixPtr level = top;
  for (int depth = 0; depth < kDepth; ++depth) {
    AddScalars(*level, depth * kPerLevel, kPerLevel);
    if (depth + 1 == kDepth) break;
    TavrixPtr next = Tavrix::Create();
    next->SetArray();
    level->AddLast(next);
    level = next;
  }
  return top;
}

const TavrixPtr& Tree(bool deep) {
  static const TavrixPtr flat = FlatTree();
  static const TavrixPtr chain = DeepTree();
  return deep ? chain : flat;
}

const std::string& Text(bool deep) {
  static const std::string flat = Tree(false)->GetObjectString();
  static const std::string chain = Tree(true)->GetObjectString();
  return deep ? chain : flat;
}

void WriteTree(benchmark::State& state, bool deep) {
  const Tavrix& tree = *Tree(deep);
  for (auto _ : state) {
    std::string text = tree.GetObjectString();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(Text(deep).size()));
}

void ReadTree(benchmark::State& state, bool deep) {
  const std::string& text = Text(deep);
  for (auto _ : state) {
    TavrixPtr tree = Tavrix::Create();
    tree->SetObjectString(text);
    benchmark::DoNotOptimize(tree.get());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

// Named "<group>/<subject>/<implementation>" as the other cases are.
[[maybe_unused]] const bool kRegistered = [] {
  for (const bool deep : {false, true}) {
    const std::string subject = deep ? "/deep200/quenlo" : "/flat/quenlo";
    benchmark::RegisterBenchmark(("serial_write" + subject).c_str(), WriteTree, deep)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("serial_read" + subject).c_str(), ReadTree, deep)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
}  // namespace quenlo
