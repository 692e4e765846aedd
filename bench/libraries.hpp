// Quenlo and the peer libraries behind one interface, so that every case is written once:
//
//   Tree                 what a read gives (a container tree, a DOM document or value)
//   kName, kForm         the name in case names, and the text form the library reads
//   Read(text)           text to a tree, with the library's default options
//   ReadCounted(text)    the same, with every heap block taken through operator new, where the
//                        allocation counter sees it
//   Write(tree)          the tree as compact text
//   ReadWritten(text)    reads back a text Write gave, exactly
//   Build(document)      the tree a write case writes
//   Walk(tree, sink)     emits the tree's data into a DocumentSink
//
// Each peer is compiled in only when it is found (QUENLO_BENCH_<PEER>).
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "bench/documents.hpp"
#include "quenlo/tavrix.hpp"

#ifdef QUENLO_BENCH_RAPIDJSON
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#endif
#ifdef QUENLO_BENCH_NLOHMANN
#include <nlohmann/json.hpp>
#endif
#ifdef QUENLO_BENCH_BOOST_JSON
#include <boost/json.hpp>
#endif

namespace quenlo::bench {

/// An integer of a peer's tree as the Long every document holds.
inline std::int32_t DocumentLong(std::int64_t value) {
  if (value < INT32_MIN || value > INT32_MAX) throw std::runtime_error("an integer out of the Long range");
  return static_cast<std::int32_t>(value);
}

[[noreturn]] inline void UnexpectedValue(std::string_view library) {
  throw std::runtime_error(std::string(library) + " holds a value of a type no document has");
}

struct QuenloLibrary {
  using Tree = TavrixPtr;
  static constexpr const char* kName = "quenlo";
  static constexpr TextForm kForm = TextForm::kObjectString;

  static Tree Read(std::string_view text) {
    TavrixPtr tree = Tavrix::Create();
    tree->SetObjectString(text);
    return tree;
  }
  static Tree ReadCounted(std::string_view text) { return Read(text); }
  static std::string Write(const Tree& tree) { return tree->GetObjectString(); }
  /// Built through the public API, as a program builds the data it writes.
  static Tree Build(Document document) {
    TreeSink sink;
    Generate(document, sink);
    return sink.Take();
  }
  static void Walk(const Tree& tree, DocumentSink& sink) { WalkTree(*tree, sink); }
  static Tree OneElementMap() {
    TavrixPtr map = Tavrix::Create();
    map->SetMap();
    map->Item("key", Variant::Long(1));
    return map;
  }
};

#ifdef QUENLO_BENCH_RAPIDJSON
/// A base allocator for RapidJSON that takes its blocks through operator new instead of malloc.
struct OperatorNewAllocator {
  static const bool kNeedFree = true;
  void* Malloc(std::size_t size) { return size == 0 ? nullptr : ::operator new(size); }
  void* Realloc(void* block, std::size_t old_size, std::size_t new_size) {
    void* moved = Malloc(new_size);
    if (block != nullptr && moved != nullptr)
      std::memcpy(moved, block, old_size < new_size ? old_size : new_size);
    Free(block);
    return moved;
  }
  static void Free(void* block) { ::operator delete(block); }
};

struct RapidJsonLibrary {
  using Tree = rapidjson::Document;  // the DOM with its memory pool allocator
  using CountedTree =
      rapidjson::GenericDocument<rapidjson::UTF8<>, rapidjson::MemoryPoolAllocator<OperatorNewAllocator>,
                                 OperatorNewAllocator>;
  static constexpr const char* kName = "rapidjson";
  static constexpr TextForm kForm = TextForm::kJson;

