// Conversion between container trees and JSON. The container side goes through the public
// members only; the walk over nested containers is the shared tree walk, so cycles and depth are
// handled as the writer and the dump handle them.
#include "tool/json_conversion.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "serial/tree_walk.hpp"

namespace quenlo {
namespace {

Json NumberToJson(double number) {
  return std::isfinite(number) ? Json(number) : Json(nullptr);
}

Json ScalarToJson(const Variant& value) {
  switch (value.Type()) {
    case vbEmpty:
    case vbNull:
      return nullptr;
    case vbInteger:
      return value.AsInteger();
    case vbLong:
      return value.AsLong();
    case vbByte:
      return value.AsByte();
    case vbBoolean:
      return value.AsBoolean();
    case vbDouble:
      return NumberToJson(value.AsDouble());
    case vbSingle:
      // Through its shortest text, so that 0.1 stays 0.1 rather than 0.100000001490116.
      return std::isfinite(value.AsSingle()) ? Json(DoubleFromText(ConcatText(value))) : Json(nullptr);
    case vbCurrency:
    case vbDecimal:
      return NumberToJson(CDbl(value));
    case vbString:
      return value.AsString();
    default:  // Date, Error: their text; an array raises Type mismatch
      return ConcatText(value);
  }
}

Json ContainerToJson(const Tavrix& container);

Json ValueToJson(const Tavrix& parent, const Variant& value) {
  switch (TreeWalk::FormOf(value)) {
    case TreeWalk::Form::kScalar:
      return ScalarToJson(value);
    case TreeWalk::Form::kReference:
      if (value.IsNothing()) return nullptr;
      throw JsonUnsupported("JSON cannot hold an object reference or a cycle");
    case TreeWalk::Form::kNested:
      break;
  }
  Json nested;
  TreeWalk::EnterNested(parent, TreeWalk::NestedOf(value),
                        [&nested](const Tavrix& child) { nested = ContainerToJson(child); });
  return nested;
}

Json MapToJson(const Tavrix& map) {
  Json object = Json::object();
  const TavrixPtr keys = map.GetKeys();
  for (std::int32_t i = 1; i <= map.Length(); ++i) {
    object[ConcatText(keys->Item(i))] = ValueToJson(map, map.Item(i));
  }
  return object;
}

// Stacks and Queues give their elements only through Pop: a copy is emptied, in listing order.
Json PoppedToJson(const Tavrix& sequence) {
  Json array = Json::array();
  const TavrixPtr copy = sequence.Clone();
  while (copy->Length() > 0) array.push_back(ValueToJson(sequence, copy->Pop()));
  return array;
}

Json SequenceToJson(const Tavrix& sequence) {
  Json array = Json::array();
  for (std::int32_t i = 1; i <= sequence.Length(); ++i)
    array.push_back(ValueToJson(sequence, sequence.Item(i)));
  return array;
}

Json ContainerToJson(const Tavrix& container) {
  switch (container.Kind()) {
    case KindMap:
      return MapToJson(container);
    case KindVariant:
      return ValueToJson(container, container.Item());
    case KindNil:
      return nullptr;
    case KindStack:
    case KindQueue:
      return PoppedToJson(container);
    case KindBoundedArray:
    case KindUnboundedArray:
    case KindSet:
      break;
  }
  return SequenceToJson(container);
}

Variant IntegerFromJson(std::int64_t number) {
  if (number < std::numeric_limits<std::int32_t>::min() ||
      number > std::numeric_limits<std::int32_t>::max()) {
    return Variant::Double(static_cast<double>(number));
  }
  return Variant::Long(static_cast<std::int32_t>(number));
}

TavrixPtr ContainerFromJson(const Json& json, int depth);

Variant ValueFromJson(const Json& json, int depth) {
  switch (json.type()) {
    case Json::value_t::object:
    case Json::value_t::array:
      return ContainerFromJson(json, depth + 1);
    case Json::value_t::boolean:
      return Variant::Boolean(json.get<bool>());
    case Json::value_t::number_integer:
      return IntegerFromJson(json.get<std::int64_t>());
    case Json::value_t::number_unsigned: {
      const auto number = json.get<std::uint64_t>();
      return number <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())
                 ? Variant::Long(static_cast<std::int32_t>(number))
                 : Variant::Double(static_cast<double>(number));
    }
    case Json::value_t::number_float:
      return Variant::Double(json.get<double>());
    case Json::value_t::string:
      return Variant::String(json.get_ref<const std::string&>());
    case Json::value_t::null:
    case Json::value_t::binary:
    case Json::value_t::discarded:
      break;
  }
  return Variant::Null();
}

TavrixPtr ContainerFromJson(const Json& json, int depth) {
  if (depth > kMaxNestingDepth) RaiseRuntimeError(err::kOutOfStackSpace);
  TavrixPtr container = Tavrix::Create();
  if (json.is_object()) {
    container->SetMap();
    for (const auto& [key, value] : json.items())
      container->Item(Variant::String(key), ValueFromJson(value, depth));
  } else if (json.is_array()) {
    container->SetArray();
    for (const Json& element : json) container->AddLast(ValueFromJson(element, depth));
  } else {
    container->Item(1, ValueFromJson(json, depth));
  }
  return container;
}

}  // namespace

Json TreeToJson(const Tavrix& container) {
  return ContainerToJson(container);
}

TavrixPtr TreeFromJson(const Json& json) {
  return ContainerFromJson(json, 0);
}

}  // namespace quenlo
