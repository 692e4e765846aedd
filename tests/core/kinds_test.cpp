// Creation, kind changes, copying and release of container trees.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "quenlo/conversion.hpp"
#include "quenlo/tavrix.hpp"
#include "support/containers.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

using namespace quenlo::testing;

TEST(TavrixKinds, NewContainerSetArrayAndSetSet) {
  const TavrixPtr t = Tavrix::Create();
  EXPECT_EQ(t->Kind(), KindVariant);
  EXPECT_EQ(t->Bound(), 0);
  EXPECT_FALSE(t->Exists(1));
  ExpectError(err::kSubscriptOutOfRange, [&] { t->Item(); });
  const std::pair<Variant, TavrixKind> arrays[] = {{-1, KindUnboundedArray}, {0, KindBoundedArray},
                                                   {5, KindBoundedArray},    {-3, KindUnboundedArray},
                                                   {"4", KindBoundedArray},  {" -2 ", KindUnboundedArray}};
  for (const auto& [upper_bound, kind] : arrays) {
    t->SetArray(upper_bound);
    EXPECT_EQ(t->Kind(), kind) << upper_bound;
    EXPECT_EQ(t->Bound(), CLng(upper_bound)) << upper_bound;
  }
  const TavrixPtr nested = Tavrix::Create();
  t->SetSet(1, 1, 2, nested);
  EXPECT_EQ(t->Kind(), KindSet);
  EXPECT_EQ(t->Bound(), 4);
  EXPECT_IDENTICAL(ElementsOf(*t), (Values{1, 1, 2, nested}));
  EXPECT_IDENTICAL(t->Item("3"), Variant(2));  // members are keyed by position
  t->SetStack();
  EXPECT_EQ(t->Bound(), 4);  // only SetArray and SetSet set Bound
  t->SetSet();
  EXPECT_EQ(t->Bound(), 0);
}

TEST(TavrixKinds, SetArrayWithAnUnconvertibleBoundChangesNothing) {
  const TavrixPtr t = Make(KindMap, {"a"});
  ExpectError(err::kTypeMismatch, [&] { t->SetArray("many"); });
  ExpectError(err::kInvalidUseOfNull, [&] { t->SetArray(Variant::Null()); });
  ExpectError(err::kOverflow, [&] { t->SetArray(1e12); });
  EXPECT_IDENTICAL(KeysOf(*t), Values{"a"});
}

// Tags are kept beside the containers: each container sees its own, a tag read stays valid while
// other containers change theirs, and a container made where a tagged one died starts untagged.
TEST(TavrixTag, EachContainerKeepsItsOwnTagForItsLife) {
  const TavrixPtr kept = Tavrix::Create();
  kept->Tag("kept");
  const std::string& read = kept->Tag();
  for (int round = 0; round < 100; ++round) {
    const TavrixPtr passing = Tavrix::Create();
    EXPECT_EQ(passing->Tag(), "");
    EXPECT_EQ(passing->FindInconsistency(), "");  // no tag left by one that died at its place
    passing->Tag("passing " + std::to_string(round));
  }
  EXPECT_EQ(read, "kept");
  kept->Tag("");
  EXPECT_EQ(kept->FindInconsistency(), "");
  EXPECT_EQ(kept->Tag(), "");
  kept->Tag("again");
  EXPECT_EQ(kept->Tag(), "again");
}

// A copy keeps a Map's keys and its values under their key texts; elements of other kinds lose
// their keys. Become copies Kind and Bound; Clone leaves the Tag behind, Become keeps the target's.
TEST(TavrixCopying, CloneAndBecomeCopyOneLevel) {
  const TavrixPtr map = MapOf("a", 1, 7, Tavrix::Create());
  map->Tag("mine");
  const TavrixPtr copy = map->Clone();
  EXPECT_EQ(copy->Tag(), "");
  EXPECT_IDENTICAL(KeysOf(*copy), (Values{"a", 7}));
  EXPECT_IDENTICAL(copy->Item("7"), map->Item(2));
  copy->Remove("a");
  EXPECT_IDENTICAL(map->Item("a"), Variant(1));
  EXPECT_FALSE(HasKey(*Make(KindSet, {1})->Clone(), "1"));

  const TavrixPtr target = Make(KindMap);
  target->Tag("kept");
  EXPECT_TRUE(target->Become(Make(KindBoundedArray, {"x", "y"}, 3)).IsEmpty());
  EXPECT_EQ(target->Kind(), KindBoundedArray);
  EXPECT_EQ(target->Bound(), 3);
  EXPECT_EQ(target->Tag(), "kept");
  EXPECT_FALSE(HasKey(*target, "1"));
  ExpectError(err::kObjectNotSet, [&] { target->Become(nullptr); });
  target->Become(target);
  EXPECT_IDENTICAL(ElementsOf(*target), (Values{"x", "y"}));
  // The element's only other reference is the one Become is given.
  target->Item(1, Make(KindUnboundedArray, {"k"}));
  target->Become(target->Item(1).ObjectAs<Tavrix>());
  EXPECT_EQ(target->Kind(), KindUnboundedArray);
  EXPECT_IDENTICAL(ElementsOf(*target), Values{"k"});
}

// A chain a million levels deep is released in the limit tests.
TEST(TavrixRelease, ATreeWithSharedElementsLetsGoOfWhatItHeldAlone) {
  const TavrixPtr shared = Make(KindUnboundedArray, {"survives"});
  std::weak_ptr<Tavrix> twice_held;
  {
    const TavrixPtr twice = Make(KindQueue, {Variant::Array({Variant(Tavrix::Create())})});
    twice_held = twice;
    Make(KindUnboundedArray, {twice, twice, shared});  // a tree released at once
  }
  EXPECT_TRUE(twice_held.expired());
  EXPECT_IDENTICAL(ElementsOf(*shared), Values{"survives"});
}

}  // namespace
}  // namespace quenlo
