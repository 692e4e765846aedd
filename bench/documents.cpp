#include "bench/documents.hpp"

#include <charconv>
#include <iterator>
#include <map>
#include <random>
#include <stdexcept>
#include <utility>

namespace quenlo::bench {
namespace {

constexpr std::uint64_t kSeed = 20261206;
constexpr std::int32_t kRecordCount = 100'000;
constexpr std::int32_t kNumberCount = 1'000'000;
constexpr std::int32_t kTextCount = 200'000;
constexpr int kDeepWrappers = 99;  // one-element Maps above each record of the deep document

constexpr std::array<std::string_view, 10> kWords = {"harbour", "copper", "kettle", "lamp",  "garden",
                                                     "shears",  "brass",  "street", "north", "river"};
constexpr std::array<std::string_view, 9> kAccentedWords = {"café",  "Zoë",  "façade", "naïve", "Ångström",
                                                            "crème", "über", "€uro",   "日本"};

// mt19937_64's sequence is fixed by the standard, the standard distributions are not: the
// documents are the same with every standard library.
class Random {
 public:
  Random() : engine_(kSeed) {}
  std::uint64_t Below(std::uint64_t bound) { return engine_() % bound; }
  std::int32_t Between(std::int32_t low, std::int32_t high) {
    return low + static_cast<std::int32_t>(Below(static_cast<std::uint64_t>(high - low) + 1));
  }
  template <std::size_t N>
  std::string_view Pick(const std::array<std::string_view, N>& words) {
    return words[Below(N)];
  }

