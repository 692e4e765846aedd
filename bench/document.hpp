// The benchmark document in every form the benchmarks need: the object string written directly
// as text, the same structure as JSON text for the peer libraries, and the container tree built
// through the public API.
//
// The flat document is a Map of 50,000 keys "k0" to "k49999", each holding an unbounded Array of
// ten values: the Long i, the Integer 7, the Double 2.5, the Double 0.1 * i, the String "text",
// a longer String, True, False, Null and a Map whose key "x" holds the Long 1.
//
// The deep document holds the same 50,000 entries spread over 200 nested Maps: each level holds
// 250 entries and, except the last, the key "next" with the next level.
#pragma once

#include <cstddef>
#include <string>

#include "quenlo/tavrix.hpp"

namespace quenlo::bench {

inline constexpr int kEntryCount = 50'000;
inline constexpr int kDeepLevels = 200;
inline constexpr const char* kLongText = "a longer string value of forty characters";

enum class Shape { kFlat, kDeep };

/// The object string of the document, as the writer is expected to produce it.
std::string ObjectStringText(Shape shape);
/// The same document as compact JSON (Null as null, numbers as numbers).
std::string JsonText(Shape shape);
/// The document as a container tree, built with SetMap, SetArray, AddLast and Item.
TavrixPtr BuildTree(Shape shape);

/// The scalar kinds of the memory measurement.
enum class ScalarKind { kLong, kDouble, kShortString, kDocumentMix };

/// An object string of one unbounded Array holding `count` scalars of one kind; kDocumentMix
/// repeats the nine scalars of a document entry.
std::string ScalarArrayText(ScalarKind kind, int count);
/// The same array as JSON text.
std::string ScalarArrayJson(ScalarKind kind, int count);

/// The key of entry i: "k" and the number.
std::string EntryKey(int i);
/// The shortest text that reads back as the same double, in plain notation.
std::string ShortestText(double value);

}  // namespace quenlo::bench
