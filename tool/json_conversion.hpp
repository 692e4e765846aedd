// Conversion between container trees and JSON, for the quenlo tool.
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "quenlo/tavrix.hpp"

namespace quenlo {

/// JSON with object members in the order they were read or added, as a Map keeps its keys.
using Json = nlohmann::ordered_json;

/// A tree that JSON cannot hold: it refers to an object other than a nested container (a
/// cycle is such a reference).
class JsonUnsupported : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The JSON form of a tree: a Map is an object, every other collection kind an array, a
/// Variant-kind container its value, Nil null. Integer, Long and Byte are integers; Double,
/// Single, Currency and Decimal numbers; Boolean a Boolean; String and Date (ISO 8601) strings;
/// Empty and Null null. Raises JsonUnsupported for an object reference and quenlo::Error for a
/// value without text (an array) or nesting deeper than the walk allows.
Json TreeToJson(const Tavrix& container);

/// The tree a JSON value describes: an object is a Map, an array an unbounded Array, any other
/// value a Variant-kind container holding it. Integers that fit 32 bits are Long, other numbers
/// Double, null is Null. Raises 28 for nesting deeper than containers may be.
TavrixPtr TreeFromJson(const Json& json);

}  // namespace quenlo
