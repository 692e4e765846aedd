// Test helpers shared by the container core and sequence tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo::testing {

/// Expects `call` to raise `number`: the library's own errors with the source "Tavrix" and
/// their text, any other number with the runtime's source and classic text.
inline void ExpectError(auto&& call, std::int32_t number) {
  const std::string_view own_text = number == ErrSubscriptOutOfRange ? "Subscript out of range"
                                    : number == ErrDuplicateValue    ? "Duplicate value not allowed"
                                    : number == ErrInvalidOperation ? "Operation not valid for this data type"
                                                                    : "";
  try {
    call();
    ADD_FAILURE() << "no error was raised, expected " << number;
  } catch (const Error& error) {
    EXPECT_EQ(error.Number(), number);
    EXPECT_EQ(error.Source(), own_text.empty() ? "Quenlo" : "Tavrix");
    EXPECT_EQ(error.Description(), own_text.empty() ? RuntimeErrorText(number) : own_text);
  }
}

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
  if (kind == KindSet) t->SetSet(std::vector<Variant>(elements));
  for (const Variant& element : kind == KindSet ? std::initializer_list<Variant>{} : elements) {
    if (kind == KindStack || kind == KindQueue) t->Push(element);
    if (kind == KindVariant) t->Item(1, element);
    if (kind == KindMap || kind == KindBoundedArray || kind == KindUnboundedArray) t->AddLast(element);
  }
  return t;
}

/// A Map storing each key, value pair of the arguments in turn through Item.
inline TavrixPtr MapOf(const auto&... keys_and_values) {
  const TavrixPtr map = Make(KindMap);
  const Variant list[] = {Variant(keys_and_values)...};
  for (std::size_t key = 0; key + 1 < std::size(list); key += 2) map->Item(list[key], list[key + 1]);
  return map;
}

using Values = std::vector<Variant>;

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
inline bool HasKey(const Tavrix& t, const std::string& key_text) try {
  t.Item(key_text);
  return true;
} catch (const Error&) {
  return false;
}

}  // namespace quenlo::testing
