// Remove, RemoveAll, Push, Pop and Find.
#include <gtest/gtest.h>

#include <memory>

#include "core/tavrix_expect.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo {
namespace {

using namespace quenlo::testing;

TEST(TavrixRemove, ByPositionOrKeyKeepingTheOtherKeys) {
  const TavrixPtr array = Make(KindUnboundedArray, {10, 20, 30});
  EXPECT_TRUE(array->Remove().IsEmpty());
  EXPECT_EQ(array->Item("2"), Variant(20));
  array->Remove("3");
  EXPECT_EQ(ElementsOf(*array), Values{20});

  const TavrixPtr map = Make(KindMap, {"a", "b", "c"});
  map->Item("c", 3);
  map->Remove("b");
  map->Remove(1);
  EXPECT_EQ(KeysOf(*map), Values{"c"});
  EXPECT_EQ(map->Item("c"), Variant(3));
  ExpectError([&] { map->Remove("z"); }, err::kInvalidProcedureCall);
  ExpectError([&] { map->Remove(2); }, err::kSubscriptOutOfRange);
  EXPECT_EQ(KeysOf(*map), Values{"c"});
  ExpectError([&] { Make(KindMap)->Remove(); }, err::kSubscriptOutOfRange);
  ExpectError([&] { Make(KindUnboundedArray)->Remove(); }, err::kSubscriptOutOfRange);
}

TEST(TavrixRemove, RemoveAllReleasesOnlyWhatNothingElseHolds) {
  const TavrixPtr kept = Tavrix::Create();
  std::weak_ptr<Tavrix> dropped;
  const TavrixPtr map = Make(KindMap);
  map->Item("kept", kept);
  map->Item("dropped", Tavrix::Create());
  dropped = map->Item("dropped").ObjectAs<Tavrix>();
  map->RemoveAll();
  EXPECT_EQ(map->Kind(), KindMap);
  EXPECT_TRUE(dropped.expired());
  kept->Item(1, "still usable");
  map->AddLast("kept");
  EXPECT_EQ(KeysOf(*map), Values{"kept"});
}

TEST(TavrixStackQueue, OrderIdentityAndEmptiness) {
  const TavrixPtr stack = Make(KindStack, {1, 2, 3});
  const TavrixPtr queue = Make(KindQueue, {1, 2, 3});
  EXPECT_EQ(stack->Find(3), 1);  // position 1 leaves next
  EXPECT_EQ(queue->Find(3), 3);
  for (int i = 3; i >= 1; --i) EXPECT_EQ(stack->Pop(), Variant(i));
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(queue->Pop(), Variant(i));
  ExpectError([&] { stack->Pop(); }, ErrSubscriptOutOfRange);
  ExpectError([&] { queue->Pop(); }, ErrSubscriptOutOfRange);

  const TavrixPtr nested = Tavrix::Create();
  stack->Push(nested);
  stack->Pop().ObjectAs<Tavrix>()->SetMap();
  EXPECT_EQ(nested->Kind(), KindMap);
  queue->Push(Variant());
  queue->Push(Variant::Null());
  queue->Push(Variant::Array({1, "two"}));
  EXPECT_TRUE(queue->Pop().IsEmpty());
  EXPECT_TRUE(queue->Pop().IsNull());
  EXPECT_EQ(queue->Pop().AsArray(), (Values{1, "two"}));

  for (const TavrixKind kind :
       {KindMap, KindBoundedArray, KindUnboundedArray, KindVariant, KindNil, KindSet}) {
    ExpectError([&] { Make(kind)->Push(1); }, ErrInvalidOperation);
    ExpectError([&] { Make(kind)->Pop(); }, ErrInvalidOperation);
  }
}

TEST(TavrixFind, ValuesFromStartAcrossNumericTypesAndObjects) {
  const TavrixPtr nested = Tavrix::Create();
  const TavrixPtr array = Make(KindUnboundedArray, {"x", "y", "x", Variant::Integer(2), nested});
  EXPECT_EQ(array->Find("x"), 1);
  EXPECT_EQ(array->Find("x", 2), 3);
  EXPECT_EQ(array->Find("x", "2"), 3);
  EXPECT_EQ(array->Find("X"), -1);
  EXPECT_EQ(array->Find("x", 6), -1);
  EXPECT_EQ(array->Find(2.0), 4);
  EXPECT_EQ(array->Find(Currency::FromScaled(20000)), 4);
  EXPECT_EQ(array->Find("2"), -1);
  EXPECT_EQ(array->Find(nested), 5);
  EXPECT_EQ(array->Find(Tavrix::Create()), -1);
  EXPECT_EQ(array->Find(Variant::Null()), -1);
  EXPECT_EQ(array->Find(Variant::Array({2})), -1);  // the value scan tolerates failures
  ExpectError([&] { array->Find("x", 0); }, err::kSubscriptOutOfRange);
  ExpectError([&] { array->Find("x", "soon"); }, err::kTypeMismatch);

  EXPECT_EQ(Make(KindUnboundedArray)->Find("x", 5), -1);
  ExpectError([&] { Make(KindUnboundedArray)->Find("x", 0); }, err::kSubscriptOutOfRange);
  EXPECT_EQ(Make(KindVariant, {"v"})->Find("v"), 1);
  EXPECT_EQ(Make(KindSet, {"p", "q"})->Find("q"), 2);
  ExpectError([&] { Make(KindNil)->Find(1); }, ErrInvalidOperation);
}

TEST(TavrixFind, AMapIsSearchedByKeyWithoutTolerance) {
  const TavrixPtr map = Make(KindMap, {"a", "b", 3});
  map->Item("b", "y");
  EXPECT_EQ(map->Find("b"), 2);
  EXPECT_EQ(map->Find("y"), -1);
  EXPECT_EQ(map->Find(3.0), 3);
  EXPECT_EQ(map->Find("a", 2), -1);
  EXPECT_EQ(map->Find(Variant::Null()), -1);
  ExpectError([&] { map->Find(Variant::Array({1})); }, err::kTypeMismatch);
  ExpectError([&] { Make(KindMap)->Find("x", 0); }, err::kSubscriptOutOfRange);
}

}  // namespace
}  // namespace quenlo
