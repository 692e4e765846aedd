// Quenlo and its peers on the four documents of documents.hpp, one process, libraries registered
// in turn so that they alternate:
//
//   read/<document>/<library>         text to a tree; releasing it is not timed. Counters, taken
//                                     once per case: bytes_per_element, the heap the tree keeps
//                                     per element (every value, scalar or container, the
//                                     top-level Array included; keys are not elements), and
//                                     peak_per_retained, the most heap held during the read over
//                                     what the tree keeps
//   write/<document>/<library>        tree to text
//   release/<document>/<library>      releasing a tree read from text
//   scaling/<n>/<library>             reading an Array of n Doubles (the numbers document at n
//                                     elements); time per element
//   heap/one_element_map/<library>    making and releasing a Map of one Long; counters: bytes
//                                     and blocks it holds
//   fresh_write/<document>/<library>  the first write of a process that has read the document and
//                                     done nothing else; it refuses to run after another case, so
//                                     bench/run starts a process for each measurement
//
// Before timing, each case checks its library against the data: the tree read (or, for a write,
// the text written and read back) is walked into JSON and compared with the generator's JSON,
// whose Doubles every parser reads to the same bits; Quenlo's written text is compared with the
// generator's object string byte for byte. A mismatch fails the case.
//
// Only these cases:
//   --benchmark_filter='^(read|write|release|fresh_write)/(records|numbers|text|deep)/|^(scaling|heap)/'
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "bench/allocation_counter.hpp"
#include "bench/documents.hpp"
#include "bench/libraries.hpp"
#include "bench/timing.hpp"

