// What the cases of the library comparisons share: timing a read, a write or a release of a
// document, and registering a case whose failures end it with a message.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace quenlo::bench {

/// Destroys a value; taking it by value moves the release out of the caller's timed region.
template <class T>
void Discard(T value) {
  benchmark::DoNotOptimize(value);
}

inline void CountDocuments(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
  state.counters["doc_bytes"] = static_cast<double>(bytes);
}

/// Times parse(text); the tree it returns is released with the timer paused.
template <class Parse>
void TimeReads(benchmark::State& state, std::string_view text, Parse parse) {
  for (auto _ : state) {
    auto tree = parse(text);
    benchmark::DoNotOptimize(tree);
    state.PauseTiming();
    Discard(std::move(tree));
    state.ResumeTiming();
  }
  CountDocuments(state, text.size());
}

/// Release cases run this many iterations, set with Iterations(): each iteration reads the tree
/// with the timer paused first, and a release far faster than its read (a pool freed at once)
/// would otherwise run thousands of untimed reads to fill the minimum time.
inline constexpr int kReleaseIterations = 3;

/// Times the release of a tree that parse(text) returns.
template <class Parse>
void TimeReleases(benchmark::State& state, std::string_view text, Parse parse) {
  for (auto _ : state) {
    state.PauseTiming();
    auto tree = parse(text);
    state.ResumeTiming();
    Discard(std::move(tree));
  }
  CountDocuments(state, text.size());
}

/// Times write(); the text it returns is the document's size.
template <class Write>
void TimeWrites(benchmark::State& state, Write write) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text = write();
    bytes = text.size();
    benchmark::DoNotOptimize(text);
  }
  CountDocuments(state, bytes);
}

/// The number of cases registered with Register that have started in this process.
inline int& CasesStarted() {
  static int started = 0;
  return started;
}

/// Registers a case whose failures (a library error, an unexpected result) end it with a message
/// instead of ending the program.
template <class Body>
benchmark::internal::Benchmark* Register(const std::string& name, Body body) {
  return benchmark::RegisterBenchmark(name.c_str(), [body](benchmark::State& state) {
    ++CasesStarted();
    try {
      body(state);
    } catch (const std::exception& error) {
      state.SkipWithError(error.what());
    }
  });
}

/// A label telling where `written` first departs from `expected`; empty when they agree.
inline std::string Difference(const std::string& written, const std::string& expected) {
  if (written == expected) return "";
  const auto first = std::mismatch(written.begin(), written.end(), expected.begin(), expected.end());
  const auto at = static_cast<std::size_t>(first.first - written.begin());
  std::string label = "differs from the reference text at byte ";
  label += std::to_string(at);
  label += ": \"" + written.substr(at, 40) + "\" instead of \"" + expected.substr(at, 40) + "\"";
  return label;
}

}  // namespace quenlo::bench
