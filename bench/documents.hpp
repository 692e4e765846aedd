// Four documents of different shapes, each the same logical data in every library:
//
//   records  an Array of 100,000 Maps of 8 fields: 2 short Strings, 2 Longs, 2 Doubles, a Boolean
//            and an Array of 3 short Strings
//   numbers  an Array of 1,000,000 Doubles of 1 to 9 significant digits, exponents -15 to 15
//   text     an Array of 200,000 Strings of 20 to 200 characters, 1 in 8 with non-ASCII ones
//   deep     the records document with every record under 99 one-element Maps (100 Map levels)
//
// One generator per document, seeded with a fixed number, emits the document as a stream of
// values into a DocumentSink: the same stream becomes the object string, the JSON text the peer
// libraries read and a tree built through the public API. Walking what a library read into the
// JSON sink gives text comparable with the generator's own JSON: equal texts, equal data.
//
// Every Double is a decimal of at most 9 significant digits whose shortest text has an exponent
// within 10^±22, so every parser reads it exactly (an exactly representable significand times an
// exact power of ten) and every library holds the same bits. Strings hold none of the marks that
// split an object string and nothing JSON would escape.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quenlo/tavrix.hpp"

namespace quenlo::bench {

enum class Document { kRecords, kNumbers, kText, kDeep };
inline constexpr std::array kDocuments = {Document::kRecords, Document::kNumbers, Document::kText,
                                          Document::kDeep};

std::string DocumentName(Document document);

/// Receives a document value by value, depth first, as a generator or a walk emits it.
class DocumentSink {
 public:
  virtual ~DocumentSink() = default;
  virtual void BeginMap() = 0;
  virtual void BeginArray() = 0;
  virtual void End() = 0;  // of the innermost open Map or Array
  /// The key of the next value; only inside a Map, before each of its values.
  virtual void Key(std::string_view key) = 0;
  virtual void Long(std::int32_t value) = 0;
  virtual void Double(double value) = 0;
  virtual void String(std::string_view value) = 0;
  virtual void Boolean(bool value) = 0;
};

/// Emits the document.
void Generate(Document document, DocumentSink& sink);
/// Emits the numbers document with `count` Doubles.
void GenerateNumbers(std::int32_t count, DocumentSink& sink);

enum class TextForm { kObjectString, kJson };

/// A document as text, and the number of its elements: every value, scalar or container, the
/// top-level Array included (a Map's keys are not counted).
struct DocumentText {
  std::string text;
  std::int64_t elements = 0;
};

/// Writes what it receives as an object string (as Quenlo's writer writes it) or compact JSON.
class TextSink final : public DocumentSink {
 public:
  explicit TextSink(TextForm form) : form_(form) {}
  DocumentText Take() { return {std::move(out_), elements_}; }

  void BeginMap() override;
  void BeginArray() override;
  void End() override;
  void Key(std::string_view key) override;
  void Long(std::int32_t value) override;
  void Double(double value) override;
  void String(std::string_view value) override;
  void Boolean(bool value) override;

 private:
  void BeginValue();  // the separator before a value that is not the first of its container
  void Open(char mark);

  TextForm form_;
  std::string out_;
  std::string closing_marks_;  // one per open container
  bool first_in_container_ = true;
  bool after_key_ = false;
  std::int64_t elements_ = 0;
};

/// Builds a Tavrix tree through the public API: SetMap, SetArray, Item and AddLast.
class TreeSink final : public DocumentSink {
 public:
  TavrixPtr Take() { return std::move(root_); }

  void BeginMap() override;
  void BeginArray() override;
  void End() override { open_.pop_back(); }
  void Key(std::string_view key) override { key_ = key; }
  void Long(std::int32_t value) override { Store(Variant::Long(value)); }
  void Double(double value) override { Store(Variant::Double(value)); }
  void String(std::string_view value) override { Store(Variant::String(value)); }
  void Boolean(bool value) override { Store(Variant::Boolean(value)); }

 private:
  void Open(TavrixPtr container);
  void Store(const Variant& value);

  TavrixPtr root_;
  std::vector<TavrixPtr> open_;
  std::string key_;
};

/// Emits a Tavrix tree through the public API: Items for a Map, iteration for an Array. Raises
/// std::runtime_error for a kind or a value type no document holds.
void WalkTree(const Tavrix& tree, DocumentSink& sink);

/// The text of a document, generated on first use and kept.
const DocumentText& CachedDocumentText(Document document, TextForm form);

/// The text of a Double in the object string: the shortest that reads back the same, plain for
/// decimal exponents -4 to 14, otherwise as "1.5E-07".
std::string ObjectStringDouble(double value);

}  // namespace quenlo::bench