 private:
  std::mt19937_64 engine_;
};

// The double nearest to significand × 10^exponent, as every parser reads it.
double DecimalDouble(std::int64_t significand, int exponent) {
  const std::string text = std::to_string(significand) + "e" + std::to_string(exponent);
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// The fields come in key order: nlohmann/json keeps a Map's keys sorted, the other libraries in
// the order they were added.
void EmitRecord(Random& random, std::int32_t i, DocumentSink& sink) {
  sink.BeginMap();
  sink.Key("active");
  sink.Boolean(i % 3 == 0);
  sink.Key("city");
  sink.String(random.Pick(kWords));
  sink.Key("count");
  sink.Long(40'000 + random.Between(0, 999'999));
  sink.Key("id");
  sink.Long(100'000 + i);
  sink.Key("name");
  sink.String(random.Pick(kWords));
  sink.Key("price");
  sink.Double(DecimalDouble(random.Between(1, 9'999'999), -2));
  sink.Key("ratio");
  sink.Double(DecimalDouble(random.Between(0, 999'999), -6));
  sink.Key("tags");
  sink.BeginArray();
  for (int tag = 0; tag < 3; ++tag) sink.String(random.Pick(kWords));
  sink.End();
  sink.End();
}

void GenerateRecords(int wrappers, DocumentSink& sink) {
  Random random;
  sink.BeginArray();
  for (std::int32_t i = 0; i < kRecordCount; ++i) {
    for (int level = 0; level < wrappers; ++level) {
      sink.BeginMap();
      sink.Key("r");
    }
    EmitRecord(random, i, sink);
    for (int level = 0; level < wrappers; ++level) sink.End();
  }
  sink.End();
}

// A significand of 1 to 9 digits whose last digit is not 0, so that its shortest text keeps
// these digits and the exponent stays within -15..15.
double RandomNumber(Random& random) {
  const int digits = random.Between(1, 9);
  std::int32_t smallest = 1;
  for (int digit = 1; digit < digits; ++digit) smallest *= 10;
  std::int32_t significand = random.Between(smallest, smallest * 10 - 1);
  if (significand % 10 == 0) significand += random.Between(1, 9);
  return DecimalDouble(significand, random.Between(-15, 15));
}

// Appends the characters (code points) of `word` until the text holds `length` characters.
void AppendCharacters(std::string& text, std::size_t& characters, std::size_t length, std::string_view word) {
  for (const char byte : word) {
    const bool starts_character = (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    if (starts_character && characters == length) return;
    if (starts_character) ++characters;
    text += byte;
  }
}

// Words separated by spaces, 20 to 200 characters; the first word of every eighth text has
// non-ASCII characters. A text never ends with a space: a Map or sequence would not keep it.
std::string RandomText(Random& random, std::int32_t i) {
  const auto length = static_cast<std::size_t>(random.Between(20, 200));
  std::string text;
  std::size_t characters = 0;
  while (characters < length) {
    if (!text.empty()) AppendCharacters(text, characters, length, " ");
    const bool accented = i % 8 == 0 && text.empty();
    AppendCharacters(text, characters, length, accented ? random.Pick(kAccentedWords) : random.Pick(kWords));
  }
  if (text.back() == ' ') text.back() = '.';
  return text;
}

bool IsJson(TextForm form) {
  return form == TextForm::kJson;
}

}  // namespace

std::string DocumentName(Document document) {
  switch (document) {
    case Document::kRecords:
      return "records";
    case Document::kNumbers:
      return "numbers";
    case Document::kText:
      return "text";
    case Document::kDeep:
      break;
  }
  return "deep";
}

void GenerateNumbers(std::int32_t count, DocumentSink& sink) {
  Random random;
  sink.BeginArray();
  for (std::int32_t i = 0; i < count; ++i) sink.Double(RandomNumber(random));
  sink.End();
}

void Generate(Document document, DocumentSink& sink) {
  switch (document) {
    case Document::kRecords:
      GenerateRecords(0, sink);
      return;
    case Document::kNumbers:
      GenerateNumbers(kNumberCount, sink);
      return;
    case Document::kText: {
      Random random;
      sink.BeginArray();
      for (std::int32_t i = 0; i < kTextCount; ++i) sink.String(RandomText(random, i));
      sink.End();
      return;
    }
    case Document::kDeep:
      GenerateRecords(kDeepWrappers, sink);
      return;
  }
}

std::string ObjectStringDouble(double value) {
  char buffer[64];
  const auto scientific = std::to_chars(buffer, std::end(buffer), value, std::chars_format::scientific);
  std::string text(buffer, scientific.ptr);
  const auto e = text.find('e');
  int exponent = 0;
  std::from_chars(text.data() + e + 2, text.data() + text.size(), exponent);
  if (text[e + 1] == '-') exponent = -exponent;
  if (exponent < -4 || exponent > 14) {
    text[e] = 'E';  // to_chars already gives a sign and at least two exponent digits
    return text;
  }
  const auto fixed = std::to_chars(buffer, std::end(buffer), value, std::chars_format::fixed);
  return std::string(buffer, fixed.ptr);
}

void TextSink::BeginValue() {
  ++elements_;
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (!first_in_container_) out_ += IsJson(form_) ? "," : ", ";
  first_in_container_ = false;
}

void TextSink::Open(char mark) {
  BeginValue();
  if (!IsJson(form_)) out_ += "\\11000\\";
  out_ += mark;
  closing_marks_ += mark == '{' ? '}' : ']';
  first_in_container_ = true;
}

void TextSink::BeginMap() {
  Open('{');
}

void TextSink::BeginArray() {
  Open('[');
}

void TextSink::End() {
  out_ += closing_marks_.back();
  closing_marks_.pop_back();
  first_in_container_ = false;
}

void TextSink::Key(std::string_view key) {
  if (!first_in_container_) out_ += IsJson(form_) ? "," : ", ";
  first_in_container_ = false;
  if (IsJson(form_)) out_ += '"';
  out_ += key;
  out_ += IsJson(form_) ? "\":" : ": ";
  after_key_ = true;
}

void TextSink::Long(std::int32_t value) {
  BeginValue();
  if (!IsJson(form_)) out_ += "\\3\\";
  out_ += std::to_string(value);
}

void TextSink::Double(double value) {
  BeginValue();
  if (!IsJson(form_)) out_ += "\\5\\";
  const std::string text = ObjectStringDouble(value);
  out_ += text;
  // JSON reads a number without a point or an exponent as an integer.
  if (IsJson(form_) && text.find_first_of(".E") == std::string::npos) out_ += ".0";
}

void TextSink::String(std::string_view value) {
  BeginValue();
  out_ += IsJson(form_) ? "\"" : "\\8\\";
  out_ += value;
  if (IsJson(form_)) out_ += '"';
}

void TextSink::Boolean(bool value) {
  BeginValue();
  if (IsJson(form_)) {
    out_ += value ? "true" : "false";
  } else {
    out_ += value ? "\\11\\True" : "\\11\\False";
  }
}

void TreeSink::Open(TavrixPtr container) {
  if (open_.empty()) {
    root_ = container;
  } else {
    Store(container);
  }
  open_.push_back(std::move(container));
}

void TreeSink::BeginMap() {
  TavrixPtr map = Tavrix::Create();
  map->SetMap();
  Open(std::move(map));
}

void TreeSink::BeginArray() {
  TavrixPtr array = Tavrix::Create();
  array->SetArray(-1);
  Open(std::move(array));
}

void TreeSink::Store(const Variant& value) {
  Tavrix& container = *open_.back();
  if (container.Kind() == KindMap) {
    container.Item(Variant::String(key_), value);
  } else {
    container.AddLast(value);
  }
}

namespace {

void WalkValue(const Variant& value, DocumentSink& sink) {
  switch (value.Type()) {
    case vbInteger:
      sink.Long(value.AsInteger());
      return;
    case vbLong:
      sink.Long(value.AsLong());
      return;
    case vbDouble:
      sink.Double(value.AsDouble());
      return;
    case vbString:
      sink.String(value.AsString());
      return;
    case vbBoolean:
      sink.Boolean(value.AsBoolean());
      return;
    case vbObject:
      if (const auto tree = value.ObjectAs<Tavrix>()) {
        WalkTree(*tree, sink);
        return;
      }
      break;
    default:
      break;
  }
  throw std::runtime_error("the tree holds a value of type " + std::to_string(value.Type()) +
                           ", which no document has");
}

}  // namespace

void WalkTree(const Tavrix& tree, DocumentSink& sink) {
  switch (tree.Kind()) {
    case KindMap:
      sink.BeginMap();
      for (const auto& [key, value] : tree.Items()) {
        sink.Key(key.AsString());
        WalkValue(value, sink);
      }
      break;
    case KindBoundedArray:
    case KindUnboundedArray:
      sink.BeginArray();
      for (const Variant& value : tree) WalkValue(value, sink);
      break;
    default:
      throw std::runtime_error("the tree holds a container of kind " + std::to_string(tree.Kind()) +
                               ", which no document has");
  }
  sink.End();
}

const DocumentText& CachedDocumentText(Document document, TextForm form) {
  static std::map<std::pair<Document, TextForm>, DocumentText> texts;
  auto found = texts.find({document, form});
  if (found == texts.end()) {
    TextSink sink(form);
    Generate(document, sink);
    found = texts.emplace(std::pair{document, form}, sink.Take()).first;
  }
  return found->second;
}

}  // namespace quenlo::bench
