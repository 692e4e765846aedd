// The operator[] proxy: its lifetime, chaining into nested containers, and the path that an
// error names.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "quenlo/quenlo.hpp"
#include "support/containers.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

using testing::RaisedBy;
using testing::Read;

// {a: {b: [1, 2], none: Nothing}, n: Long 5}
TavrixPtr Tree() {
  const TavrixPtr tree = Read("\\11000\\{a: \\11000\\{b: \\11000\\[\\2\\1, \\2\\2]}, n: \\3\\5}");
  (*tree)["a"]["none"] = Variant::Nothing();
  return tree;
}

TEST(ItemRef, AReferenceKeepsItsContainerAliveAfterEveryOtherHandleIsGone) {
  TavrixPtr map = testing::MapOf("a", 1);
  const std::weak_ptr<Tavrix> watch = map;
  auto ref = (*map)["a"];
  map.reset();
  ASSERT_FALSE(watch.expired());
  EXPECT_IDENTICAL(ref.Get(), 1);
  ref = "stored";
  EXPECT_EQ(watch.lock()->GetObjectString(), "\\11000\\{a: \\8\\stored}");
}

TEST(ItemRef, ChainsIntoNestedContainersToReadAndStore) {
  const TavrixPtr tree = Tree();
  EXPECT_IDENTICAL((*tree)["a"]["b"][2], 2);
  (*tree)["a"]["b"][1] = "x";
  (*tree)["a"]["c"] = Variant::Long(7);
  (*tree)["a"]["none"] = Variant::Null();
  EXPECT_EQ(tree->GetObjectString(),
            "\\11000\\{a: \\11000\\{b: \\11000\\[\\8\\x, \\2\\2], none: \\1\\, c: \\3\\7}, n: \\3\\5}");

  // Assigning one reference to another stores the value read, it does not rebind.
  auto n = (*tree)["n"];
  n = (*tree)["a"]["c"];
  EXPECT_IDENTICAL(tree->Item("n"), Variant::Long(7));
}

TEST(ItemRef, AFailedStepRaisesItsErrorWithThePathInContext) {
  const TavrixPtr tree = Tree();
  const Error missing_key = RaisedBy([&] { Variant v = (*tree)["a"]["zz"][1]; });
  EXPECT_EQ(missing_key.Number(), err::kInvalidProcedureCall);
  EXPECT_EQ(missing_key.Description(), "Invalid procedure call or argument");
  EXPECT_EQ(missing_key.Context(), "[\"a\"][\"zz\"]: no item has the key \"zz\"");

  const Error missing_position = RaisedBy([&] { Variant v = (*tree)["a"]["b"][7]; });
  EXPECT_EQ(missing_position.Number(), err::kSubscriptOutOfRange);
  EXPECT_EQ(missing_position.Context(), "[\"a\"][\"b\"][7]: no item at position 7 of 2");

  const Error not_a_container = RaisedBy([&] { (*tree)["a"]["b"][1]["q"] = 1; });
  EXPECT_EQ(not_a_container.Number(), err::kObjectRequired);
  EXPECT_EQ(not_a_container.Context(), "[\"a\"][\"b\"][1]");

  EXPECT_EQ(RaisedBy([&] { (*tree)["a"]["none"]["q"].Get(); }).Number(), err::kObjectNotSet);

  const Error refused_store = RaisedBy([&] {
    (*tree)["a"]["b"][1] = 0;
    (*Read("\\11000\\<>"))["top"] = 1;
  });
  EXPECT_EQ(refused_store.Number(), ErrInvalidOperation);
  EXPECT_EQ(refused_store.Source(), "Tavrix");
  EXPECT_EQ(refused_store.Context(), "[\"top\"]");
  EXPECT_NE(std::string(refused_store.what()).find("[\"top\"]"), std::string::npos);
}

TEST(ItemRef, IteratesOverTheContainerItsElementHolds) {
  const TavrixPtr tree = Tree();
  std::string seen;
  for (const Variant& value : (*tree)["a"]["b"]) seen += CStr(value) + ";";
  for (const auto& [key, value] : (*tree)["a"].Items()) seen += CStr(key) + "=" + TypeName(value) + ";";
  EXPECT_EQ(seen, "1;2;b=Tavrix;none=Nothing;");
  const Error not_a_map = RaisedBy([&] { (*tree)["a"]["b"].Items(); });
  EXPECT_EQ(not_a_map.Number(), ErrInvalidOperation);
  EXPECT_EQ(not_a_map.Context(), "[\"a\"][\"b\"]");
  EXPECT_EQ(RaisedBy([&] { (*tree)["n"].begin(); }).Number(), err::kObjectRequired);
}

TEST(ItemRef, TypedReadsAndComparisonGoThroughTheElement) {
  const TavrixPtr tree = Tree();
  EXPECT_EQ((*tree)["n"].get<int>(), 5);
  EXPECT_EQ((*tree)["n"].As<std::string>(), "5");
  EXPECT_EQ((*tree)["a"]["b"].get<TavrixPtr>()->Length(), 2);
  EXPECT_EQ((*tree)["missing"].TryGet<int>(), std::nullopt);
  EXPECT_EQ((*tree)["n"].TryGet<short>(), 5);
  EXPECT_TRUE(5.0 == (*tree)["n"]);
  EXPECT_FALSE((*tree)["missing"] == Variant());
}

}  // namespace
}  // namespace quenlo
