// Containers the tests build and read.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quenlo/error.hpp"
#include "quenlo/object.hpp"
#include "quenlo/tavrix.hpp"
#include "support/expect.hpp"

namespace quenlo::testing {

using Values = std::vector<Variant>;

/// A container of `kind` (a bounded Array of `bound`) filled through its ordinary adding
/// operation: AddLast, SetSet's members, Push, or Item(1) on a Variant.
inline TavrixPtr Make(TavrixKind kind, std::initializer_list<Variant> elements = {}, std::int32_t bound = 2) {
  TavrixPtr t = Tavrix::Create();
  if (kind == KindMap) t->SetMap();
  if (kind == KindBoundedArray || kind == KindUnboundedArray)
    t->SetArray(kind == KindBoundedArray ? bound : -1);
  if (kind == KindStack) t->SetStack();
  if (kind == KindQueue) t->SetQueue();
  if (kind == KindNil) t->SetNil();
  if (kind == KindSet) t->SetSet(Values(elements));
  for (const Variant& element : kind == KindSet ? std::initializer_list<Variant>{} : elements) {
    if (kind == KindStack || kind == KindQueue) t->Push(element);
    if (kind == KindVariant) t->Item(1, element);
    if (kind == KindMap || kind == KindBoundedArray || kind == KindUnboundedArray) t->AddLast(element);
  }
  return t;
}

/// An object whose default member reads as a given value.
struct Holder : Object {
  explicit Holder(Variant value) : value_(std::move(value)) {}
  std::string_view ClassName() const noexcept override { return "Holder"; }
  bool HasDefaultMember() const noexcept override { return true; }
  Variant DefaultMember() const override { return value_; }
  Variant value_;
};

/// A Variant holding a new Holder of `value`.
inline Variant Holding(Variant value) {
  return std::make_shared<Holder>(std::move(value));
}

/// An unbounded Array of the values.
inline TavrixPtr ArrayOf(std::initializer_list<Variant> values) {
  return Make(KindUnboundedArray, values);
}

/// A Variant-kind container holding `value`.
inline TavrixPtr VariantOf(const Variant& value) {
  return Make(KindVariant, {value});
}

/// A Map storing each key, value pair of the arguments in turn through Item.
inline TavrixPtr MapOf(const auto&... keys_and_values) {
  const TavrixPtr map = Make(KindMap);
  const Variant list[] = {Variant(keys_and_values)...};
  for (std::size_t key = 0; key + 1 < std::size(list); key += 2) map->Item(list[key], list[key + 1]);
  return map;
}

/// A new container read from an object string.
inline TavrixPtr Read(std::string_view text) {
  TavrixPtr container = Tavrix::Create();
  container->SetObjectString(text);
  return container;
}

/// The elements Item reads by position (Map, Arrays, Set).
inline Values ElementsOf(const Tavrix& t) {
  Values elements;
  for (std::int32_t position = 1; position <= t.Length(); ++position) elements.push_back(t.Item(position));
  return elements;
}

inline Values KeysOf(const Tavrix& map) {
  return ElementsOf(*map.GetKeys());
}

/// Whether an element is stored under `key_text`.
inline bool HasKey(const Tavrix& t, const std::string& key_text) {
  return ErrorNumberOf([&] { t.Item(key_text); }) == 0;
}

/// What a failed read or import must leave as it was: kind, bound, tag and contents.
inline std::string State(const Tavrix& container) {
  return std::to_string(container.Kind()) + " " + std::to_string(container.Bound()) + " " + container.Tag() +
         " " + container.GetObjectString();
}

/// A Map {k: 1} tagged "kept": the target of reads that must fail.
inline TavrixPtr MakeTarget() {
  TavrixPtr target = MapOf("k", 1);
  target->Tag("kept");
  return target;
}

/// Checks that reading `text` raises `number` and leaves the target unchanged.
inline void ExpectReadFails(std::int32_t number, std::string_view text) {
  SCOPED_TRACE(std::string(text));
  const TavrixPtr target = MakeTarget();
  const std::string before = State(*target);
  ExpectError(number, [&] { target->SetObjectString(text); });
  EXPECT_EQ(State(*target), before);
}

}  // namespace quenlo::testing
