// AddLast, AddFirst and Insert: where the value goes, which key it gets, what is refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/tavrix_expect.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo {
namespace {

using testing::ElementsOf;
using testing::ExpectInvalidOperation;
using testing::ExpectOutOfRange;
using testing::ExpectRuntimeError;
using testing::ExpectTavrixError;
using testing::HasKey;
using testing::KeysOf;
using testing::MakeKind;

TavrixPtr MakeArray(const Variant& upper_bound) {
  TavrixPtr t = Tavrix::Create();
  t->SetArray(upper_bound);
  return t;
}

void ExpectDuplicate(auto&& call) {
  ExpectTavrixError(call, ErrDuplicateValue, "Duplicate value not allowed");
}

TEST(TavrixAddMap, KeysAreAddedWithANullValueInOrder) {
  const TavrixPtr map = MakeKind(KindMap);
  EXPECT_TRUE(map->AddLast("a").IsEmpty());
  map->AddLast("b");
  EXPECT_TRUE(map->AddFirst("c").IsEmpty());
  EXPECT_EQ(KeysOf(*map), (std::vector<Variant>{"c", "a", "b"}));
  EXPECT_TRUE(map->IsNull("a") && map->IsNull("b") && map->IsNull("c"));

  ExpectDuplicate([&] { map->AddLast("a"); });
  ExpectDuplicate([&] { map->AddFirst("b"); });
  ExpectDuplicate([&] { map->AddLast(2); });  // a number is looked up as a position
  EXPECT_EQ(KeysOf(*map), (std::vector<Variant>{"c", "a", "b"}));

  map->AddLast(4);
  EXPECT_EQ(KeysOf(*map), (std::vector<Variant>{"c", "a", "b", 4}));
  EXPECT_TRUE(map->IsNull(4));
}

TEST(TavrixAddMap, AddFirstPutsTheNewKeyFirstWhateverTheFirstKeyIs) {
  const TavrixPtr map = MakeKind(KindMap);
  map->AddFirst(5);  // on an empty Map as AddLast
  map->AddLast("x");
  map->AddFirst("y");
  EXPECT_EQ(KeysOf(*map), (std::vector<Variant>{"y", 5, "x"}));

  const TavrixPtr numbered = MakeKind(KindMap);
  numbered->AddLast(2);
  numbered->AddLast("p");
  numbered->AddLast("q");
  numbered->AddFirst("first");
  EXPECT_EQ(KeysOf(*numbered), (std::vector<Variant>{"first", 2, "p", "q"}));
  numbered->Item("first", 1);
  EXPECT_EQ(numbered->Item(1), Variant(1));  // Keys and Values stay parallel
}

TEST(TavrixAddMap, KeysWithoutTextOrWithATakenTextAreRefusedUnchanged) {
  const TavrixPtr map = MakeKind(KindMap);
  map->AddLast("7");
  ExpectRuntimeError([&] { map->AddLast(Variant::Null()); }, err::kInvalidUseOfNull);
  ExpectRuntimeError([&] { map->AddFirst(Variant::Array({1})); }, err::kTypeMismatch);
  ExpectRuntimeError([&] { map->AddLast(7); }, err::kDuplicateKey);  // position 7 is absent
  ExpectRuntimeError([&] { map->AddFirst(7); }, err::kDuplicateKey);
  EXPECT_EQ(KeysOf(*map), std::vector<Variant>{"7"});
}

TEST(TavrixAddArray, AddLastKeysByPositionAndRespectsTheBound) {
  const TavrixPtr array = MakeArray(2);
  EXPECT_TRUE(array->AddLast("a").IsEmpty());
  array->AddLast("b");
  EXPECT_EQ(array->Item("1"), Variant("a"));
  EXPECT_EQ(array->Item("2"), Variant("b"));
  ExpectOutOfRange([&] { array->AddLast("c"); });
  ExpectOutOfRange([&] { array->AddFirst("c"); });
  ExpectOutOfRange([&] { array->Insert(1, "c"); });
  EXPECT_EQ(ElementsOf(*array), (std::vector<Variant>{"a", "b"}));

  const TavrixPtr none = MakeArray(0);
  ExpectOutOfRange([&] { none->AddLast(1); });
  ExpectOutOfRange([&] { none->AddFirst(1); });
  EXPECT_EQ(none->Length(), 0);
}

TEST(TavrixAddArray, AddFirstKeysOnlyTheFirstElementOfAnEmptyArray) {
  const TavrixPtr array = MakeArray(2);
  EXPECT_TRUE(array->AddFirst("old").IsEmpty());
  EXPECT_EQ(array->Item("1"), Variant("old"));
  array->AddFirst("new");
  EXPECT_EQ(ElementsOf(*array), (std::vector<Variant>{"new", "old"}));
  EXPECT_EQ(array->Item("1"), Variant("old"));
  EXPECT_FALSE(HasKey(*array, "2"));

  const TavrixPtr unbounded = MakeArray(-1);
  for (int i = 1; i <= 10000; ++i) unbounded->AddLast(i);
  unbounded->AddFirst(0);
  EXPECT_EQ(unbounded->Length(), 10001);
  EXPECT_EQ(unbounded->Item(1), Variant(0));
  EXPECT_EQ(unbounded->Item("10000"), Variant(10000));
}

TEST(TavrixAddArray, AddLastAfterRemoveStoresWithoutAKeyWhenItsTextIsTaken) {
  const TavrixPtr array = MakeArray(-1);
  array->AddLast("a");
  array->AddLast("b");
  array->AddLast("c");
  array->Remove(1);
  array->AddLast("d");  // "3" still belongs to "c"
  array->AddLast("e");
  EXPECT_EQ(ElementsOf(*array), (std::vector<Variant>{"b", "c", "d", "e"}));
  EXPECT_EQ(array->Item("3"), Variant("c"));
  EXPECT_EQ(array->Item("4"), Variant("e"));
}

TEST(TavrixInsert, PlacesBeforeAnExistingElementOnly) {
  const TavrixPtr array = MakeArray(-1);
  ExpectRuntimeError([&] { array->Insert(1, "x"); }, err::kSubscriptOutOfRange);
  array->AddLast("a");
  array->AddLast("b");
  array->Insert(1, "first");
  array->Insert("2", "before b");  // a text names a key
  EXPECT_EQ(ElementsOf(*array), (std::vector<Variant>{"first", "a", "before b", "b"}));
  ExpectRuntimeError([&] { array->Insert(5, "x"); }, err::kSubscriptOutOfRange);
  ExpectRuntimeError([&] { array->Insert("none", "x"); }, err::kInvalidProcedureCall);
  EXPECT_EQ(array->Length(), 4);
  EXPECT_FALSE(HasKey(*array, "3"));

  const TavrixPtr bounded = MakeArray(3);
  bounded->AddLast(1);
  bounded->AddLast(2);
  bounded->Insert(2, 9);
  EXPECT_EQ(ElementsOf(*bounded), (std::vector<Variant>{1, 9, 2}));
  ExpectOutOfRange([&] { bounded->Insert(1, 0); });
  EXPECT_EQ(bounded->Length(), 3);
}

TEST(TavrixAddArray, TheBoundHoldsAgainAfterRemoveAll) {
  const TavrixPtr array = MakeArray(2);
  array->AddLast(1);
  array->AddLast(2);
  array->RemoveAll();
  EXPECT_EQ(array->Kind(), KindBoundedArray);
  EXPECT_EQ(array->Bound(), 2);
  array->AddFirst("x");
  array->Insert(1, "y");
  ExpectOutOfRange([&] { array->AddLast("z"); });
  ExpectOutOfRange([&] { array->AddFirst("z"); });
  ExpectOutOfRange([&] { array->Insert(1, "z"); });
  EXPECT_EQ(ElementsOf(*array), (std::vector<Variant>{"y", "x"}));
}

TEST(TavrixAdd, KindsThatRefuseAdding) {
  for (const TavrixKind kind : {KindVariant, KindNil, KindStack, KindQueue}) {
    const TavrixPtr t = MakeKind(kind);
    ExpectInvalidOperation([&] { t->AddLast(1); });
    ExpectInvalidOperation([&] { t->AddFirst(1); });
    ExpectInvalidOperation([&] { t->Insert(1, 1); });
    if (kind != KindNil) {
      EXPECT_EQ(t->Find(1), -1);  // nothing was added
    }
  }
  const TavrixPtr set = Tavrix::Create();
  set->SetSet(1, 2);
  ExpectInvalidOperation([&] { set->AddLast(3); });
  ExpectInvalidOperation([&] { set->AddFirst(3); });
  ExpectInvalidOperation([&] { set->Insert(1, 3); });
  EXPECT_EQ(ElementsOf(*set), (std::vector<Variant>{1, 2}));

  const TavrixPtr map = MakeKind(KindMap);
  map->AddLast("a");
  ExpectInvalidOperation([&] { map->Insert(1, "b"); });
  EXPECT_EQ(KeysOf(*map), std::vector<Variant>{"a"});
}

}  // namespace
}  // namespace quenlo
