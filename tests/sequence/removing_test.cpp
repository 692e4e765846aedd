// Remove, RemoveAll, Push and Pop.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/tavrix_expect.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo {
namespace {

using testing::ElementsOf;
using testing::ExpectInvalidOperation;
using testing::ExpectOutOfRange;
using testing::ExpectRuntimeError;
using testing::KeysOf;
using testing::MakeKind;

TEST(TavrixRemove, RemovesByPositionOrKeyAndKeepsTheOtherKeys) {
  const TavrixPtr array = MakeKind(KindUnboundedArray);
  array->AddLast(10);
  array->AddLast(20);
  array->AddLast(30);
  EXPECT_TRUE(array->Remove().IsEmpty());
  EXPECT_EQ(ElementsOf(*array), (std::vector<Variant>{20, 30}));
  EXPECT_EQ(array->Item("2"), Variant(20));
  array->Remove("3");
  EXPECT_EQ(ElementsOf(*array), std::vector<Variant>{20});

  const TavrixPtr map = MakeKind(KindMap);
  map->Item("a", 1);
  map->Item("b", 2);
  map->Item("c", 3);
  map->Remove("b");
  EXPECT_EQ(KeysOf(*map), (std::vector<Variant>{"a", "c"}));
  EXPECT_EQ(ElementsOf(*map), (std::vector<Variant>{1, 3}));
  map->Remove(1);
  EXPECT_EQ(KeysOf(*map), std::vector<Variant>{"c"});
  EXPECT_EQ(map->Item("c"), Variant(3));
}

TEST(TavrixRemove, AMissingElementFailsWithTheStorageErrorAndChangesNothing) {
  const TavrixPtr map = MakeKind(KindMap);
  ExpectRuntimeError([&] { map->Remove(); }, err::kSubscriptOutOfRange);
  map->Item("a", 1);
  ExpectRuntimeError([&] { map->Remove("z"); }, err::kInvalidProcedureCall);
  ExpectRuntimeError([&] { map->Remove(2); }, err::kSubscriptOutOfRange);
  EXPECT_EQ(KeysOf(*map), std::vector<Variant>{"a"});
  EXPECT_EQ(map->Item("a"), Variant(1));

  const TavrixPtr array = MakeKind(KindUnboundedArray);
  ExpectRuntimeError([&] { array->Remove(); }, err::kSubscriptOutOfRange);
}

TEST(TavrixRemoveAll, EmptiesMapsAndArraysAndReleasesTheirElements) {
  const TavrixPtr kept = Tavrix::Create();
  std::weak_ptr<Tavrix> dropped;
  const TavrixPtr map = MakeKind(KindMap);
  map->Item("kept", kept);
  {
    const TavrixPtr temporary = Tavrix::Create();
    dropped = temporary;
    map->Item("dropped", temporary);
  }
  map->RemoveAll();
  EXPECT_EQ(map->Kind(), KindMap);
  EXPECT_EQ(map->Length(), 0);
  EXPECT_TRUE(dropped.expired());
  EXPECT_EQ(kept->Kind(), KindVariant);
  map->AddLast("kept");
  EXPECT_EQ(KeysOf(*map), std::vector<Variant>{"kept"});

  const TavrixPtr array = MakeKind(KindUnboundedArray);
  array->AddLast(1);
  array->RemoveAll();
  EXPECT_EQ(array->Length(), 0);
  array->AddLast(2);
  EXPECT_EQ(array->Item("1"), Variant(2));
}

TEST(TavrixRemove, KindsThatRefuseRemoving) {
  for (const TavrixKind kind : {KindVariant, KindNil, KindStack, KindQueue}) {
    const TavrixPtr t = MakeKind(kind);
    ExpectInvalidOperation([&] { t->Remove(); });
    ExpectInvalidOperation([&] { t->RemoveAll(); });
  }
  const TavrixPtr stack = MakeKind(KindStack);
  stack->Push(1);
  ExpectInvalidOperation([&] { stack->Remove(1); });
  ExpectInvalidOperation([&] { stack->RemoveAll(); });
  EXPECT_EQ(stack->Length(), 1);
  const TavrixPtr set = Tavrix::Create();
  set->SetSet(1);
  ExpectInvalidOperation([&] { set->Remove(); });
  EXPECT_EQ(set->Length(), 1);
}

TEST(TavrixStackQueue, StackPopsTheLastPushedQueueTheFirst) {
  const TavrixPtr stack = MakeKind(KindStack);
  const TavrixPtr queue = MakeKind(KindQueue);
  for (int i = 1; i <= 3; ++i) {
    stack->Push(i);
    queue->Push(i);
  }
  EXPECT_EQ(stack->Find(3), 1);  // position 1 leaves next
  EXPECT_EQ(queue->Find(3), 3);
  EXPECT_TRUE(stack->Exists(2));
  for (int i = 3; i >= 1; --i) EXPECT_EQ(stack->Pop(), Variant(i));
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(queue->Pop(), Variant(i));
  ExpectOutOfRange([&] { stack->Pop(); });
  ExpectOutOfRange([&] { queue->Pop(); });
  EXPECT_EQ(stack->Length(), 0);
}

TEST(TavrixStackQueue, PopHandsOutTheSameObjectAndAnyValue) {
  const TavrixPtr stack = MakeKind(KindStack);
  const TavrixPtr nested = Tavrix::Create();
  stack->Push(nested);
  const TavrixPtr popped = stack->Pop().ObjectAs<Tavrix>();
  EXPECT_EQ(popped, nested);
  popped->SetMap();
  EXPECT_EQ(nested->Kind(), KindMap);

  const TavrixPtr queue = MakeKind(KindQueue);
  queue->Push(Variant());
  queue->Push(Variant::Null());
  queue->Push(Variant::Array({1, "two"}));
  EXPECT_TRUE(queue->Pop().IsEmpty());
  EXPECT_TRUE(queue->Pop().IsNull());
  const Variant array = queue->Pop();
  ASSERT_TRUE(array.IsArray());
  EXPECT_EQ(array.AsArray(), (std::vector<Variant>{1, "two"}));
}

TEST(TavrixStackQueue, OtherKindsRefusePushAndPop) {
  for (const TavrixKind kind : {KindMap, KindBoundedArray, KindUnboundedArray, KindVariant, KindNil}) {
    const TavrixPtr t = MakeKind(kind);
    ExpectInvalidOperation([&] { t->Push(1); });
    ExpectInvalidOperation([&] { t->Pop(); });
  }
  const TavrixPtr set = Tavrix::Create();
  set->SetSet(1);
  ExpectInvalidOperation([&] { set->Pop(); });
  EXPECT_EQ(set->Length(), 1);
}

}  // namespace
}  // namespace quenlo
