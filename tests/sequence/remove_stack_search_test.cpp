// Remove, RemoveAll, Push, Pop and Find.
#include <gtest/gtest.h>

#include <memory>

#include "quenlo/tavrix.hpp"
#include "support/containers.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

using namespace quenlo::testing;

// Find answers each data, position pair of the arguments.
void ExpectFound(const Tavrix&) {}
void ExpectFound(const Tavrix& t, const Variant& data, std::int32_t position, const auto&... rest) {
  EXPECT_EQ(t.Find(data), position) << data;
  ExpectFound(t, rest...);
}

TEST(TavrixRemove, ByPositionOrKeyKeepingTheOtherKeys) {
  const TavrixPtr array = Make(KindUnboundedArray, {10, 20, 30});
  EXPECT_TRUE(array->Remove().IsEmpty());
  array->Remove("3");
  EXPECT_IDENTICAL(array->Item("2"), Variant(20));
  ExpectError(err::kSubscriptOutOfRange, [&] { Make(KindUnboundedArray)->Remove(); });

  const TavrixPtr map = MapOf("a", 1, "b", 2, "c", 3);
  map->Remove("b");
  map->Remove(1);
  ExpectError(err::kInvalidProcedureCall, [&] { map->Remove("z"); });
  ExpectError(err::kSubscriptOutOfRange, [&] { map->Remove(2); });
  EXPECT_IDENTICAL(KeysOf(*map), Values{"c"});
  EXPECT_IDENTICAL(ElementsOf(*map), Values{3});  // Keys and Values stay parallel

  // RemoveAll releases only what nothing else holds.
  const TavrixPtr kept = Tavrix::Create();
  map->Item("kept", kept);
  map->Item("dropped", Tavrix::Create());
  const std::weak_ptr<Tavrix> dropped = map->Item("dropped").ObjectAs<Tavrix>();
  map->RemoveAll();
  EXPECT_TRUE(dropped.expired());
  EXPECT_EQ(map->Length(), 0);
  kept->Item(1, "still usable");
}

TEST(TavrixStackQueue, OrderIdentityAndEmptiness) {
  const TavrixPtr stack = Make(KindStack, {1, 2, 3});
  const TavrixPtr queue = Make(KindQueue, {1, 2, 3});
  EXPECT_EQ(stack->Find(3), 1);  // position 1 leaves next
  EXPECT_EQ(queue->Find(3), 3);
  for (int i = 3; i >= 1; --i) EXPECT_IDENTICAL(stack->Pop(), Variant(i));
  for (int i = 1; i <= 3; ++i) EXPECT_IDENTICAL(queue->Pop(), Variant(i));
  ExpectError(ErrSubscriptOutOfRange, [&] { stack->Pop(); });
  ExpectError(ErrSubscriptOutOfRange, [&] { queue->Pop(); });
  // Any value goes through unchanged, a container as itself.
  for (const Variant& value : {Variant(), Variant::Null(), Variant::Array({1, "two"}), Variant(stack)}) {
    queue->Push(value);
    EXPECT_IDENTICAL(queue->Pop(), value);
  }
  for (const TavrixKind kind :
       {KindMap, KindBoundedArray, KindUnboundedArray, KindVariant, KindNil, KindSet}) {
    ExpectError(ErrInvalidOperation, [&] { Make(kind)->Push(1); });
    ExpectError(ErrInvalidOperation, [&] { Make(kind)->Pop(); });
  }
}

TEST(TavrixFind, ValuesFromStartAcrossNumericTypesAndObjects) {
  const TavrixPtr nested = Tavrix::Create();
  const TavrixPtr array = Make(KindUnboundedArray, {"x", "y", "x", Variant::Integer(2), nested});
  // The value scan tolerates failed comparisons.
  ExpectFound(*array, "x", 1, "X", -1, 2.0, 4, Currency::FromScaled(20000), 4, "2", -1, nested, 5,
              Tavrix::Create(), -1, Variant::Null(), -1, Variant::Array({2}), -1);
  EXPECT_EQ(array->Find("x", "2"), 3);
  EXPECT_EQ(array->Find("x", 6), -1);
  ExpectError(err::kSubscriptOutOfRange, [&] { array->Find("x", 0); });
  ExpectError(err::kTypeMismatch, [&] { array->Find("x", "soon"); });
  EXPECT_EQ(Make(KindVariant, {"v"})->Find("v"), 1);
  EXPECT_EQ(Make(KindSet, {"p", "q"})->Find("q"), 2);
  ExpectError(ErrInvalidOperation, [&] { Make(KindNil)->Find(1); });
}

TEST(TavrixFind, AMapIsSearchedByKeyWithoutTolerance) {
  const TavrixPtr map = MapOf("a", 1, "b", "y", 3, 3);
  ExpectFound(*map, "b", 2, "y", -1, 3.0, 3, Variant::Null(), -1);
  EXPECT_EQ(map->Find("a", 2), -1);
  ExpectError(err::kTypeMismatch, [&] { map->Find(Variant::Array({1})); });
  ExpectError(err::kSubscriptOutOfRange, [&] { Make(KindMap)->Find("x", 0); });
}

}  // namespace
}  // namespace quenlo
