// JSON interop through nlohmann/json: an optional component (target Quenlo::json), built when
// nlohmann/json and simdjson are found.
//
//   nlohmann::ordered_json j = *tree;                      // a Map's keys keep their order
//   quenlo::TavrixPtr back = j.get<quenlo::TavrixPtr>();
//   quenlo::TavrixPtr read = quenlo::TreeFromJsonText(text);  // straight from JSON text
//   std::string text = quenlo::TreeToJsonText(*tree, 2);      // straight to JSON text
//
// nlohmann::json works the same way but sorts object members by key, so a Map comes back with
// its keys sorted; ordered_json keeps them as the Map orders them.
//
// Mapping, tree to JSON: a Map is an object (keys as their text, in order); a bounded or
// unbounded Array, a Set, a Stack and a Queue are arrays (a Stack and a Queue in the order Pop
// takes their elements out); a Variant-kind container is its value; Nil is null. Integer, Long
// and Byte are integers; Double and Single numbers (Single through its shortest text, so 0.1
// stays 0.1); Currency and Decimal numbers (as a double); Boolean true or false; String and
// Date (its ISO 8601 text) strings; Empty, Null, NaN and the infinities null.
//
// JSON to tree: an object is a Map (a key given twice keeps its first place and its last
// value); an array an unbounded Array; at the top, any other value a Variant-kind container
// holding it. An integer that fits 32 bits is a Long, any other number a Double; a string a
// String; true and false Booleans; null Null.
//
// What a trip through JSON loses: the kinds other than Map and Array (Set, Stack and Queue come
// back as Arrays, a bounded Array as an unbounded one, a nested Variant or Nil container as its
// value or Null); the types Integer and Byte (back as Long), Single, Currency and Decimal (back as
// Double, with a double's precision), Date (back as a String), Empty (back as Null), NaN and the
// infinities (back as Null), the types of Map keys (back as Strings). Cycles and references to
// objects cannot be converted at all.
//
// Both directions take time linear in the size of the tree, and neither recurses: nesting
// deeper than 1,024 levels raises runtime error 28. Every failure is a quenlo::Error.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "quenlo/tavrix.hpp"

namespace quenlo {

/// The JSON of a tree. Raises 13 with the path of the value in Context() for a reference to an
/// object that is not a nested container (a cycle is such a reference) and for a Variant array,
/// 28 for nesting deeper than 1,024 levels.
nlohmann::ordered_json TreeToOrderedJson(const Tavrix& tree);
nlohmann::json TreeToJson(const Tavrix& tree);

/// The JSON text of a tree, written straight from the tree: byte for byte what
/// TreeToOrderedJson(tree).dump(indent, ' ', false, error_handler_t::replace) gives, in a
/// fraction of its time and memory. An indent of 0 or more puts each element on a line of its
/// own, indented by `indent` spaces a level; a negative indent writes everything on one line. No
/// line break follows the text. Raises what TreeToOrderedJson raises.
std::string TreeToJsonText(const Tavrix& tree, int indent = -1);

/// The tree a JSON value describes. Raises 28 for nesting deeper than 1,024 levels and 13 for a
/// binary value, which only binary formats such as CBOR give.
TavrixPtr TreeFromJson(const nlohmann::ordered_json& json);
TavrixPtr TreeFromJson(const nlohmann::json& json);

/// The tree a JSON text describes, read in one pass without building JSON values first (keys
/// keep their order, and large objects read in linear time). Raises 5 for a text that is not
/// JSON (a number out of a double's range included), with "at byte N: why" in Context(), N
/// counting from 0; 28 for nesting deeper than 1,024 levels.
TavrixPtr TreeFromJsonText(std::string_view text);

/// The tree of the JSON text in a file, read as TreeFromJsonText reads text, without a copy of
/// the text. Raises what ReadFileBytes raises for a file that cannot be read, and what
/// TreeFromJsonText raises for its text.
TavrixPtr TreeFromJsonFile(const std::string& Filename);

// The conversions nlohmann/json finds by argument-dependent lookup. A null TavrixPtr is null.
void to_json(nlohmann::ordered_json& json, const Tavrix& tree);
void to_json(nlohmann::json& json, const Tavrix& tree);
void to_json(nlohmann::ordered_json& json, const TavrixPtr& tree);
void to_json(nlohmann::json& json, const TavrixPtr& tree);
void from_json(const nlohmann::ordered_json& json, TavrixPtr& tree);
void from_json(const nlohmann::json& json, TavrixPtr& tree);

}  // namespace quenlo
