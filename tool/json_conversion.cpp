// Conversion between container trees and JSON. The container side goes through the public
// members only; the walk over nested containers is the shared tree walk, so cycles and depth are
// handled as the writer and the dump handle them.
#include "tool/json_conversion.hpp"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "core/tree_walk.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"

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

// Builds the JSON of a tree as the walk meets its containers and elements, keeping a slot for
// each open container: an object or array to add to, or for a Variant-kind container the place
// its one value takes.
class JsonBuilder {
 public:
  Json Take() { return std::move(result_); }

  void Open(const Tavrix& container, std::int32_t /*level*/) {
    switch (TreeWalk::KindOf(container)) {
      case KindMap:
        open_.push_back(Place(Json::object()));
        return;
      case KindVariant:  // takes the place of its value
      case KindNil:
        open_.push_back(Place(nullptr));
        return;
      case KindBoundedArray:
      case KindUnboundedArray:
      case KindSet:
      case KindStack:
      case KindQueue:
        open_.push_back(Place(Json::array()));
        return;
    }
  }

  void Element(const Tavrix& container, std::int32_t position, std::int32_t /*level*/) {
    if (TreeWalk::KindOf(container) == KindMap) key_ = ConcatText(TreeWalk::KeyAt(container, position));
  }

  void Scalar(const Variant& value) { Place(ScalarToJson(value)); }

  void Reference(const Variant& value) {
    if (!value.IsNothing()) throw JsonUnsupported("JSON cannot hold an object reference or a cycle");
    Place(nullptr);
  }

  void Close(const Tavrix& /*container*/, std::int32_t /*level*/) { open_.pop_back(); }

 private:
  // Puts a value where the innermost open container takes it, and returns where it went. A Map's
  // keys are distinct texts, so an entry is appended without a search.
  Json* Place(Json value) {
    if (open_.empty()) {
      result_ = std::move(value);
      return &result_;
    }
    Json& slot = *open_.back();
    if (slot.is_array()) {
      slot.push_back(std::move(value));
      return &slot.back();
    }
    if (slot.is_object()) {
      auto& entries = static_cast<Json::object_t::Container&>(slot.get_ref<Json::object_t&>());
      entries.emplace_back(std::move(key_), std::move(value));
      return &entries.back().second;
    }
    slot = std::move(value);  // the value of a Variant-kind container
    return &slot;
  }

  Json result_;
  std::vector<Json*> open_;
  std::string key_;
};

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
  JsonBuilder builder;
  TreeWalk::Run(container, builder);
  return builder.Take();
}

TavrixPtr TreeFromJson(const Json& json) {
  return ContainerFromJson(json, 0);
}

}  // namespace quenlo
