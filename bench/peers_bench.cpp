// Quenlo against the dynamic-document libraries of C++ and the standard containers, in one run
// and on the same logical document (see document.hpp).
//
// Case names are "<group>/<subject>/<implementation>": every case of a group does the same job,
// so bench/run can put each beside the group's reference (RapidJSON for text, the standard
// container for element operations, plain stdio for files).
//   read/<shape>/...     text to a tree (shapes: flat, deep200); releasing it is not timed
//   write/<shape>/...    tree to text
//   release/<shape>/...  releasing a tree read from text
//   ops/<op>/<n>/...     one element operation on a container of n elements (time per operation)
//   file/<op>/...        Export and Import against writing and reading the bytes with stdio
//   memory/<scalars>/... reading an array of scalars; the counter bytes_per_element is the heap
//                        the tree holds per element
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <exception>
#include <filesystem>
#include <map>
#include <numeric>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bench/allocation_counter.hpp"
#include "bench/document.hpp"
#include "bench/libraries.hpp"
#include "bench/timing.hpp"
#include "quenlo/tavrix.hpp"

#ifdef QUENLO_BENCH_SIMDJSON
#include <simdjson.h>
#endif

namespace quenlo::bench {
namespace {

constexpr std::array kShapes = {Shape::kFlat, Shape::kDeep};
constexpr std::array kSizes = {1'000, 1'000'000};
constexpr int kScalarCount = 100'000;

std::string ShapeName(Shape shape) {
  return shape == Shape::kFlat ? "flat" : "deep200";  // 200 nested Maps
}

// ---- The documents, built once on first use --------------------------------------------------

const std::string& CachedObjectString(Shape shape) {
  static const std::array texts = {ObjectStringText(Shape::kFlat), ObjectStringText(Shape::kDeep)};
  return texts[static_cast<std::size_t>(shape)];
}

const std::string& CachedJson(Shape shape) {
  static const std::array texts = {JsonText(Shape::kFlat), JsonText(Shape::kDeep)};
  return texts[static_cast<std::size_t>(shape)];
}

const TavrixPtr& CachedTree(Shape shape) {
  static const std::array trees = {BuildTree(Shape::kFlat), BuildTree(Shape::kDeep)};
  return trees[static_cast<std::size_t>(shape)];
}

// ---- Quenlo ----------------------------------------------------------------------------------

TavrixPtr ReadTavrix(std::string_view text) {
  return QuenloLibrary::Read(text);
}

void RegisterQuenloDocumentCases() {
  for (const Shape shape : kShapes) {
    const std::string shape_name = ShapeName(shape);
    Register("read/" + shape_name + "/quenlo", [shape](benchmark::State& state) {
      const std::string& text = CachedObjectString(shape);
      if (ReadTavrix(text)->Length() == 0) throw std::runtime_error("the document read back empty");
      TimeReads(state, text, ReadTavrix);
    });
    Register("write/" + shape_name + "/quenlo", [shape](benchmark::State& state) {
      const Tavrix& tree = *CachedTree(shape);
      state.SetLabel(Difference(tree.GetObjectString(), CachedObjectString(shape)));
      TimeWrites(state, [&tree] { return tree.GetObjectString(); });
    });
    Register("release/" + shape_name + "/quenlo", [shape](benchmark::State& state) {
      TimeReleases(state, CachedObjectString(shape), ReadTavrix);
    })->Iterations(kReleaseIterations);
  }
  Register("scan/flat/bytes", [](benchmark::State& state) {
    const std::string& text = CachedObjectString(Shape::kFlat);
    for (auto _ : state) benchmark::DoNotOptimize(std::count(text.begin(), text.end(), '\\'));
    CountDocuments(state, text.size());
  });
}

// ---- The peers ---------------------------------------------------------------------------------

#ifdef QUENLO_BENCH_RAPIDJSON
rapidjson::Document ReadRapidJson(std::string_view text) {
  return RapidJsonLibrary::Read(text);
}

void RegisterRapidJsonCases() {
  for (const Shape shape : kShapes) {
    const std::string shape_name = ShapeName(shape);
    Register("read/" + shape_name + "/rapidjson",
             [shape](benchmark::State& state) { TimeReads(state, CachedJson(shape), ReadRapidJson); });
    Register("write/" + shape_name + "/rapidjson", [shape](benchmark::State& state) {
      const rapidjson::Document document = ReadRapidJson(CachedJson(shape));
      TimeWrites(state, [&document] { return RapidJsonLibrary::Write(document); });
    });
    Register("release/" + shape_name + "/rapidjson", [shape](benchmark::State& state) {
      TimeReleases(state, CachedJson(shape), ReadRapidJson);
    })->Iterations(kReleaseIterations);
  }
}
#endif

#ifdef QUENLO_BENCH_NLOHMANN
nlohmann::json ReadNlohmann(std::string_view text) {
  return NlohmannLibrary::Read(text);
}

// nlohmann/json and simdjson read and write the flat document; the deep one is Quenlo's own
// question (RapidJSON's deep figures show what depth costs a peer).
void RegisterNlohmannCases() {
  Register("read/flat/nlohmann",
           [](benchmark::State& state) { TimeReads(state, CachedJson(Shape::kFlat), ReadNlohmann); });
  Register("write/flat/nlohmann", [](benchmark::State& state) {
    const nlohmann::json document = ReadNlohmann(CachedJson(Shape::kFlat));
    TimeWrites(state, [&document] { return document.dump(); });
  });
}
#endif

#ifdef QUENLO_BENCH_SIMDJSON
// simdjson's DOM is read-only and lives in the parser, which is reused as simdjson intends.
void RegisterSimdjsonCases() {
  Register("read/flat/simdjson", [](benchmark::State& state) {
    const simdjson::padded_string text(CachedJson(Shape::kFlat));
    simdjson::dom::parser parser;
    for (auto _ : state) {
      simdjson::dom::element root;
      if (parser.parse(text).get(root) != simdjson::SUCCESS) {
        throw std::runtime_error("simdjson could not parse the document");
      }
      benchmark::DoNotOptimize(root);
    }
    CountDocuments(state, text.size());
  });
  Register("write/flat/simdjson", [](benchmark::State& state) {
    const simdjson::padded_string text(CachedJson(Shape::kFlat));
    simdjson::dom::parser parser;
    const simdjson::dom::element root = parser.parse(text);
    TimeWrites(state, [&root] { return simdjson::to_string(root); });
  });
}
#endif

// ---- Element operations against the standard containers ----------------------------------------

// A step through 0..n-1 that visits every position and jumps far, so large containers are not
// read in cache order.
std::int32_t Stride(std::int32_t n) {
  auto stride = static_cast<std::int32_t>(static_cast<double>(n) * 0.618);
  while (std::gcd(stride, n) != 1) ++stride;
  return stride;
}

// Positions 0..n-1, each `stride` after the one before (modulo n).
class Walk {
 public:
  Walk(std::int32_t n, std::int32_t stride) : n_(n), stride_(stride) {}
  explicit Walk(std::int32_t n) : Walk(n, Stride(n)) {}
  std::int32_t Next() noexcept {
    position_ += stride_;
    if (position_ >= n_) position_ -= n_;
    return position_;
  }

 private:
  std::int32_t n_;
  std::int32_t stride_;
  std::int32_t position_ = 0;
};

TavrixPtr LongArray(std::int32_t n) {
  TavrixPtr array = Tavrix::Create();
  array->SetArray(-1);
  for (std::int32_t i = 0; i < n; ++i) array->AddLast(Variant::Long(i));
  return array;
}

std::vector<Variant> LongVector(std::int32_t n) {
  std::vector<Variant> values;
  for (std::int32_t i = 0; i < n; ++i) values.push_back(Variant::Long(i));
  return values;
}

// A container built once per key and kept for the later runs of its case: Google Benchmark calls
// a case several times, and building 10^6 elements each time would dominate the whole run.
template <class T, class Make>
T& Cached(const std::string& key, Make make) {
  static std::map<std::string, T> cache;
  auto found = cache.find(key);
  if (found == cache.end()) found = cache.emplace(key, make()).first;
  return found->second;
}

const Tavrix& CachedLongArray(std::int32_t n) {
  return *Cached<TavrixPtr>(std::to_string(n), [n] { return LongArray(n); });
}

const std::vector<Variant>& CachedLongVector(std::int32_t n) {
  return Cached<std::vector<Variant>>(std::to_string(n), [n] { return LongVector(n); });
}

// Keys "k0".."k(n-1)" and a container holding the Long i under key i.
template <class Map, class Key>
struct Keyed {
  Map map;
  std::vector<Key> keys;
};

void CountOperations(benchmark::State& state, std::int64_t per_iteration) {
  state.SetItemsProcessed(state.iterations() * per_iteration);
}

void RegisterItemCases(std::int32_t n, const std::string& size) {
  // Far jumps, and in order: the second shows the cost of Item apart from cache misses.
  for (const bool in_order : {false, true}) {
    const std::string op = in_order ? "ops/item_in_order/" : "ops/item_position/";
    const std::int32_t stride = in_order ? 1 : Stride(n);
    Register(op + size + "/quenlo", [n, stride](benchmark::State& state) {
      const Tavrix& array = CachedLongArray(n);
      Walk walk(n, stride);
      for (auto _ : state) benchmark::DoNotOptimize(array.Item(Variant::Long(walk.Next() + 1)));
      CountOperations(state, 1);
    });
    Register(op + size + "/std_vector", [n, stride](benchmark::State& state) {
      const std::vector<Variant>& values = CachedLongVector(n);
      Walk walk(n, stride);
      for (auto _ : state) benchmark::DoNotOptimize(Variant(values[static_cast<std::size_t>(walk.Next())]));
      CountOperations(state, 1);
    });
  }
  Register("ops/item_key/" + size + "/quenlo", [n, size](benchmark::State& state) {
    using TavrixMap = Keyed<TavrixPtr, Variant>;
    const TavrixMap& keyed = Cached<TavrixMap>(size, [n] {
      TavrixMap made{Tavrix::Create(), {}};
      made.map->SetMap();
      for (std::int32_t i = 0; i < n; ++i) {
        made.keys.emplace_back(EntryKey(i));
        made.map->Item(made.keys.back(), Variant::Long(i));
      }
      return made;
    });
    Walk walk(n);
    for (auto _ : state) {
      benchmark::DoNotOptimize(keyed.map->Item(keyed.keys[static_cast<std::size_t>(walk.Next())]));
    }
    CountOperations(state, 1);
  });
  Register("ops/item_key/" + size + "/std_unordered_map", [n, size](benchmark::State& state) {
    using StdMap = Keyed<std::unordered_map<std::string, Variant>, std::string>;
    const StdMap& keyed = Cached<StdMap>(size, [n] {
      StdMap made;
      for (std::int32_t i = 0; i < n; ++i) {
        made.keys.push_back(EntryKey(i));
        made.map.emplace(made.keys.back(), Variant::Long(i));
      }
      return made;
    });
    Walk walk(n);
    for (auto _ : state) {
      const std::string& key = keyed.keys[static_cast<std::size_t>(walk.Next())];
      benchmark::DoNotOptimize(Variant(keyed.map.find(key)->second));
    }
    CountOperations(state, 1);
  });
}

// Fills an empty container with n elements; the time per operation is the fill's over n.
void RegisterAddLastCases(std::int32_t n, const std::string& size) {
  Register("ops/add_last/" + size + "/quenlo", [n](benchmark::State& state) {
    for (auto _ : state) {
      TavrixPtr array = Tavrix::Create();
      array->SetArray(-1);
      for (std::int32_t i = 0; i < n; ++i) array->AddLast(Variant::Long(i));
      state.PauseTiming();
      Discard(std::move(array));
      state.ResumeTiming();
    }
    CountOperations(state, n);
  });
  Register("ops/add_last/" + size + "/std_vector", [n](benchmark::State& state) {
    for (auto _ : state) {
      std::vector<Variant> values;
      for (std::int32_t i = 0; i < n; ++i) values.push_back(Variant::Long(i));
      state.PauseTiming();
      Discard(std::move(values));
      state.ResumeTiming();
    }
    CountOperations(state, n);
  });
}

// One Push and one Pop on a container that holds n elements: two operations per iteration.
void RegisterPushPopCases(std::int32_t n, const std::string& size) {
  for (const bool stack : {true, false}) {
    const std::string op = stack ? "ops/push_pop_stack/" : "ops/push_pop_queue/";
    // Each run leaves its container holding n elements again, so the runs share it.
    Register(op + size + "/quenlo", [n, stack, op, size](benchmark::State& state) {
      Tavrix& container = *Cached<TavrixPtr>(op + size, [n, stack] {
        TavrixPtr made = Tavrix::Create();
        if (stack) {
          made->SetStack();
        } else {
          made->SetQueue();
        }
        for (std::int32_t i = 0; i < n; ++i) made->Push(Variant::Long(i));
        return made;
      });
      std::int32_t next = n;
      for (auto _ : state) {
        container.Push(Variant::Long(next++));
        benchmark::DoNotOptimize(container.Pop());
      }
      CountOperations(state, 2);
    });
    Register(op + size + "/std_deque", [n, stack, op, size](benchmark::State& state) {
      std::deque<Variant>& container = Cached<std::deque<Variant>>(op + size, [n] {
        return std::deque<Variant>(CachedLongVector(n).begin(), CachedLongVector(n).end());
      });
      std::int32_t next = n;
      for (auto _ : state) {
        // Position 1 is where Pop takes from: a Stack pushes there, a Queue at the other end.
        if (stack) {
          container.push_front(Variant::Long(next++));
        } else {
          container.push_back(Variant::Long(next++));
        }
        Variant popped = std::move(container.front());
        container.pop_front();
        benchmark::DoNotOptimize(popped);
      }
      CountOperations(state, 2);
    });
  }
}

// Find of a value that is not there: a scan of all n elements; the time is per element.
void RegisterFindCases(std::int32_t n, const std::string& size) {
  Register("ops/find/" + size + "/quenlo", [n](benchmark::State& state) {
    const Tavrix& array = CachedLongArray(n);
    const Variant absent = Variant::Long(-1);
    for (auto _ : state) {
      if (array.Find(absent) != -1) throw std::runtime_error("Find found a value that is not there");
    }
    CountOperations(state, n);
  });
  Register("ops/find/" + size + "/std_vector", [n](benchmark::State& state) {
    const std::vector<Variant>& values = CachedLongVector(n);
    const Variant absent = Variant::Long(-1);
    for (auto _ : state) benchmark::DoNotOptimize(std::find(values.begin(), values.end(), absent));
    CountOperations(state, n);
  });
}

void RegisterOperationCases() {
  for (const std::int32_t n : kSizes) {
    const std::string size = std::to_string(n);
    RegisterItemCases(n, size);
    RegisterAddLastCases(n, size);
    RegisterPushPopCases(n, size);
    RegisterFindCases(n, size);
  }
}

// ---- Files ----------------------------------------------------------------------------------------

std::string ScratchFile(std::string_view name) {
  return (std::filesystem::temp_directory_path() / ("quenlo_bench_" + std::string(name))).string();
}

void WriteWithStdio(const std::string& path, std::string_view text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot open " + path);
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) throw std::runtime_error("cannot write " + path);
}

std::string ReadWithStdio(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw std::runtime_error("cannot open " + path);
  std::string text;
  char buffer[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  std::fclose(file);
  return text;
}

void RegisterFileCases() {
  Register("file/export/quenlo", [](benchmark::State& state) {
    const Tavrix& tree = *CachedTree(Shape::kFlat);
    const std::string path = ScratchFile("export.qo");
    for (auto _ : state) tree.Export(path);
    CountDocuments(state, std::filesystem::file_size(path));
    std::filesystem::remove(path);
  });
  Register("file/export/stdio", [](benchmark::State& state) {
    const std::string& text = CachedObjectString(Shape::kFlat);
    const std::string path = ScratchFile("stdio.qo");
    for (auto _ : state) WriteWithStdio(path, text);
    CountDocuments(state, text.size());
    std::filesystem::remove(path);
  });
  Register("file/import/quenlo", [](benchmark::State& state) {
    const std::string path = ScratchFile("import.qo");
    WriteWithStdio(path, CachedObjectString(Shape::kFlat));
    for (auto _ : state) {
      TavrixPtr tree = Tavrix::Create();
      tree->Import(path);
      state.PauseTiming();
      Discard(std::move(tree));
      state.ResumeTiming();
    }
    CountDocuments(state, std::filesystem::file_size(path));
    std::filesystem::remove(path);
  });
  Register("file/import/stdio", [](benchmark::State& state) {
    const std::string path = ScratchFile("import_stdio.qo");
    WriteWithStdio(path, CachedObjectString(Shape::kFlat));
    for (auto _ : state) benchmark::DoNotOptimize(ReadWithStdio(path));
    CountDocuments(state, std::filesystem::file_size(path));
    std::filesystem::remove(path);
  });
}

// ---- Memory of a scalar array read from text ------------------------------------------------------

constexpr std::array kScalarKinds = {ScalarKind::kLong, ScalarKind::kDouble, ScalarKind::kShortString,
                                     ScalarKind::kDocumentMix};

std::string ScalarKindName(ScalarKind kind) {
  switch (kind) {
    case ScalarKind::kLong:
      return "long";
    case ScalarKind::kDouble:
      return "double";
    case ScalarKind::kShortString:
      return "short_string";
    case ScalarKind::kDocumentMix:
      break;
  }
  return "document_mix";
}

void SetBytesPerElement(benchmark::State& state, std::int64_t bytes) {
  state.counters["bytes_per_element"] = static_cast<double>(bytes) / kScalarCount;
}

// Reads the array once under the allocation counter, then times reading it.
template <class Parse>
void MeasureScalarArray(benchmark::State& state, const std::string& text, Parse parse) {
  {
    LiveBytesScope scope;
    auto tree = parse(text);
    SetBytesPerElement(state, scope.LiveBytes());
  }
  TimeReads(state, text, parse);
}

void RegisterMemoryCases() {
  // The same Longs appended with AddLast, which stores each under its position's text.
  Register("memory/long_add_last/quenlo", [](benchmark::State& state) {
    {
      LiveBytesScope scope;
      const TavrixPtr array = LongArray(kScalarCount);
      SetBytesPerElement(state, scope.LiveBytes());
    }
    for (auto _ : state) {
      TavrixPtr array = LongArray(kScalarCount);
      state.PauseTiming();
      Discard(std::move(array));
      state.ResumeTiming();
    }
  });
  for (const ScalarKind kind : kScalarKinds) {
    const std::string prefix = "memory/" + ScalarKindName(kind) + "/";
    Register(prefix + "quenlo", [kind](benchmark::State& state) {
      MeasureScalarArray(state, ScalarArrayText(kind, kScalarCount), ReadTavrix);
    });
#ifdef QUENLO_BENCH_NLOHMANN
    Register(prefix + "nlohmann", [kind](benchmark::State& state) {
      MeasureScalarArray(state, ScalarArrayJson(kind, kScalarCount), ReadNlohmann);
    });
#endif
#ifdef QUENLO_BENCH_RAPIDJSON
    // RapidJSON takes its pool from malloc, not operator new: its own count is the pool's size.
    Register(prefix + "rapidjson", [kind](benchmark::State& state) {
      const std::string text = ScalarArrayJson(kind, kScalarCount);
      rapidjson::Document document = ReadRapidJson(text);
      SetBytesPerElement(state, static_cast<std::int64_t>(document.GetAllocator().Capacity()));
      TimeReads(state, text, ReadRapidJson);
    });
#endif
  }
}

[[maybe_unused]] const bool registered = [] {
#ifdef QUENLO_BENCH_RAPIDJSON
  RegisterRapidJsonCases();
#endif
  RegisterQuenloDocumentCases();
#ifdef QUENLO_BENCH_NLOHMANN
  RegisterNlohmannCases();
#endif
#ifdef QUENLO_BENCH_SIMDJSON
  RegisterSimdjsonCases();
#endif
  RegisterOperationCases();
  RegisterFileCases();
  RegisterMemoryCases();
  return true;
}();

}  // namespace
}  // namespace quenlo::bench
