// Item, its three stores and their keying rules, Length, Exists, GetKeys and the predicates.
#include <gtest/gtest.h>

#include <vector>

#include "core/tavrix_expect.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo {
namespace {

using testing::ElementsOf;
using testing::ExpectInvalidOperation;
using testing::ExpectOutOfRange;
using testing::ExpectRuntimeError;
using testing::HasKey;
using testing::KeysOf;

TavrixPtr MakeMap() {
  TavrixPtr map = Tavrix::Create();
  map->SetMap();
  return map;
}

TavrixPtr MakeArray(const Variant& upper_bound = -1) {
  TavrixPtr array = Tavrix::Create();
  array->SetArray(upper_bound);
  return array;
}

TEST(TavrixMapStore, StoringUnderAKeyAddsOrReplacesInPlace) {
  const TavrixPtr map = MakeMap();
  map->Item("k", 1);
  map->Item("k", 2);
  EXPECT_EQ(KeysOf(*map), std::vector<Variant>{"k"});
  EXPECT_EQ(map->Item("k"), Variant(2));

  map->Item("b", 20);
  map->Item("k", 3);
  EXPECT_EQ(KeysOf(*map), (std::vector<Variant>{"k", "b"}));
  EXPECT_EQ(ElementsOf(*map), (std::vector<Variant>{3, 20}));
  EXPECT_EQ(map->Item(), Variant(3));  // the first key in insertion order

  map->Item(2, "by position");  // a number names a position; the key stays
  EXPECT_EQ(map->Item("b"), Variant("by position"));
  EXPECT_EQ(KeysOf(*map), (std::vector<Variant>{"k", "b"}));
}

TEST(TavrixMapStore, NumericKeysKeepTheirTypeAndLiveUnderTheirText) {
  const TavrixPtr map = MakeMap();
  map->Item("a", 1);
  map->Item(3, "three");  // no position 3: a new key
  EXPECT_EQ(KeysOf(*map), (std::vector<Variant>{"a", 3}));
  EXPECT_EQ(map->GetKeys()->Item(2).Type(), vbInteger);
  EXPECT_EQ(map->Item("3"), Variant("three"));

  // The text "5" is a key, but the number 5 names no position: the store is refused.
  map->Item("5", "text key");
  ExpectRuntimeError([&] { map->Item(5, "again"); }, err::kDuplicateKey);
  EXPECT_EQ(map->Length(), 3);
  EXPECT_EQ(map->Item("5"), Variant("text key"));
  ExpectRuntimeError([&] { map->Item(Variant::Null(), 1); }, err::kInvalidUseOfNull);
  EXPECT_EQ(map->Length(), 3);
}

TEST(TavrixArrayStore, AnIndexPastTheEndAppendsUnderItsText) {
  const TavrixPtr array = MakeArray();
  array->Item(10, "x");
  EXPECT_EQ(array->Length(), 1);
  EXPECT_EQ(array->Item(1), Variant("x"));
  EXPECT_TRUE(HasKey(*array, "10"));
  EXPECT_FALSE(HasKey(*array, "1"));

  array->Item("name", "y");  // a text index on an unlimited array: appended under it
  EXPECT_EQ(array->Item("name"), Variant("y"));
  EXPECT_EQ(array->Item(2), Variant("y"));
}

TEST(TavrixArrayStore, ReplacingAnElementDropsItsKey) {
  const TavrixPtr array = MakeArray(2);
  array->AddLast("a");
  array->AddLast("b");
  array->Item(2, "c");
  EXPECT_EQ(ElementsOf(*array), (std::vector<Variant>{"a", "c"}));
  EXPECT_FALSE(HasKey(*array, "2"));
  ExpectRuntimeError([&] { array->IsString(2); }, err::kInvalidProcedureCall);
  EXPECT_TRUE(array->IsString(1));
}

TEST(TavrixArrayStore, BoundedArraysRefuseIndexesPastTheirLimit) {
  const TavrixPtr array = MakeArray(2);
  array->AddLast("a");
  array->AddLast("b");
  ExpectOutOfRange([&] { array->Item(3, "c"); });
  // A text is never <= a number, so a text index cannot pass the test on a full array.
  ExpectOutOfRange([&] { array->Item("1", "c"); });
  // A Null index makes the condition Null.
  ExpectRuntimeError([&] { array->Item(Variant::Null(), "c"); }, err::kInvalidUseOfNull);
  EXPECT_EQ(ElementsOf(*array), (std::vector<Variant>{"a", "b"}));

  const TavrixPtr empty = MakeArray(0);
  ExpectOutOfRange([&] { empty->Item(1, "v"); });
  EXPECT_EQ(empty->Length(), 0);

  // Made with another negative bound, an array only accepts indexes up to its count.
  const TavrixPtr odd = MakeArray(-3);
  ExpectOutOfRange([&] { odd->Item(1, "v"); });
  odd->Item(0, "zero");
  EXPECT_EQ(odd->Item("0"), Variant("zero"));
}

TEST(TavrixArrayStore, AnAppendWhoseKeyTextIsTakenStoresWithoutAKey) {
  const TavrixPtr array = MakeArray();
  array->AddLast("a");
  array->AddLast("b");
  array->AddLast("c");
  array->Remove(1);  // "b" keeps the key "2", "c" the key "3"
  array->Item(3, "d");
  EXPECT_EQ(ElementsOf(*array), (std::vector<Variant>{"b", "c", "d"}));
  EXPECT_EQ(array->Item("3"), Variant("c"));
}

TEST(TavrixVariantStore, TheValueLivesUnderTheTextOfItsIndex) {
  const TavrixPtr t = Tavrix::Create();
  t->Item(1, 12345);
  EXPECT_EQ(t->Length(), 5);
  EXPECT_TRUE(t->IsInteger());
  t->Item(2, "xy");
  EXPECT_EQ(t->Item("2"), Variant("xy"));
  EXPECT_EQ(t->Length(), 5);  // still the value at position 1

  // Storing again removes the element the index names and appends the new one at the end.
  t->Item(1, 7);
  EXPECT_EQ(t->Item(1), Variant("xy"));
  EXPECT_EQ(t->Item("1"), Variant(7));

  // Position 1 now carries the key "2" and the key "1" belongs to position 2: storing
  // under 1 would need a second key "1", and is refused before anything goes.
  ExpectRuntimeError([&] { t->Item(1, "z"); }, err::kDuplicateKey);
  EXPECT_EQ(t->Item("2"), Variant("xy"));
  EXPECT_EQ(t->Item("1"), Variant(7));
}

TEST(TavrixItem, KindsThatRefuseReadingOrStoring) {
  const TavrixPtr t = Tavrix::Create();
  for (auto set_kind : {&Tavrix::SetNil, &Tavrix::SetStack, &Tavrix::SetQueue}) {
    ((*t).*set_kind)();
    ExpectInvalidOperation([&] { t->Item(); });
    ExpectInvalidOperation([&] { t->Item(1, 1); });
  }
  t->SetSet("only");
  EXPECT_EQ(t->Item(), Variant("only"));
  ExpectInvalidOperation([&] { t->Item(1, 1); });
  EXPECT_EQ(t->Item(1), Variant("only"));

  const TavrixPtr array = MakeArray();
  ExpectRuntimeError([&] { array->Item(1); }, err::kSubscriptOutOfRange);
  ExpectRuntimeError([&] { array->Item("none"); }, err::kInvalidProcedureCall);

  // The proxy reads and stores through Item.
  const TavrixPtr map = MakeMap();
  (*map)["a"] = 5;
  EXPECT_EQ((*map)["a"].Get(), Variant(5));
}

TEST(TavrixLength, CountsElementsOrMeasuresTheValueText) {
  const TavrixPtr t = Tavrix::Create();
  ExpectRuntimeError([&] { t->Length(); }, err::kSubscriptOutOfRange);
  t->Item(1, -12);
  EXPECT_EQ(t->Length(), 3);
  t->Item(1, "h\xC3\xA9!");  // three characters, four bytes
  EXPECT_EQ(t->Length(), 3);
  t->Item(1, Variant::Null());
  EXPECT_EQ(t->Length(), 0);

  t->SetStack();
  EXPECT_EQ(t->Length(), 0);
  t->Push(1);
  EXPECT_EQ(t->Length(), 1);
  t->SetNil();
  ExpectInvalidOperation([&] { t->Length(); });
}

TEST(TavrixExists, KeysOrPositionsInAMapValuesElsewhere) {
  const TavrixPtr map = MakeMap();
  map->AddLast("a");
  map->AddLast("b");
  map->AddLast("c");
  EXPECT_TRUE(map->Exists(2));
  EXPECT_TRUE(map->Exists("c"));
  EXPECT_FALSE(map->Exists(4));
  EXPECT_FALSE(map->Exists("zz"));
  EXPECT_FALSE(map->Exists(Variant::Array({1})));

  const TavrixPtr nested = Tavrix::Create();
  const TavrixPtr array = MakeArray();
  array->AddLast(2);
  array->AddLast(nested);
  EXPECT_TRUE(array->Exists(2.0));
  EXPECT_TRUE(array->Exists(nested));
  EXPECT_FALSE(array->Exists(Tavrix::Create()));
  EXPECT_FALSE(array->Exists("2"));
  EXPECT_FALSE(array->Exists(Variant::Null()));
  EXPECT_FALSE(array->Exists(Variant::Array({2})));

  const TavrixPtr variant = Tavrix::Create();
  variant->Item(1, 5);
  EXPECT_FALSE(variant->Exists(5));
  variant->SetNil();
  EXPECT_FALSE(variant->Exists(1));
}

TEST(TavrixGetKeys, AnUnboundedArrayOfTheKeysUnderTheirPositions) {
  const TavrixPtr map = MakeMap();
  const TavrixPtr none = map->GetKeys();
  EXPECT_EQ(none->Kind(), KindUnboundedArray);
  EXPECT_EQ(none->Bound(), -1);
  EXPECT_EQ(none->Length(), 0);

  map->Item("k", 1);
  map->Item(9, 2);
  const TavrixPtr keys = map->GetKeys();
  EXPECT_EQ(ElementsOf(*keys), (std::vector<Variant>{"k", 9}));
  EXPECT_TRUE(keys->IsString(1));
  EXPECT_TRUE(keys->IsInteger(2));
  keys->AddLast("new");
  EXPECT_EQ(map->Length(), 2);

  ExpectInvalidOperation([&] { MakeArray()->GetKeys(); });
  ExpectInvalidOperation([&] { Tavrix::Create()->GetKeys(); });
}

TEST(TavrixPredicates, LookUpTheIndexTextAsAKey) {
  const TavrixPtr t = Tavrix::Create();
  t->Item(1, Variant::Long(5));
  EXPECT_TRUE(t->IsLong());
  EXPECT_FALSE(t->IsInteger());
  EXPECT_TRUE(t->IsNumeric());
  t->Item(1, Variant::Integer(5));
  EXPECT_FALSE(t->IsLong());
  EXPECT_TRUE(t->IsInteger());

  const TavrixPtr map = MakeMap();
  map->Item("first", Variant::Long(1));
  map->Item("1", "under one");
  map->Item("n", "12");
  map->Item("o", Tavrix::Create());
  map->Item("z", Variant::Null());
  EXPECT_FALSE(map->IsLong(1));  // the key "1", not the first entry
  EXPECT_TRUE(map->IsString(1));
  EXPECT_TRUE(map->IsLong("first"));
  EXPECT_TRUE(map->IsNumeric("n"));
  EXPECT_TRUE(map->IsString("n"));
  EXPECT_TRUE(map->IsObject("o"));
  EXPECT_TRUE(map->IsNull("z"));
  EXPECT_FALSE(map->IsEmpty("z"));
  EXPECT_FALSE(map->IsArray("n"));

  map->Item("b", true);
  map->Item("d", 1.5);
  map->Item("s", 1.5f);
  map->Item("c", Currency::FromScaled(15000));
  map->Item("date", Date{46000.0});
  map->Item("e", Variant());
  map->Item("arr", Variant::Array({1, 2}));
  EXPECT_TRUE(map->IsBoolean("b"));
  EXPECT_TRUE(map->IsDouble("d"));
  EXPECT_TRUE(map->IsSingle("s"));
  EXPECT_TRUE(map->IsCurrency("c"));
  EXPECT_TRUE(map->IsDate("date"));
  EXPECT_TRUE(map->IsEmpty("e"));
  EXPECT_TRUE(map->IsArray("arr"));
}

TEST(TavrixPredicates, MissingKeysNilAndNullIndexesRaise) {
  const TavrixPtr map = MakeMap();
  map->Item("a", 1);
  ExpectRuntimeError([&] { map->IsLong("b"); }, err::kInvalidProcedureCall);
  ExpectRuntimeError([&] { map->IsLong(Variant::Null()); }, err::kInvalidUseOfNull);
  map->SetNil();
  ExpectRuntimeError([&] { map->IsEmpty(); }, err::kObjectNotSet);
}

}  // namespace
}  // namespace quenlo
