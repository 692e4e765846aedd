// Export and Import against writing and reading the same bytes with fwrite and fread, on the
// benchmark document and on a document made mostly of prose. The file bytes are those Export
// writes, so both contenders move the same bytes; what Export and Import add is the text, the
// Windows-1252 conversion and the safe replacement of the file. The object string and the
// conversion are also timed alone.
//
// Its own program, so that it also builds against an older library: by default each case runs
// five times, the repetitions of all cases interleaved in random order, and the median is
// reported (CPU time, as Google Benchmark measures by default).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "bench/document.hpp"
#include "quenlo/files.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo {
namespace {

namespace fs = std::filesystem;

// A Map of 20,000 paragraphs of about 300 characters: ASCII prose with a few accented
// letters, curly quotes, dashes and euro signs, as a text-heavy document holds.
TavrixPtr ProseTree() {
  constexpr int kParagraphs = 20'000;
  constexpr std::string_view kSentences[] = {
      "The caf\u00E9 on the corner serves na\u00EFve espresso for 3 \u20AC and nobody complains.",
      "\u201CKeep the receipt\u201D she said \u2013 the totals never match the ledger anyway.",
      "Shipments leave the warehouse every Tuesday unless the river is frozen again.",
      "R\u00E9sum\u00E9s arrive by post; the clerk files them under the applicant\u2019s surname.",
      "A longer sentence without anything special in it keeps the ASCII runs realistic here."};
  TavrixPtr map = Tavrix::Create();
  map->SetMap();
  for (int index = 0; index < kParagraphs; ++index) {
    std::string paragraph;
    for (int sentence = 0; sentence < 4; ++sentence) {
      if (sentence > 0) paragraph += ' ';
      paragraph += kSentences[static_cast<std::size_t>(index + sentence) % std::size(kSentences)];
    }
    map->Item("p" + std::to_string(index), paragraph);
  }
  return map;
}

struct Document {
  TavrixPtr tree;
  std::string path;        // where Export writes it
  std::string file_bytes;  // what Export writes, for fwrite to write the same
};

std::string Slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

const Document& CachedDocument(std::string_view name) {
  static const std::vector<Document> documents = [] {
    std::vector<Document> made;
    for (const auto& [label, tree] : {std::pair{"bench_document", bench::BuildTree(bench::Shape::kFlat)},
                                      std::pair{"prose", ProseTree()}}) {
      const std::string path =
          (fs::temp_directory_path() / ("quenlo_files_bench_" + std::string(label))).string();
      tree->Export(path);
      made.push_back({tree, path, Slurp(path)});
    }
    return made;
  }();
  return documents[name == "bench_document" ? 0 : 1];
}

// With `flush`, the bytes are also flushed to disk before the file is closed, as Export does
// before it renames its file over the target.
void WriteWithFwrite(const std::string& path, std::string_view bytes, bool flush = false) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot open " + path);
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (flush) written = written && std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
  if (std::fclose(file) != 0 || !written) throw std::runtime_error("cannot write " + path);
}

std::string ReadWithFread(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw std::runtime_error("cannot open " + path);
  std::string bytes;
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
  std::fclose(file);
  return bytes;
}

void CountBytes(benchmark::State& state, const Document& document) {
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(document.file_bytes.size()));
}

void ExportQuenlo(benchmark::State& state, std::string_view name) {
  const Document& document = CachedDocument(name);
  for (auto _ : state) document.tree->Export(document.path + ".out");
  CountBytes(state, document);
}

void ExportFwrite(benchmark::State& state, std::string_view name, bool flush) {
  const Document& document = CachedDocument(name);
  for (auto _ : state) WriteWithFwrite(document.path + ".out", document.file_bytes, flush);
  CountBytes(state, document);
}

