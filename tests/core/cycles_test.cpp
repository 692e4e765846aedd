// Cycle collection: containers that hold one another are released once no caller reaches
// them, and left alone while one does.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "quenlo/tavrix.hpp"
#include "support/containers.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

using namespace quenlo::testing;

// An object of a class of the caller's own that holds a container.
struct Holder final : Object {
  explicit Holder(TavrixPtr held_container) : held(std::move(held_container)) {}
  TavrixPtr held;
};

// Two containers holding each other: an Array whose first element is a Map whose "back" is
// the Array again.
std::pair<TavrixPtr, TavrixPtr> Ring() {
  const TavrixPtr array = Make(KindUnboundedArray);
  const TavrixPtr map = Make(KindMap);
  array->AddLast(map);
  map->Item("back", array);
  return {array, map};
}

// A dropped cycle is released with everything it alone holds, and lets go of what a caller
// still holds.
TEST(CycleCollection, ReleasesDroppedCyclesWithEverythingTheyHold) {
  Tavrix::CollectCycles();  // whatever earlier tests of this program left behind
  std::vector<std::weak_ptr<Tavrix>> dropped;
  std::int32_t identity = 0;
  const TavrixPtr kept = MapOf("a", 1);
  {
    const TavrixPtr self = MapOf("n", 1, "kept", kept);
    kept->Item("b", Make(KindQueue, {2}));
    self->Item("self", self);
    identity = IdentityRegistry::IdentityOf(self);
    // A three-container cycle, closed through a Variant array, with a leaf and a deep chain
    // hanging off it.
    const TavrixPtr array = Make(KindUnboundedArray), stack = Make(KindStack), queue = Make(KindQueue);
    array->AddLast(stack);
    stack->Push(Variant::Array({1, queue}));
    queue->Push(array);
    const TavrixPtr leaf = MapOf("x", 2), chain = Tavrix::Create();
    array->AddLast(leaf);
    TavrixPtr link = chain;
    for (int level = 0; level < 100000; ++level) {
      const TavrixPtr next = Tavrix::Create();
      link->Item(1, next);
      link = next;
    }
    queue->Push(chain);
    dropped = {self, array, stack, queue, leaf, chain, link};
  }
  for (const auto& container : dropped) EXPECT_FALSE(container.expired());
  EXPECT_EQ(Tavrix::CollectCycles(), 4u + 1u + 100001u);  // the cycles, the leaf, the chain
  for (const auto& container : dropped) EXPECT_TRUE(container.expired());
  ExpectError(err::kInvalidProcedureCall, [&] { IdentityRegistry::Resolve(identity); });
  EXPECT_EQ(Tavrix::CollectCycles(), 0u);
  EXPECT_EQ(kept->GetObjectString(), MapOf("a", 1, "b", Make(KindQueue, {2}))->GetObjectString());
}

TEST(CycleCollection, LeavesACycleThatAnythingOutsideTheContainersStillHolds) {
  Tavrix::CollectCycles();
  const auto expect_untouched = [](const TavrixPtr& array, const TavrixPtr& map) {
    EXPECT_EQ(Tavrix::CollectCycles(), 0u);
    EXPECT_IDENTICAL(array->Item(1), Variant(map));
    EXPECT_IDENTICAL(map->Item("back"), Variant(array));
  };
  std::weak_ptr<Tavrix> array_seen;
  {
    auto [array, map] = Ring();
    array_seen = array;
    const Variant outside_value = map;
    array.reset();
    expect_untouched(array_seen.lock(), map);  // a caller's TavrixPtr

    const auto holder = std::make_shared<Holder>(std::move(map));
    const TavrixPtr root = Make(KindStack, {array_seen.lock()});
    expect_untouched(array_seen.lock(), holder->held);  // a Variant, an object, a container
  }
  EXPECT_EQ(Tavrix::CollectCycles(), 2u);
  EXPECT_TRUE(array_seen.expired());
}

// A caller's object that, when it dies, asks for a container by its identity.
struct Resurrector final : Object {
  Resurrector(std::int32_t wanted_identity, std::shared_ptr<Object>& rescued_object,
              std::int32_t& error_number)
      : wanted(wanted_identity), rescued(rescued_object), error(error_number) {}
  ~Resurrector() override {
    error = ErrorNumberOf([&] { rescued = IdentityRegistry::Resolve(wanted); });
  }
  std::int32_t wanted;
  std::shared_ptr<Object>& rescued;
  std::int32_t& error;
};

TEST(CycleCollection, NoContainerOfADroppedCycleIsTakenUpWhileTheCycleIsEmptied) {
  Tavrix::CollectCycles();
  std::shared_ptr<Object> rescued;
  std::int32_t error = 0;
  {
    const auto [array, map] = Ring();
    map->Item("x", 1);
    array->AddLast(std::make_shared<Resurrector>(IdentityRegistry::IdentityOf(map), rescued, error));
  }
  // The object dies while the collection empties the cycle: the Map it asks for is no longer
  // to be had, rather than handed out to be emptied under the caller's hands.
  EXPECT_EQ(Tavrix::CollectCycles(), 2u);
  EXPECT_EQ(rescued, nullptr);
  EXPECT_EQ(error, err::kInvalidProcedureCall);
}

}  // namespace
}  // namespace quenlo
