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

/// The text of one of the library's own errors; "" for any other number.
inline std::string OwnErrorText(std::int32_t number) {
  if (number == ErrSubscriptOutOfRange) return "Subscript out of range";
  if (number == ErrDuplicateValue) return "Duplicate value not allowed";
  if (number == ErrInvalidOperation) return "Operation not valid for this data type";
  return "";
}

/// Expects `call` to raise `number`: the library's errors with the source "Tavrix" and their
/// text, any other number with the runtime's source.
inline void ExpectError(auto&& call, std::int32_t number) {
  try {
    call();
    ADD_FAILURE() << "no error was raised, expected " << number;
  } catch (const Error& error) {
    const std::string own_text = OwnErrorText(number);
    EXPECT_EQ(error.Number(), number);
    EXPECT_EQ(error.Source(), own_text.empty() ? "Quenlo" : "Tavrix");
    if (!own_text.empty()) {
      EXPECT_EQ(error.Description(), own_text);
    }
  }
}

/// A container of `kind` filled through its ordinary adding operation: keys of a Map and
/// elements of an Array by AddLast, members of a Set, Push on a Stack or Queue, Item(1) on a
/// Variant. A bounded Array gets `bound`.
inline TavrixPtr Make(TavrixKind kind, std::initializer_list<Variant> elements = {}, std::int32_t bound = 2) {
  TavrixPtr t = Tavrix::Create();
  if (kind == KindMap) t->SetMap();
  if (kind == KindBoundedArray || kind == KindUnboundedArray)
    t->SetArray(kind == KindBoundedArray ? bound : -1);
  if (kind == KindSet) t->SetSet(std::vector<Variant>(elements));
  if (kind == KindStack) t->SetStack();
  if (kind == KindQueue) t->SetQueue();
  if (kind == KindNil) t->SetNil();
  for (const Variant& element : kind == KindSet ? std::initializer_list<Variant>{} : elements) {
    if (kind == KindStack || kind == KindQueue) t->Push(element);
    if (kind == KindVariant) t->Item(1, element);
    if (kind == KindMap || kind == KindBoundedArray || kind == KindUnboundedArray) t->AddLast(element);
  }
  return t;
}

/// The elements Item reads by position (Map, Arrays, Set).
inline std::vector<Variant> ElementsOf(const Tavrix& t) {
  std::vector<Variant> elements;
  for (std::int32_t position = 1; position <= t.Length(); ++position) elements.push_back(t.Item(position));
  return elements;
}

inline std::vector<Variant> KeysOf(const Tavrix& map) {
  return ElementsOf(*map.GetKeys());
}

/// Whether an element is stored under `key_text`.
inline bool HasKey(const Tavrix& t, const std::string& key_text) {
  try {
    t.Item(key_text);
    return true;
  } catch (const Error&) {
    return false;
  }
}

using Values = std::vector<Variant>;

}  // namespace quenlo::testing