// The tree read is released outside the timed part, as a fread buffer is.
void ImportQuenlo(benchmark::State& state, std::string_view name) {
  const Document& document = CachedDocument(name);
  for (auto _ : state) {
    state.PauseTiming();
    TavrixPtr target = Tavrix::Create();
    state.ResumeTiming();
    target->Import(document.path);
    state.PauseTiming();
    target.reset();
    state.ResumeTiming();
  }
  CountBytes(state, document);
}

void ImportFread(benchmark::State& state, std::string_view name) {
  const Document& document = CachedDocument(name);
  for (auto _ : state) benchmark::DoNotOptimize(ReadWithFread(document.path));
  CountBytes(state, document);
}

// The object string alone, written and read, for the share of Export and Import it takes.
void WriteText(benchmark::State& state, std::string_view name) {
  const Document& document = CachedDocument(name);
  for (auto _ : state) benchmark::DoNotOptimize(document.tree->GetObjectString());
  CountBytes(state, document);
}

void ReadText(benchmark::State& state, std::string_view name) {
  const Document& document = CachedDocument(name);
  const std::string text = document.tree->GetObjectString();
  for (auto _ : state) {
    state.PauseTiming();
    TavrixPtr target = Tavrix::Create();
    state.ResumeTiming();
    target->SetObjectString(text);
    state.PauseTiming();
    target.reset();
    state.ResumeTiming();
  }
  CountBytes(state, document);
}

// The Windows-1252 conversion alone, both ways, on the same bytes.
void ToWindows1252(benchmark::State& state, std::string_view name) {
  const Document& document = CachedDocument(name);
  const std::string text = document.tree->GetObjectString();
  for (auto _ : state) benchmark::DoNotOptimize(Utf8ToWindows1252(text));
  CountBytes(state, document);
}

void ToUtf8(benchmark::State& state, std::string_view name) {
  const Document& document = CachedDocument(name);
  for (auto _ : state) benchmark::DoNotOptimize(Windows1252ToUtf8(document.file_bytes));
  CountBytes(state, document);
}

void RegisterCases() {
  for (const std::string name : {"bench_document", "prose"}) {
    benchmark::RegisterBenchmark(("text/" + name + "/get_object_string").c_str(), WriteText, name);
    benchmark::RegisterBenchmark(("text/" + name + "/set_object_string").c_str(), ReadText, name);
    benchmark::RegisterBenchmark(("convert/" + name + "/to_windows1252").c_str(), ToWindows1252, name);
    benchmark::RegisterBenchmark(("convert/" + name + "/to_utf8").c_str(), ToUtf8, name);
    benchmark::RegisterBenchmark(("export/" + name + "/quenlo").c_str(), ExportQuenlo, name);
    benchmark::RegisterBenchmark(("export/" + name + "/fwrite").c_str(), ExportFwrite, name, false);
    benchmark::RegisterBenchmark(("export/" + name + "/fwrite_fsync").c_str(), ExportFwrite, name, true);
    benchmark::RegisterBenchmark(("import/" + name + "/quenlo").c_str(), ImportQuenlo, name);
    benchmark::RegisterBenchmark(("import/" + name + "/fread").c_str(), ImportFread, name);
  }
}

void RemoveScratchFiles() {
  for (const char* name : {"bench_document", "prose"}) {
    const std::string path = CachedDocument(name).path;
    fs::remove(path);
    fs::remove(path + ".out");
  }
}

}  // namespace
}  // namespace quenlo

int main(int argc, char** argv) {
  // Defaults that the command line may override: flags given later win.
  std::vector<char*> arguments = {argv[0]};
  std::string defaults[] = {"--benchmark_repetitions=5", "--benchmark_enable_random_interleaving=true",
                            "--benchmark_report_aggregates_only=true"};
  for (std::string& flag : defaults) arguments.push_back(flag.data());
  for (int index = 1; index < argc; ++index) arguments.push_back(argv[index]);
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) return 1;
  quenlo::RegisterCases();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  quenlo::RemoveScratchFiles();
  return 0;
}