  template <class Document = Tree, unsigned kFlags = rapidjson::kParseDefaultFlags>
  static Document Read(std::string_view text) {
    Document document;
    document.template Parse<kFlags>(text.data(), text.size());
    if (document.HasParseError()) throw std::runtime_error("RapidJSON could not parse the document");
    return document;
  }
  static CountedTree ReadCounted(std::string_view text) { return Read<CountedTree>(text); }
  /// The writer may give 17 significant digits, which only the full-precision parse reads exactly.
  static Tree ReadWritten(std::string_view text) {
    return Read<Tree, rapidjson::kParseFullPrecisionFlag>(text);
  }
  static std::string Write(const Tree& tree) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    tree.Accept(writer);
    return std::string(buffer.GetString(), buffer.GetSize());
  }
  static Tree Build(Document document) { return Read(CachedDocumentText(document, kForm).text); }
  template <class Value>
  static void Walk(const Value& value, DocumentSink& sink) {
    if (value.IsObject()) {
      sink.BeginMap();
      for (const auto& member : value.GetObject()) {
        sink.Key({member.name.GetString(), member.name.GetStringLength()});
        Walk(member.value, sink);
      }
      sink.End();
    } else if (value.IsArray()) {
      sink.BeginArray();
      for (const auto& element : value.GetArray()) Walk(element, sink);
      sink.End();
    } else if (value.IsInt()) {
      sink.Long(value.GetInt());
    } else if (value.IsDouble()) {
      sink.Double(value.GetDouble());
    } else if (value.IsString()) {
      sink.String({value.GetString(), value.GetStringLength()});
    } else if (value.IsBool()) {
      sink.Boolean(value.GetBool());
    } else {
      UnexpectedValue(kName);
    }
  }
};
#endif

#ifdef QUENLO_BENCH_NLOHMANN
struct NlohmannLibrary {
  using Tree = nlohmann::json;
  static constexpr const char* kName = "nlohmann";
  static constexpr TextForm kForm = TextForm::kJson;

  static Tree Read(std::string_view text) { return nlohmann::json::parse(text); }
  static Tree ReadCounted(std::string_view text) { return Read(text); }
  static Tree ReadWritten(std::string_view text) { return Read(text); }
  static std::string Write(const Tree& tree) { return tree.dump(); }
  static Tree Build(Document document) { return Read(CachedDocumentText(document, kForm).text); }
  static void Walk(const Tree& value, DocumentSink& sink) {
    if (value.is_object()) {
      sink.BeginMap();
      for (const auto& [key, member] : value.items()) {
        sink.Key(key);
        Walk(member, sink);
      }
      sink.End();
    } else if (value.is_array()) {
      sink.BeginArray();
      for (const auto& element : value) Walk(element, sink);
      sink.End();
    } else if (value.is_number_integer()) {
      sink.Long(DocumentLong(value.get<std::int64_t>()));
    } else if (value.is_number_float()) {
      sink.Double(value.get<double>());
    } else if (value.is_string()) {
      sink.String(value.get_ref<const std::string&>());
    } else if (value.is_boolean()) {
      sink.Boolean(value.get<bool>());
    } else {
      UnexpectedValue(kName);
    }
  }
  static Tree OneElementMap() { return Tree{{"key", 1}}; }
};
#endif

#ifdef QUENLO_BENCH_BOOST_JSON
struct BoostJsonLibrary {
  using Tree = boost::json::value;  // with the default memory resource
  static constexpr const char* kName = "boost_json";
  static constexpr TextForm kForm = TextForm::kJson;

  /// Default options but the depth: 32 levels would refuse the deep document.
  static Tree Read(std::string_view text) {
    boost::json::parse_options options;
    options.max_depth = 1024;
    return boost::json::parse(text, {}, options);
  }
  static Tree ReadCounted(std::string_view text) { return Read(text); }
  static Tree ReadWritten(std::string_view text) { return Read(text); }
  static std::string Write(const Tree& tree) { return boost::json::serialize(tree); }
  static Tree Build(Document document) { return Read(CachedDocumentText(document, kForm).text); }
  static void Walk(const Tree& value, DocumentSink& sink) {
    switch (value.kind()) {
      case boost::json::kind::object:
        sink.BeginMap();
        for (const auto& member : value.get_object()) {
          sink.Key(std::string_view(member.key().data(), member.key().size()));
          Walk(member.value(), sink);
        }
        sink.End();
        return;
      case boost::json::kind::array:
        sink.BeginArray();
        for (const auto& element : value.get_array()) Walk(element, sink);
        sink.End();
        return;
      case boost::json::kind::int64:
        sink.Long(DocumentLong(value.get_int64()));
        return;
      case boost::json::kind::double_:
        sink.Double(value.get_double());
        return;
      case boost::json::kind::string:
        sink.String(std::string_view(value.get_string().data(), value.get_string().size()));
        return;
      case boost::json::kind::bool_:
        sink.Boolean(value.get_bool());
        return;
      default:
        UnexpectedValue(kName);
    }
  }
  static Tree OneElementMap() { return boost::json::object{{"key", 1}}; }
};
#endif

}  // namespace quenlo::bench
