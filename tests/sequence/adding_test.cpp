// AddLast, AddFirst and Insert: where the value goes, which key it gets, what is refused.
#include <gtest/gtest.h>

#include "quenlo/tavrix.hpp"
#include "support/containers.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

using namespace quenlo::testing;

TEST(TavrixAddMap, KeysAreAddedWithANullValueAddFirstAlwaysFirst) {
  const TavrixPtr map = Make(KindMap, {2, "a"});
  EXPECT_TRUE(map->AddLast("b").IsEmpty());
  EXPECT_TRUE(map->AddFirst("c").IsEmpty());  // first, also before a number key
  map->Item("c", 1);
  EXPECT_IDENTICAL(ElementsOf(*map), (Values{1, Variant::Null(), Variant::Null(), Variant::Null()}));
  ExpectError(ErrDuplicateValue, [&] { map->AddLast("a"); });
  ExpectError(ErrDuplicateValue, [&] { map->AddFirst(3); });  // a number is looked up as a position
  ExpectError(err::kInvalidUseOfNull, [&] { map->AddLast(Variant::Null()); });
  ExpectError(err::kTypeMismatch, [&] { map->AddFirst(Variant::Array({1})); });
  ExpectError(ErrInvalidOperation, [&] { map->Insert(1, "b"); });
  map->AddLast("7");
  ExpectError(err::kDuplicateKey, [&] { map->AddFirst(7); });  // no position 7, but the text is a key
  EXPECT_IDENTICAL(KeysOf(*map), (Values{"c", 2, "a", "b", "7"}));
}

// AddLast keys by position unless the key is taken, AddFirst only on an empty Array, Insert never.
TEST(TavrixAddArray, KeysByPositionUnlessTakenAndInsertBeforeAnElement) {
  const TavrixPtr array = Make(KindBoundedArray, {}, 3);
  array->AddFirst("one");
  array->AddLast("two");
  array->AddFirst("zero");
  EXPECT_IDENTICAL(ElementsOf(*array), (Values{"zero", "one", "two"}));
  EXPECT_IDENTICAL(array->Item("1"), Variant("one"));
  EXPECT_FALSE(HasKey(*array, "3"));

  const TavrixPtr unbounded = Make(KindUnboundedArray, {"a", "b", "c"});
  unbounded->Remove(1);
  unbounded->AddLast("d");  // "3" still belongs to "c"
  for (int i = 5; i <= 12; ++i) unbounded->AddLast(i);
  unbounded->Insert(1, "first");
  unbounded->Insert("3", "before c");  // a text names a key
  ExpectError(err::kInvalidProcedureCall, [&] { unbounded->Insert("none", "x"); });
  EXPECT_IDENTICAL(ElementsOf(*unbounded),
                   (Values{"first", "b", "before c", "c", "d", 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_IDENTICAL(unbounded->Item("11"), Variant(12));  // the count plus 1
  ExpectError(err::kSubscriptOutOfRange, [&] { Make(KindUnboundedArray)->Insert(1, "x"); });
}

TEST(TavrixAddArray, TheBoundLimitsEveryAdditionAgainAfterRemoveAll) {
  const TavrixPtr array = Make(KindBoundedArray, {1, 2});
  for (int round = 0; round < 2; ++round) {
    ExpectError(ErrSubscriptOutOfRange, [&] { array->AddLast("z"); });
    ExpectError(ErrSubscriptOutOfRange, [&] { array->AddFirst("z"); });
    ExpectError(ErrSubscriptOutOfRange, [&] { array->Insert(1, "z"); });
    array->RemoveAll();
    array->AddFirst("x");
    array->Insert(1, "y");
  }
  EXPECT_EQ(array->Bound(), 2);
  EXPECT_IDENTICAL(ElementsOf(*array), (Values{"y", "x"}));
}

TEST(TavrixSequence, KindsThatRefuseAddingAndRemoving) {
  for (const TavrixKind kind : {KindVariant, KindNil, KindSet, KindStack, KindQueue}) {
    const TavrixPtr t = Make(kind);
    for (auto call : {+[](Tavrix& c) { c.AddLast(1); }, +[](Tavrix& c) { c.AddFirst(1); },
                      +[](Tavrix& c) { c.Insert(1, 1); }, +[](Tavrix& c) { c.Remove(); },
                      +[](Tavrix& c) { c.RemoveAll(); }}) {
      ExpectError(ErrInvalidOperation, [&] { call(*t); });
    }
    EXPECT_EQ(t->Kind(), kind);
    EXPECT_TRUE(kind == KindNil || t->Find(1) == -1);  // nothing was added
  }
}

}  // namespace
}  // namespace quenlo
