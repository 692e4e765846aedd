// Creation, kind changes, copying, the library's errors and release of container trees.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/tavrix_expect.hpp"
#include "quenlo/conversion.hpp"
#include "quenlo/tavrix.hpp"

namespace quenlo {
namespace {

using testing::ElementsOf;
using testing::ErrorOf;
using testing::ExpectRuntimeError;
using testing::HasKey;
using testing::KeysOf;

TEST(TavrixKinds, NewContainerIsAnEmptyVariant) {
  const TavrixPtr t = Tavrix::Create();
  EXPECT_EQ(t->Kind(), KindVariant);
  EXPECT_EQ(t->Bound(), 0);
  EXPECT_EQ(t->Tag(), "");
  EXPECT_FALSE(t->Exists(1));
  ExpectRuntimeError([&] { t->Item(); }, err::kSubscriptOutOfRange);
  EXPECT_EQ(Tavrix::Version(), "1.0.16");
}

TEST(TavrixKinds, SetArrayChoosesTheKindFromTheConvertedBound) {
  const TavrixPtr t = Tavrix::Create();
  t->SetArray();
  EXPECT_EQ(t->Kind(), KindUnboundedArray);
  EXPECT_EQ(t->Bound(), -1);
  t->SetArray(0);
  EXPECT_EQ(t->Kind(), KindBoundedArray);
  EXPECT_EQ(t->Bound(), 0);
  t->SetArray(5);
  EXPECT_EQ(t->Bound(), 5);
  EXPECT_EQ(t->Kind(), KindBoundedArray);
  t->SetArray(-3);
  EXPECT_EQ(t->Kind(), KindUnboundedArray);
  EXPECT_EQ(t->Bound(), -3);
  t->SetArray("4");
  EXPECT_EQ(t->Kind(), KindBoundedArray);
  EXPECT_EQ(t->Bound(), 4);
  t->SetArray(" -2 ");
  EXPECT_EQ(t->Kind(), KindUnboundedArray);
  EXPECT_EQ(t->Bound(), -2);
}

TEST(TavrixKinds, SetArrayWithAnUnconvertibleBoundChangesNothing) {
  const TavrixPtr t = Tavrix::Create();
  t->SetMap();
  t->AddLast("a");
  ExpectRuntimeError([&] { t->SetArray("many"); }, err::kTypeMismatch);
  ExpectRuntimeError([&] { t->SetArray(Variant::Null()); }, err::kInvalidUseOfNull);
  ExpectRuntimeError([&] { t->SetArray(1e12); }, err::kOverflow);
  EXPECT_EQ(t->Kind(), KindMap);
  EXPECT_EQ(KeysOf(*t), std::vector<Variant>{"a"});
}

TEST(TavrixKinds, SetSetStoresEveryMemberUnderItsPositionText) {
  const TavrixPtr t = Tavrix::Create();
  t->SetSet();
  EXPECT_EQ(t->Kind(), KindSet);
  EXPECT_EQ(t->Bound(), 0);
  EXPECT_EQ(t->Length(), 0);

  const TavrixPtr nested = Tavrix::Create();
  t->SetSet(1, 1, 2, nested);
  EXPECT_EQ(t->Bound(), 4);
  EXPECT_EQ(ElementsOf(*t), (std::vector<Variant>{1, 1, 2, nested}));
  EXPECT_EQ(t->Item("3"), Variant(2));
  EXPECT_EQ(t->Item("4").ObjectAs<Tavrix>(), nested);  // by reference
  EXPECT_FALSE(HasKey(*t, "5"));
}

TEST(TavrixKinds, KindChangesDropTheFormerContents) {
  const TavrixPtr t = Tavrix::Create();
  t->SetArray();
  t->AddLast(10);
  t->AddLast(20);
  t->SetMap();
  EXPECT_EQ(t->Kind(), KindMap);
  EXPECT_EQ(t->Length(), 0);
  EXPECT_TRUE(KeysOf(*t).empty());
  t->SetArray(7);
  t->SetStack();
  EXPECT_EQ(t->Kind(), KindStack);
  EXPECT_EQ(t->Bound(), 7);  // only SetArray and SetSet change Bound
  t->SetQueue();
  EXPECT_EQ(t->Kind(), KindQueue);
  t->SetNil();
  EXPECT_EQ(t->Kind(), KindNil);
  t->SetVariant();
  EXPECT_EQ(t->Kind(), KindVariant);
  EXPECT_FALSE(t->Exists(1));
}

TEST(TavrixCopying, CloneOfAMapSharesNestedObjectsButNotCollections) {
  const TavrixPtr nested = Tavrix::Create();
  const TavrixPtr map = Tavrix::Create();
  map->SetMap();
  map->Tag("mine");
  map->Item("a", 1);
  map->Item(7, nested);  // a numeric key keeps its type

  const TavrixPtr copy = map->Clone();
  EXPECT_EQ(copy->Kind(), KindMap);
  EXPECT_EQ(copy->Tag(), "");
  EXPECT_EQ(KeysOf(*copy), (std::vector<Variant>{"a", 7}));
  EXPECT_EQ(copy->Item("a"), Variant(1));
  EXPECT_EQ(copy->Item("7").ObjectAs<Tavrix>(), nested);
  EXPECT_TRUE(copy->IsInteger("a"));  // a Map copy keeps its values under their key texts

  copy->Remove("a");
  EXPECT_EQ(map->Item("a"), Variant(1));
  EXPECT_EQ(map->Length(), 2);
}

TEST(TavrixCopying, CopiesOfOtherKindsLoseTheirKeys) {
  const TavrixPtr array = Tavrix::Create();
  array->SetArray(3);
  array->AddLast("x");
  array->AddLast("y");
  const TavrixPtr copy = array->Clone();
  EXPECT_EQ(copy->Kind(), KindBoundedArray);
  EXPECT_EQ(copy->Bound(), 3);
  EXPECT_EQ(ElementsOf(*copy), (std::vector<Variant>{"x", "y"}));
  EXPECT_FALSE(HasKey(*copy, "1"));
  ExpectRuntimeError([&] { copy->IsString(1); }, err::kInvalidProcedureCall);

  const TavrixPtr set = Tavrix::Create();
  set->SetSet(1, 2);
  EXPECT_FALSE(HasKey(*set->Clone(), "1"));
}

TEST(TavrixCopying, BecomeCopiesKindAndBoundButKeepsTag) {
  const TavrixPtr source = Tavrix::Create();
  source->SetArray(4);
  source->AddLast(1);
  const TavrixPtr target = Tavrix::Create();
  target->Tag("kept");
  target->SetMap();
  EXPECT_TRUE(target->Become(source).IsEmpty());
  EXPECT_EQ(target->Kind(), KindBoundedArray);
  EXPECT_EQ(target->Bound(), 4);
  EXPECT_EQ(target->Tag(), "kept");
  EXPECT_EQ(ElementsOf(*target), std::vector<Variant>{1});
  target->AddLast(2);
  EXPECT_EQ(source->Length(), 1);

  const TavrixPtr nil = Tavrix::Create();
  nil->SetNil();
  target->Become(nil);
  EXPECT_EQ(target->Kind(), KindNil);
  testing::ExpectInvalidOperation([&] { target->Length(); });
}

TEST(TavrixCopying, BecomeWithNothingOrItselfChangesNothing) {
  const TavrixPtr t = Tavrix::Create();
  t->SetMap();
  t->Item("a", 1);
  ExpectRuntimeError([&] { t->Become(nullptr); }, err::kObjectNotSet);
  EXPECT_EQ(t->Kind(), KindMap);
  EXPECT_EQ(t->Item("a"), Variant(1));

  t->Become(t);
  EXPECT_EQ(t->Kind(), KindMap);
  EXPECT_EQ(KeysOf(*t), std::vector<Variant>{"a"});
  EXPECT_EQ(t->Item("a"), Variant(1));
}

TEST(TavrixCopying, BecomeWithOneOfItsOwnElements) {
  const TavrixPtr t = Tavrix::Create();
  t->SetArray();
  {
    const TavrixPtr child = Tavrix::Create();
    child->SetMap();
    child->Item("k", "v");
    t->AddLast(child);
  }
  // The only other reference is the temporary that Become is given.
  t->Become(t->Item(1).ObjectAs<Tavrix>());
  EXPECT_EQ(t->Kind(), KindMap);
  EXPECT_EQ(t->Item("k"), Variant("v"));
}

TEST(TavrixErrors, LibraryErrorsCarryNumberSourceAndText) {
  const TavrixPtr t = Tavrix::Create();
  t->SetStack();
  const Error empty = ErrorOf([&] { t->Pop(); });
  EXPECT_EQ(empty.Number(), -2147206504);
  EXPECT_EQ(empty.Source(), "Tavrix");
  EXPECT_EQ(empty.Description(), "Subscript out of range");
  t->SetArray();
  const Error keys = ErrorOf([&] { t->GetKeys(); });
  EXPECT_EQ(keys.Number(), 15011);
  EXPECT_EQ(keys.Description(), "Operation not valid for this data type");
  t->SetMap();
  t->AddLast("a");
  const Error duplicate = ErrorOf([&] { t->AddLast("a"); });
  EXPECT_EQ(duplicate.Number(), -2147206503);
  EXPECT_EQ(duplicate.Description(), "Duplicate value not allowed");
}

// A chain of a million containers, each holding the next, is released without recursion.
TEST(TavrixRelease, DeepChainIsReleasedWithoutOverflowingTheStack) {
  std::weak_ptr<Tavrix> last;
  {
    TavrixPtr root = Tavrix::Create();
    Tavrix* link = root.get();
    for (int depth = 0; depth < 1'000'000; ++depth) {
      TavrixPtr next = Tavrix::Create();
      Tavrix* raw = next.get();
      link->Item(1, std::move(next));
      link = raw;
    }
    last = std::static_pointer_cast<Tavrix>(link->shared_from_this());
    EXPECT_FALSE(last.expired());
  }
  EXPECT_TRUE(last.expired());
}

TEST(TavrixRelease, WideTreeAndSharedChildren) {
  const TavrixPtr shared = Tavrix::Create();
  shared->SetArray();
  shared->AddLast("survives");
  std::weak_ptr<Tavrix> leaf;
  {
    const TavrixPtr root = Tavrix::Create();
    root->SetArray();
    for (int i = 0; i < 1000; ++i) {
      const TavrixPtr child = Tavrix::Create();
      child->SetMap();
      for (int j = 0; j < 20; ++j) child->Item(j + 1, Tavrix::Create());
      root->AddLast(child);
    }
    const TavrixPtr twice = Tavrix::Create();
    twice->SetStack();
    twice->Push(Variant::Array({Variant(Tavrix::Create())}));
    leaf = twice;
    root->AddLast(twice);
    root->AddLast(twice);
    root->AddLast(shared);
  }
  EXPECT_TRUE(leaf.expired());
  EXPECT_EQ(ElementsOf(*shared), std::vector<Variant>{"survives"});
}

}  // namespace
}  // namespace quenlo
