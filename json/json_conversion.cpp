// Conversion between container trees and nlohmann/json values. Trees are walked with the shared
// tree walk and JSON values with an explicit stack, so neither direction recurses, and the keys
// of a JSON object are checked all at once when it closes: both directions are linear. JSON text
// is read in json_text.cpp and written in json_writer.cpp.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/tree_walk.hpp"
#include "json/json_walk.hpp"
#include "json/tree_filler.hpp"
#include "quenlo/collection.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/json.hpp"
#include "runtime/translate_errors.hpp"

namespace quenlo {

namespace {

using nlohmann::ordered_json;
using PlainJson = nlohmann::json;

// ---- Tree to JSON -----------------------------------------------------------------------------

// Appends a member to an object whose keys are known to be distinct (a Map's keys are distinct
// texts): at the end of an ordered object, without the linear search its operator[] makes.
ordered_json* AppendMember(ordered_json::object_t& object, const std::string& key, ordered_json value) {
  auto& members = static_cast<ordered_json::object_t::Container&>(object);
  return &members.emplace_back(key, std::move(value)).second;
}

PlainJson* AppendMember(PlainJson::object_t& object, const std::string& key, PlainJson value) {
  return &object.emplace(key, std::move(value)).first->second;
}

// Builds the JSON value of a tree as the walk meets its containers and elements. Each open
// container has a slot: an object or array to add to, or for a Variant-kind container the place
// its one value takes.
template <class Json>
class JsonBuilder {
 public:
  Json Take() { return std::move(result_); }

  void Open(const Tavrix& container) {
    Json* slot = Place(EmptyValueOf(TreeWalk::KindOf(container)));
    Reserve(*slot, container);
    slots_.push_back(slot);
  }

  void Element(const Tavrix& container, std::int32_t position) {
    if (TreeWalk::KindOf(container) == KindMap) {
      key_.clear();  // keeps its room: a key is copied once, into its member
      TreeWalk::AppendKeyText(key_, container, position);
    }
  }

  void Close(const Tavrix& /*container*/, bool /*empty*/) { slots_.pop_back(); }

  void Null() { Place(nullptr); }
  template <class Number>
  void Integer(Number number) {
    Place(number);
  }
  void Boolean(bool boolean) { Place(boolean); }
  void Number(double number) { Place(number); }
  void String(std::string_view text) { Place(text); }

 private:
  static Json EmptyValueOf(TavrixKind kind) {
    if (kind == KindMap) return Json::object();
    if (kind == KindVariant || kind == KindNil) return nullptr;  // a Variant takes its value's place
    return Json::array();
  }

  static void Reserve(Json& slot, const Tavrix& container) {
    if (slot.is_array()) {
      slot.template get_ref<typename Json::array_t&>().reserve(static_cast<std::size_t>(container.Length()));
    } else if constexpr (std::is_same_v<Json, ordered_json>) {
      if (slot.is_object())
        slot.template get_ref<ordered_json::object_t&>().reserve(
            static_cast<std::size_t>(container.Length()));
    }
  }

  // Puts a value where the innermost open container takes it, and returns where it went.
  Json* Place(Json value) {
    if (slots_.empty()) {
      result_ = std::move(value);
      return &result_;
    }
    Json& slot = *slots_.back();
    if (slot.is_array()) {
      slot.push_back(std::move(value));
      return &slot.back();
    }
    if (slot.is_object()) {
      return AppendMember(slot.template get_ref<typename Json::object_t&>(), key_, std::move(value));
    }
    slot = std::move(value);  // the value of a Variant-kind container
    return &slot;
  }

  Json result_;
  std::vector<Json*> slots_;
  std::string key_;
};

// ---- JSON to tree -----------------------------------------------------------------------------

// Builds the tree of a JSON value with a stack of the objects and arrays being read.
template <class Json>
class TreeFromValue {
 public:
  static TavrixPtr Build(const Json& json) {
    if (!json.is_structured()) {
      TavrixPtr holder = Tavrix::Create();
      holder->Item(1, ScalarFromJson(json));
      return holder;
    }
    JsonContainerFiller root(json.is_object(), json.size());
    TavrixPtr tree = root.Container();
    TreeFromValue builder;
    builder.open_.push_back(Open{&json, json.cbegin(), std::move(root)});
    builder.Run();
    return tree;
  }

 private:
  struct Open {
    const Json* value;
    typename Json::const_iterator next;
    JsonContainerFiller filler;
  };

  void Run() {
    while (!open_.empty()) {
      Open& open = open_.back();
      if (open.next == open.value->cend()) {
        open.filler.Close();
        open_.pop_back();
        continue;
      }
      const auto member = open.next++;
      const Json& value = member.value();
      const std::string_view key =
          open.value->is_object() ? std::string_view(member.key()) : std::string_view();
      if (!value.is_structured()) {
        open.filler.Add(key, ScalarFromJson(value));
        continue;
      }
      RequireNestingWithinLimit(open_.size());
      JsonContainerFiller nested(value.is_object(), value.size());
      open.filler.Add(key, nested.Container());
      open_.push_back(Open{&value, value.cbegin(), std::move(nested)});  // `open` is not used again
    }
  }

  static Variant ScalarFromJson(const Json& json) {
    switch (json.type()) {
      case Json::value_t::boolean:
        return Variant::Boolean(json.template get<bool>());
      case Json::value_t::number_integer:
        return IntegerFromJson(json.template get<std::int64_t>());
      case Json::value_t::number_unsigned:
        return UnsignedFromJson(json.template get<std::uint64_t>());
      case Json::value_t::number_float:
        return Variant::Double(json.template get<double>());
      case Json::value_t::string:
        return Variant::String(json.template get_ref<const std::string&>());
      case Json::value_t::binary:
        RaiseRuntimeError(err::kTypeMismatch, "a JSON binary value, which no Variant holds");
      default:  // null; objects and arrays are containers
        return Variant::Null();
    }
  }

  std::vector<Open> open_;
};

template <class Json>
Json TreeToJsonOf(const Tavrix& tree) {
  return TranslateErrors([&] {
    JsonBuilder<Json> builder;
    WalkForJson(tree, builder);
    return builder.Take();
  });
}

template <class Json>
TavrixPtr TreeFromJsonOf(const Json& json) {
  return TranslateErrors([&] { return TreeFromValue<Json>::Build(json); });
}

}  // namespace

ordered_json TreeToOrderedJson(const Tavrix& tree) {
  return TreeToJsonOf<ordered_json>(tree);
}

nlohmann::json TreeToJson(const Tavrix& tree) {
  return TreeToJsonOf<PlainJson>(tree);
}

TavrixPtr TreeFromJson(const ordered_json& json) {
  return TreeFromJsonOf(json);
}

TavrixPtr TreeFromJson(const nlohmann::json& json) {
  return TreeFromJsonOf(json);
}

void to_json(ordered_json& json, const Tavrix& tree) {
  json = TreeToOrderedJson(tree);
}

void to_json(nlohmann::json& json, const Tavrix& tree) {
  json = TreeToJson(tree);
}

void to_json(ordered_json& json, const TavrixPtr& tree) {
  json = tree ? TreeToOrderedJson(*tree) : ordered_json(nullptr);
}

void to_json(nlohmann::json& json, const TavrixPtr& tree) {
  json = tree ? TreeToJson(*tree) : nlohmann::json(nullptr);
}

void from_json(const ordered_json& json, TavrixPtr& tree) {
  tree = TreeFromJson(json);
}

void from_json(const nlohmann::json& json, TavrixPtr& tree) {
  tree = TreeFromJson(json);
}

}  // namespace quenlo
