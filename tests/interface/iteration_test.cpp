// Range-for over a container's elements and a Map's entries, and what a change during a loop
// does.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <ranges>
#include <string>
#include <vector>

#include "quenlo/quenlo.hpp"
#include "support/containers.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

using testing::Make;
using testing::Values;

Values Collected(const Tavrix& container) {
  Values seen;
  for (const Variant& value : container) seen.push_back(value);
  return seen;
}

TEST(Iteration, EveryKindYieldsItsElementsInTheOrderOfItsObjectString) {
  EXPECT_IDENTICAL(Collected(*testing::MapOf("b", 1, "a", "x")), (Values{1, "x"}));
  EXPECT_IDENTICAL(Collected(*Make(KindUnboundedArray, {2.5, "t", Variant::Null()})),
                   (Values{2.5, "t", Variant::Null()}));
  EXPECT_IDENTICAL(Collected(*Make(KindBoundedArray, {7, 8}, 3)), (Values{7, 8}));
  EXPECT_IDENTICAL(Collected(*Make(KindSet, {3, 1})), (Values{3, 1}));
  EXPECT_IDENTICAL(Collected(*Make(KindVariant, {Variant::Long(9)})), (Values{Variant::Long(9)}));
  EXPECT_IDENTICAL(Collected(*Make(KindNil)), Values{});

  // A Stack from its top, a Queue from its front: the order the writer uses.
  EXPECT_IDENTICAL(Collected(*Make(KindStack, {1, 2, 3})), (Values{3, 2, 1}));
  EXPECT_IDENTICAL(Collected(*Make(KindQueue, {1, 2, 3})), (Values{1, 2, 3}));
}

static_assert(std::input_iterator<Tavrix::ConstIterator> && std::ranges::input_range<const Tavrix&> &&
              std::ranges::input_range<Tavrix::ItemsView> && std::ranges::input_range<Tavrix::ItemRef>);

TEST(Iteration, AConstContainerIteratesAndAnIteratorKeepsItsContainerAlive) {
  TavrixPtr array = Make(KindUnboundedArray, {1, 2, 3, 4});
  const Tavrix& view = *array;
  EXPECT_EQ(std::count_if(view.begin(), view.end(), [](const Variant& v) { return v.get<int>() % 2 == 0; }),
            2);

  const std::weak_ptr<Tavrix> watch = array;
  auto next = array->begin();
  array.reset();
  ASSERT_FALSE(watch.expired());
  EXPECT_EQ(*next++, 1);
  EXPECT_EQ(*next, 2);
  next = {};
  EXPECT_TRUE(watch.expired());
}

TEST(Iteration, AutoReferencesBindAndStayValidWhenTheBodyEmptiesTheContainer) {
  const TavrixPtr array = Make(KindUnboundedArray, {std::string(40, 'x'), 2});
  for (auto& value : *array) {
    array->RemoveAll();
    EXPECT_EQ(value, std::string(40, 'x'));
    break;
  }
  const TavrixPtr map = testing::MapOf("k", std::string(40, 'y'));
  for (auto& [key, value] : map->Items()) {
    map->SetNil();
    EXPECT_EQ(key, "k");
    EXPECT_EQ(value, std::string(40, 'y'));
    break;
  }
}

TEST(Iteration, ItemsGivesAMapsKeysAndValuesInOrder) {
  const TavrixPtr map = testing::MapOf("port", Variant::Long(8080), 2, "two", "name", "main");
  std::vector<std::string> lines;
  for (const auto& [key, value] : map->Items()) lines.push_back(Describe(key) + " = " + Describe(value));
  EXPECT_EQ(lines, (std::vector<std::string>{"String \"port\" = Long 8080", "Integer 2 = String \"two\"",
                                             "String \"name\" = String \"main\""}));
  testing::ExpectError(ErrInvalidOperation, [&] { Make(KindUnboundedArray, {1})->Items(); });
  EXPECT_EQ(Make(KindMap)->Items().begin(), Make(KindMap)->Items().end());
}

TEST(Iteration, ChangingTheCountOrKindDuringALoopRaisesTenAtTheNextStep) {
  const auto loop_changing = [](const TavrixPtr& container, auto change) {
    try {
      for (const Variant& value : *container) {
        if (value == 2) change();
      }
    } catch (const Error& error) {
      EXPECT_EQ(error.Number(), err::kArrayLocked);
      EXPECT_NE(error.Context().find("position 2"), std::string::npos) << error.Context();
      return;
    }
    ADD_FAILURE() << "the loop went on after a change";
  };
  const TavrixPtr array = Make(KindUnboundedArray, {1, 2, 3});
  loop_changing(array, [&] { array->AddLast(4); });
  loop_changing(array, [&] { array->Remove(1); });
  const TavrixPtr map = testing::MapOf("a", 1, "b", 2, "c", 3);
  loop_changing(map, [&] { map->SetArray(); });
  const TavrixPtr queue = Make(KindQueue, {1, 2, 3});
  loop_changing(queue, [&] { queue->Pop(); });

  // Storing into an element that is there is no change of shape: the loop sees the value.
  const TavrixPtr values = Make(KindUnboundedArray, {1, 2, 3});
  Values seen;
  for (const Variant& value : *values) {
    seen.push_back(value);
    if (value == 1) values->Item(3, "new");
  }
  EXPECT_IDENTICAL(seen, (Values{1, 2, "new"}));
}

TEST(Iteration, ReadingPastTheEndRaisesNine) {
  const TavrixPtr array = Make(KindUnboundedArray, {1});
  auto end = array->end();
  testing::ExpectError(err::kSubscriptOutOfRange, [&] { static_cast<void>(*end); });
  testing::ExpectError(err::kSubscriptOutOfRange, [&] { ++end; });
}

}  // namespace
}  // namespace quenlo
