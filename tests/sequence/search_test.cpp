// Find: keys of a Map, values of every other kind, from a start position.
#include <gtest/gtest.h>

#include "core/tavrix_expect.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo {
namespace {

using testing::ExpectInvalidOperation;
using testing::ExpectRuntimeError;
using testing::MakeKind;

TEST(TavrixFind, ValuesFromTheStartPositionCaseSensitively) {
  const TavrixPtr array = MakeKind(KindUnboundedArray);
  array->AddLast("x");
  array->AddLast("y");
  array->AddLast("x");
  EXPECT_EQ(array->Find("x"), 1);
  EXPECT_EQ(array->Find("x", 2), 3);
  EXPECT_EQ(array->Find("x", "2"), 3);  // Start is converted
  EXPECT_EQ(array->Find("y", 3), -1);
  EXPECT_EQ(array->Find("X"), -1);
  EXPECT_EQ(array->Find("x", 4), -1);
  ExpectRuntimeError([&] { array->Find("x", "soon"); }, err::kTypeMismatch);
}

TEST(TavrixFind, AStartBelowOneFailsEvenOnAnEmptyContainer) {
  const TavrixPtr array = MakeKind(KindUnboundedArray);
  EXPECT_EQ(array->Find("x"), -1);
  EXPECT_EQ(array->Find("x", 5), -1);
  ExpectRuntimeError([&] { array->Find("x", 0); }, err::kSubscriptOutOfRange);
  ExpectRuntimeError([&] { array->Find("x", -1); }, err::kSubscriptOutOfRange);
  array->AddLast("x");
  ExpectRuntimeError([&] { array->Find("x", 0); }, err::kSubscriptOutOfRange);
  const TavrixPtr map = MakeKind(KindMap);
  ExpectRuntimeError([&] { map->Find("x", 0); }, err::kSubscriptOutOfRange);
}

TEST(TavrixFind, NumbersCompareByValueAcrossTypes) {
  const TavrixPtr array = MakeKind(KindUnboundedArray);
  array->AddLast(Variant::Integer(2));
  array->AddLast("2");
  EXPECT_EQ(array->Find(2.0), 1);
  EXPECT_EQ(array->Find(Variant::Long(2)), 1);
  EXPECT_EQ(array->Find(Currency::FromScaled(20000)), 1);
  EXPECT_EQ(array->Find("2"), 2);  // a text never equals a number
  EXPECT_EQ(array->Find(2.5), -1);
  EXPECT_EQ(array->Find(Variant::Null()), -1);
  EXPECT_EQ(array->Find(Variant::Array({2})), -1);  // the value scan tolerates failures
}

TEST(TavrixFind, ObjectsMatchOnlyThemselves) {
  const TavrixPtr nested = Tavrix::Create();
  const TavrixPtr array = MakeKind(KindUnboundedArray);
  array->AddLast(1);
  array->AddLast(nested);
  EXPECT_EQ(array->Find(nested), 2);
  EXPECT_EQ(array->Find(Tavrix::Create()), -1);
}

TEST(TavrixFind, AMapIsSearchedByKey) {
  const TavrixPtr map = MakeKind(KindMap);
  map->Item("a", "x");
  map->Item("b", "y");
  map->Item(3, "z");
  EXPECT_EQ(map->Find("b"), 2);
  EXPECT_EQ(map->Find("y"), -1);
  EXPECT_EQ(map->Find(3.0), 3);
  EXPECT_EQ(map->Find("a", 2), -1);
  EXPECT_EQ(map->Find(Variant::Null()), -1);
  // The key scan has no tolerance for a comparison that cannot be made.
  ExpectRuntimeError([&] { map->Find(Variant::Array({1})); }, err::kTypeMismatch);
}

TEST(TavrixFind, EveryKindButNilIsSearched) {
  const TavrixPtr variant = Tavrix::Create();
  variant->Item(1, "v");
  EXPECT_EQ(variant->Find("v"), 1);
  const TavrixPtr set = Tavrix::Create();
  set->SetSet("p", "q");
  EXPECT_EQ(set->Find("q"), 2);
  const TavrixPtr queue = MakeKind(KindQueue);
  queue->Push("first");
  queue->Push("second");
  EXPECT_EQ(queue->Find("second"), 2);
  ExpectInvalidOperation([] { MakeKind(KindNil)->Find(1); });
}

}  // namespace
}  // namespace quenlo
