// Item and the keying rules of its three stores, Length, Exists, GetKeys and the predicates.
#include <gtest/gtest.h>

#include <utility>

#include "quenlo/tavrix.hpp"
#include "support/containers.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

using namespace quenlo::testing;

TEST(TavrixStores, AMapReplacesInPlaceOrAddsUnderTheKeyText) {
  const TavrixPtr map = MapOf("k", 1, "b", 2, "k", 3);
  map->Item(2, "by position");  // a number names a position; the key stays
  map->Item(9, "nine");         // no position 9: a new key that stays a number
  EXPECT_IDENTICAL(KeysOf(*map), (Values{"k", "b", 9}));
  EXPECT_IDENTICAL(ElementsOf(*map), (Values{3, "by position", "nine"}));
  EXPECT_IDENTICAL(map->Item("9"), Variant("nine"));
  // The text "5" is a key but the number 5 names no position: refused, nothing added.
  map->Item("5", "text key");
  ExpectError(err::kDuplicateKey, [&] { map->Item(5, "again"); });
  ExpectError(err::kInvalidUseOfNull, [&] { map->Item(Variant::Null(), 1); });
  EXPECT_IDENTICAL(KeysOf(*map), (Values{"k", "b", 9, "5"}));
}

// Keys that are all Strings are held only as the texts the values are stored under; the first
// key of another type makes the Map keep every key as given from then on.
TEST(TavrixStores, KeysKeepTheirTypesThroughRemovalCopyAndSearch) {
  const TavrixPtr map = MapOf("a", 1, "a key longer than sixteen bytes", 2);
  map->Item(Variant::Long(7), 3);
  map->Remove("a");
  const Values keys{"a key longer than sixteen bytes", Variant::Long(7)};
  EXPECT_IDENTICAL(KeysOf(*map), keys);
  EXPECT_IDENTICAL(KeysOf(*map->Clone()), keys);
  EXPECT_EQ(map->Find(Variant::Long(7)), 2);
  EXPECT_EQ(map->Find("a key longer than sixteen bytes"), 1);
  EXPECT_EQ(map->FindInconsistency(), "");
}

TEST(TavrixStores, AnArrayAppendsUnderTheIndexTextUnlessTakenOrReplacesWithoutAKey) {
  const TavrixPtr array = Make(KindUnboundedArray, {"a", "b", "c"});
  array->Remove(1);     // "b" keeps the key "2", "c" the key "3"
  array->Item(3, "d");  // past the end, but "3" belongs to "c": no key
  array->Item(10, "x");
  array->Item("name", "y");
  array->Item(1, "z");  // replaces "b", and its key "2" with it
  EXPECT_IDENTICAL(ElementsOf(*array), (Values{"z", "c", "d", "x", "y"}));
  EXPECT_IDENTICAL(array->Item("3"), Variant("c"));
  EXPECT_TRUE(HasKey(*array, "10") && HasKey(*array, "name"));
  EXPECT_FALSE(HasKey(*array, "2"));
  ExpectError(err::kInvalidProcedureCall, [&] { array->IsString(1); });  // no key "1"

  const TavrixPtr full = Make(KindBoundedArray, {"a", "b"});
  full->Item(2, "c");
  ExpectError(ErrSubscriptOutOfRange, [&] { full->Item(3, "c"); });
  ExpectError(ErrSubscriptOutOfRange, [&] { full->Item("1", "c"); });  // a text is never <= a number
  ExpectError(err::kInvalidUseOfNull, [&] { full->Item(Variant::Null(), "c"); });
  ExpectError(ErrSubscriptOutOfRange, [&] { full->Item(0, "c"); });  // 0 <= 2, but no room for a new one
  EXPECT_IDENTICAL(ElementsOf(*full), (Values{"a", "c"}));
  // Made with another negative bound, an array accepts only indexes up to its count.
  const TavrixPtr odd = Tavrix::Create();
  odd->SetArray(-3);
  ExpectError(ErrSubscriptOutOfRange, [&] { odd->Item(1, "v"); });
  odd->Item(0, "zero");
  EXPECT_IDENTICAL(odd->Item("0"), Variant("zero"));
}

