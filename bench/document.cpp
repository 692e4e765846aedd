#include "bench/document.hpp"

#include <charconv>
#include <string_view>
#include <vector>

namespace quenlo::bench {
namespace {

constexpr int kEntriesPerLevel = kEntryCount / kDeepLevels;

// prefix + text, built by appending (GCC 12 warns falsely about "literal" + std::string).
std::string Prefixed(std::string_view prefix, std::string_view text) {
  std::string out(prefix);
  out += text;
  return out;
}

// The punctuation that differs between the object string and JSON.
struct Syntax {
  std::string_view map_open;
  std::string_view array_open;
  std::string_view separator;
  std::string_view key_open;
  std::string_view key_close;
  std::string_view long_one;                        // the Long 1 of the nested Map
  void (*append_scalars)(std::string& out, int i);  // the nine scalars of entry i
};

void AppendObjectStringScalars(std::string& out, int i) {
  out += "\\3\\";
  out += std::to_string(i);
  out += ", \\2\\7, \\5\\2.5, \\5\\";
  out += ShortestText(0.1 * i);
  out += ", \\8\\text, \\8\\";
  out += kLongText;
  out += ", \\11\\True, \\11\\False, \\1\\";
}

void AppendJsonScalars(std::string& out, int i) {
  out += std::to_string(i) + ",7,2.5," + ShortestText(0.1 * i) + ",\"text\",\"";
  out += kLongText;
  out += "\",true,false,null";
}

constexpr Syntax kObjectString{
    "\\11000\\{", "\\11000\\[", ", ", "", ": ", "\\3\\1", AppendObjectStringScalars};
constexpr Syntax kJson{"{", "[", ",", "\"", "\":", "1", AppendJsonScalars};

void AppendKey(std::string& out, const Syntax& syntax, std::string_view key) {
  out += syntax.key_open;
  out += key;
  out += syntax.key_close;
}

void AppendEntry(std::string& out, const Syntax& syntax, int i) {
  AppendKey(out, syntax, EntryKey(i));
  out += syntax.array_open;
  syntax.append_scalars(out, i);
  out += syntax.separator;
  out += syntax.map_open;
  AppendKey(out, syntax, "x");
  out += syntax.long_one;
  out += "}]";
}

// Entries first..last-1, separated; `first` gets no separator before it.
void AppendEntries(std::string& out, const Syntax& syntax, int first, int last) {
  for (int i = first; i < last; ++i) {
    if (i != first) out += syntax.separator;
    AppendEntry(out, syntax, i);
  }
}

std::string DocumentText(const Syntax& syntax, Shape shape) {
  std::string out;
  out.reserve(static_cast<std::size_t>(kEntryCount) * 140);
  if (shape == Shape::kFlat) {
    out += syntax.map_open;
    AppendEntries(out, syntax, 0, kEntryCount);
    out += "}";
    return out;
  }
  // Each level's "next" entry comes last, so every level closes at the very end.
  for (int level = 0; level < kDeepLevels; ++level) {
    out += syntax.map_open;
    AppendEntries(out, syntax, level * kEntriesPerLevel, (level + 1) * kEntriesPerLevel);
    if (level + 1 < kDeepLevels) {
      out += syntax.separator;
      AppendKey(out, syntax, "next");
    }
  }
  out.append(kDeepLevels, '}');
  return out;
}

TavrixPtr NewMap() {
  TavrixPtr map = Tavrix::Create();
  map->SetMap();
  return map;
}

TavrixPtr EntryArray(int i) {
  TavrixPtr array = Tavrix::Create();
  array->SetArray(-1);
  array->AddLast(Variant::Long(i));
  array->AddLast(Variant::Integer(7));
  array->AddLast(2.5);
  array->AddLast(0.1 * i);
  array->AddLast("text");
  array->AddLast(kLongText);
  array->AddLast(true);
  array->AddLast(false);
  array->AddLast(Variant::Null());
  TavrixPtr nested = NewMap();
  nested->Item("x", Variant::Long(1));
  array->AddLast(nested);
  return array;
}

void AddEntries(Tavrix& map, int first, int last) {
  for (int i = first; i < last; ++i) map.Item(EntryKey(i), EntryArray(i));
}

// One scalar of a scalar array, as object string text and as JSON text.
struct ScalarTexts {
  std::string object_string;
  std::string json;
};

ScalarTexts Scalar(ScalarKind kind, int i) {
  switch (kind) {
    case ScalarKind::kLong:
      return {Prefixed("\\3\\", std::to_string(i)), std::to_string(i)};
    case ScalarKind::kDouble:
      return {Prefixed("\\5\\", ShortestText(0.1 * i)), ShortestText(0.1 * i)};
    case ScalarKind::kShortString:
      return {"\\8\\text", "\"text\""};
    case ScalarKind::kDocumentMix:
      break;
  }
  static const std::vector<ScalarTexts> mix = {
      {"\\3\\12345", "12345"},   {"\\2\\7", "7"},
      {"\\5\\2.5", "2.5"},       {"\\5\\1234.5", "1234.5"},
      {"\\8\\text", "\"text\""}, {Prefixed("\\8\\", kLongText), Prefixed("\"", kLongText) + "\""},
      {"\\11\\True", "true"},    {"\\11\\False", "false"},
      {"\\1\\", "null"}};
  return mix[static_cast<std::size_t>(i) % mix.size()];
}

}  // namespace

std::string EntryKey(int i) {
  return Prefixed("k", std::to_string(i));
}

std::string ShortestText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return std::string(buffer, result.ptr);
}

std::string ObjectStringText(Shape shape) {
  return DocumentText(kObjectString, shape);
}

std::string JsonText(Shape shape) {
  return DocumentText(kJson, shape);
}

TavrixPtr BuildTree(Shape shape) {
  TavrixPtr root = NewMap();
  if (shape == Shape::kFlat) {
    AddEntries(*root, 0, kEntryCount);
    return root;
  }
  Tavrix* level_map = root.get();
  for (int level = 0; level < kDeepLevels; ++level) {
    AddEntries(*level_map, level * kEntriesPerLevel, (level + 1) * kEntriesPerLevel);
    if (level + 1 < kDeepLevels) {
      TavrixPtr next = NewMap();
      level_map->Item("next", next);
      level_map = next.get();  // the parent holds it
    }
  }
  return root;
}

std::string ScalarArrayText(ScalarKind kind, int count) {
  std::string out = "\\11000\\[";
  for (int i = 0; i < count; ++i) {
    if (i != 0) out += ", ";
    out += Scalar(kind, i).object_string;
  }
  return out + "]";
}

std::string ScalarArrayJson(ScalarKind kind, int count) {
  std::string out = "[";
  for (int i = 0; i < count; ++i) {
    if (i != 0) out += ",";
    out += Scalar(kind, i).json;
  }
  return out + "]";
}

}  // namespace quenlo::bench