namespace quenlo::bench {
namespace {

constexpr std::array<std::int32_t, 3> kScalingCounts = {100'000, 1'000'000, 10'000'000};

template <class... Library>
struct LibraryList {};

using AllLibraries = LibraryList<QuenloLibrary
#ifdef QUENLO_BENCH_RAPIDJSON
                                 ,
                                 RapidJsonLibrary
#endif
#ifdef QUENLO_BENCH_NLOHMANN
                                 ,
                                 NlohmannLibrary
#endif
#ifdef QUENLO_BENCH_BOOST_JSON
                                 ,
                                 BoostJsonLibrary
#endif
                                 >;

// The libraries of the scaling rows and of the first write in a fresh process.
using QuenloAndRapidJson = LibraryList<QuenloLibrary
#ifdef QUENLO_BENCH_RAPIDJSON
                                       ,
                                       RapidJsonLibrary
#endif
                                       >;

// ---- Checks and heap figures, taken on the first run of a case and reported on every run ------

template <class Measure>
void ReportOnce(benchmark::State& state, const std::string& case_name, Measure measure) {
  static std::map<std::string, benchmark::UserCounters> measured;
  auto found = measured.find(case_name);
  if (found == measured.end()) found = measured.emplace(case_name, measure()).first;
  for (const auto& [name, counter] : found->second) state.counters[name] = counter;
}

template <class Library, class Tree>
void CheckData(const Tree& tree, const std::string& expected_json, std::string_view what) {
  TextSink sink(TextForm::kJson);
  Library::Walk(tree, sink);
  const std::string difference = Difference(sink.Take().text, expected_json);
  if (!difference.empty()) throw std::runtime_error(std::string(what) + " " + difference);
}

// Reads the text once under the allocation counter, then checks what was read.
template <class Library>
benchmark::UserCounters MeasureRead(Document document) {
  const DocumentText& text = CachedDocumentText(document, Library::kForm);
  std::int64_t retained = 0;
  std::int64_t peak = 0;
  auto tree = [&] {
    LiveBytesScope scope;
    auto read = Library::ReadCounted(text.text);
    retained = scope.LiveBytes();
    peak = scope.PeakBytes();
    return read;
  }();
  const double per_element = static_cast<double>(retained) / static_cast<double>(text.elements);
  if (per_element < 1)
    throw std::runtime_error("the allocation counter saw no heap: the library allocates elsewhere");
  CheckData<Library>(tree, CachedDocumentText(document, TextForm::kJson).text, "the tree read");
  return {{"bytes_per_element", per_element},
          {"peak_per_retained", static_cast<double>(peak) / static_cast<double>(retained)},
          {"elements", static_cast<double>(text.elements)}};
}

template <class Library>
void CheckWrite(const typename Library::Tree& tree, Document document) {
  const std::string written = Library::Write(tree);
  if constexpr (Library::kForm == TextForm::kObjectString) {
    const std::string difference = Difference(written, CachedDocumentText(document, Library::kForm).text);
    if (!difference.empty()) throw std::runtime_error("the text written " + difference);
  } else {
    CheckData<Library>(Library::ReadWritten(written), CachedDocumentText(document, TextForm::kJson).text,
                       "the text written reads back as data that");
  }
}

// ---- The tree a write case writes -------------------------------------------------------------

// Built on the first run of a write case and kept for its later runs; one tree at a time, so that
// a large tree does not stay alive under the cases that follow.
struct PreparedTree {
  std::string key;
  std::shared_ptr<void> tree;
};

PreparedTree& Held() {
  static PreparedTree held;
  return held;
}

void DropPreparedTree() {
  Held() = {};
}

template <class Tree, class Make>
const Tree& PreparedTreeFor(const std::string& key, Make make) {
  PreparedTree& held = Held();
  if (held.key != key) {
    DropPreparedTree();
    held.tree = std::make_shared<Tree>(make());
    held.key = key;
  }
  return *static_cast<const Tree*>(held.tree.get());
}

// ---- The cases --------------------------------------------------------------------------------

template <class Library>
auto Reader() {
  return [](std::string_view text) { return Library::Read(text); };
}

template <class Library>
void RegisterRead(const std::string& name, Document document) {
  Register(name, [name, document](benchmark::State& state) {
    DropPreparedTree();
    ReportOnce(state, name, [document] { return MeasureRead<Library>(document); });
    TimeReads(state, CachedDocumentText(document, Library::kForm).text, Reader<Library>());
  })->Unit(benchmark::kMillisecond);
}

template <class Library>
void RegisterWrite(const std::string& name, Document document) {
  Register(name, [name, document](benchmark::State& state) {
    using Tree = typename Library::Tree;
    const Tree& tree = PreparedTreeFor<Tree>(name, [document] { return Library::Build(document); });
    ReportOnce(state, name, [&tree, document] {
      CheckWrite<Library>(tree, document);
      return benchmark::UserCounters{};
    });
    TimeWrites(state, [&tree] { return Library::Write(tree); });
  })->Unit(benchmark::kMillisecond);
}

template <class Library>
void RegisterRelease(const std::string& name, Document document) {
  Register(name,
           [document](benchmark::State& state) {
             DropPreparedTree();
             TimeReleases(state, CachedDocumentText(document, Library::kForm).text, Reader<Library>());
           })
      ->Unit(benchmark::kMillisecond)
      ->Iterations(document == Document::kDeep ? 1 : kReleaseIterations);
}

template <class Library>
void RegisterFreshWrite(const std::string& name, Document document) {
  Register(name,
           [document](benchmark::State& state) {
             if (CasesStarted() != 1)
               throw std::runtime_error("measured only as the first case of a process (bench/run)");
             // The text stays alive: the write may not reuse its pages.
             const auto tree = Library::Read(CachedDocumentText(document, Library::kForm).text);
             TimeWrites(state, [&tree] { return Library::Write(tree); });
           })
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1)
      ->Repetitions(1);
}

const DocumentText& CachedNumbersText(std::int32_t count, TextForm form) {
  static std::map<std::pair<std::int32_t, TextForm>, DocumentText> texts;
  auto found = texts.find({count, form});
  if (found == texts.end()) {
    TextSink sink(form);
    GenerateNumbers(count, sink);
    found = texts.emplace(std::pair{count, form}, sink.Take()).first;
  }
  return found->second;
}

template <class Library>
void RegisterScaling(const std::string& name, std::int32_t count) {
  Register(name, [count](benchmark::State& state) {
    DropPreparedTree();
    const DocumentText& text = CachedNumbersText(count, Library::kForm);
    TimeReads(state, text.text, Reader<Library>());
    state.SetItemsProcessed(state.iterations() * text.elements);
  })->Unit(benchmark::kMillisecond);
}

template <class Library>
void RegisterOneElementMap(const std::string& name) {
  if constexpr (requires { Library::OneElementMap(); }) {
    Register(name, [](benchmark::State& state) {
      {
        LiveBytesScope scope;
        const auto map = Library::OneElementMap();
        state.counters["bytes"] = static_cast<double>(scope.LiveBytes());
        state.counters["blocks"] = static_cast<double>(scope.LiveBlocks());
      }
      for (auto _ : state) benchmark::DoNotOptimize(Library::OneElementMap());
      state.SetItemsProcessed(state.iterations());
    });
  }
}

enum class Job { kRead, kWrite, kRelease, kFreshWrite };
constexpr std::array kTimedJobs = {Job::kRead, Job::kWrite, Job::kRelease};

std::string JobName(Job job) {
  switch (job) {
    case Job::kRead:
      return "read";
    case Job::kWrite:
      return "write";
    case Job::kRelease:
      return "release";
    case Job::kFreshWrite:
      break;
  }
  return "fresh_write";
}

template <class Library>
void RegisterJob(Job job, Document document) {
  const std::string name = JobName(job) + "/" + DocumentName(document) + "/" + Library::kName;
  switch (job) {
    case Job::kRead:
      RegisterRead<Library>(name, document);
      return;
    case Job::kWrite:
      RegisterWrite<Library>(name, document);
      return;
    case Job::kRelease:
      RegisterRelease<Library>(name, document);
      return;
    case Job::kFreshWrite:
      RegisterFreshWrite<Library>(name, document);
      return;
  }
}

template <class... Library>
void RegisterEach(LibraryList<Library...>, Job job, Document document) {
  (RegisterJob<Library>(job, document), ...);
}

template <class... Library>
void RegisterScalingEach(LibraryList<Library...>, std::int32_t count) {
  (RegisterScaling<Library>("scaling/" + std::to_string(count) + "/" + Library::kName, count), ...);
}

template <class... Library>
void RegisterOneElementMapEach(LibraryList<Library...>) {
  (RegisterOneElementMap<Library>(std::string("heap/one_element_map/") + Library::kName), ...);
}

[[maybe_unused]] const bool registered = [] {
  for (const Document document : kDocuments) {
    for (const Job job : kTimedJobs) RegisterEach(AllLibraries{}, job, document);
  }
  for (const std::int32_t count : kScalingCounts) RegisterScalingEach(QuenloAndRapidJson{}, count);
  RegisterOneElementMapEach(AllLibraries{});
  for (const Document document : kDocuments) RegisterEach(QuenloAndRapidJson{}, Job::kFreshWrite, document);
  return true;
}();

}  // namespace
}  // namespace quenlo::bench