TEST(TavrixStores, AVariantKeepsItsValueUnderTheIndexText) {
  const TavrixPtr t = Make(KindVariant, {12345});
  t->Item(2, "xy");
  EXPECT_EQ(t->Length(), 5);  // still the value at position 1
  t->Item(1, 7);              // removes the element 1 names, appends under "1"
  EXPECT_IDENTICAL(t->Item(1), Variant("xy"));
  EXPECT_IDENTICAL(t->Item("1"), Variant(7));
  // Position 1 now carries the key "2": storing under 1 would need a second key "1" and
  // is refused before anything goes.
  ExpectError(err::kDuplicateKey, [&] { t->Item(1, "z"); });
  EXPECT_IDENTICAL(t->Item("2"), Variant("xy"));
  EXPECT_IDENTICAL(t->Item("1"), Variant(7));
}

TEST(TavrixItem, KindsLengthAndTheProxy) {
  for (const TavrixKind kind : {KindNil, KindStack, KindQueue, KindSet}) {
    const TavrixPtr t = Make(kind);
    if (kind != KindSet) ExpectError(ErrInvalidOperation, [&] { t->Item(); });
    ExpectError(ErrInvalidOperation, [&] { t->Item(1, 1); });
  }
  EXPECT_IDENTICAL(Make(KindSet, {"only"})->Item(), Variant("only"));
  ExpectError(err::kInvalidProcedureCall, [&] { Make(KindMap)->Item("none"); });
  ExpectError(err::kSubscriptOutOfRange, [&] { Tavrix::Create()->Length(); });
  EXPECT_EQ(Make(KindVariant, {"h\xC3\xA9!"})->Length(), 3);  // characters, not bytes
  EXPECT_EQ(Make(KindVariant, {Variant::Null()})->Length(), 0);
  EXPECT_EQ(Make(KindQueue, {1, 2})->Length(), 2);
  ExpectError(ErrInvalidOperation, [&] { Make(KindNil)->Length(); });
  const TavrixPtr map = Make(KindMap);
  (*map)["a"] = 5;
  (*map)["z"] = nullptr;
  EXPECT_IDENTICAL((*map)["a"].Get(), Variant(5));
  EXPECT_IDENTICAL(map->Item("z"), Variant::Null());
}

// A value scan compares as Find's does (its cases are there).
TEST(TavrixExists, KeysOrPositionsOfAMapValuesOfSequences) {
  const TavrixPtr map = Make(KindMap, {"a", "b", "c"});
  const TavrixPtr queue = Make(KindQueue, {"q", 2});
  const std::pair<TavrixPtr, Variant> present[] = {{map, 2}, {map, "c"}, {queue, 2.0}};
  const std::pair<TavrixPtr, Variant> absent[] = {
      {map, 4}, {map, "zz"}, {map, Variant::Array({1})}, {Make(KindVariant, {5}), 5}, {Make(KindNil), 1}};
  for (const auto& [t, key] : present) EXPECT_TRUE(t->Exists(key)) << key;
  for (const auto& [t, key] : absent) EXPECT_FALSE(t->Exists(key)) << key;
}

// KeysOf reads the keys through GetKeys in every test; here what they are held in.
TEST(TavrixGetKeys, ANewUnboundedArray) {
  const TavrixPtr map = Make(KindMap, {"k"});
  const TavrixPtr keys = map->GetKeys();
  keys->AddLast("new");
  EXPECT_EQ(keys->Kind(), KindUnboundedArray);
  EXPECT_EQ(map->Length(), 1);
  EXPECT_EQ(Make(KindMap)->GetKeys()->Length(), 0);
  ExpectError(ErrInvalidOperation, [&] { Make(KindUnboundedArray)->GetKeys(); });
}

// Which predicate answers True for which type is the late-binding test's table.
TEST(TavrixPredicates, TestTheElementUnderTheIndexText) {
  const TavrixPtr map = MapOf("l", Variant::Long(1), "1", "under one");
  EXPECT_FALSE(map->IsLong(1));
  EXPECT_TRUE(map->IsString(1));  // the key "1", not the first entry
  EXPECT_TRUE(map->IsLong("l"));
  ExpectError(err::kInvalidProcedureCall, [&] { map->IsLong("missing"); });
  ExpectError(err::kInvalidUseOfNull, [&] { map->IsLong(Variant::Null()); });
  ExpectError(err::kObjectNotSet, [&] { Make(KindNil)->IsEmpty(); });
}

}  // namespace
}  // namespace quenlo
