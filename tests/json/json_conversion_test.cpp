#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <functional>
#include <limits>
#include <string>

#include "quenlo/error.hpp"
#include "quenlo/json.hpp"
#include "support/containers.hpp"

namespace quenlo {
namespace {

using nlohmann::ordered_json;
using testing::Make;
using testing::RaisedBy;
using testing::Read;

// ---- Round trips ---------------------------------------------------------------------------

TEST(JsonRoundTrip, NlohmannConvertsTreesBothWaysKeepingMapOrder) {
  const std::string text =
      "\\11000\\{zeta: \\3\\1, alpha: \\11000\\[\\5\\2.5, \\8\\text, \\11\\True, \\3\\-7], "
      "mid: \\11000\\{}, empty: \\11000\\[]}";
  const TavrixPtr tree = Read(text);
  const ordered_json ordered = *tree;
  EXPECT_EQ(ordered.dump(), R"({"zeta":1,"alpha":[2.5,"text",true,-7],"mid":{},"empty":[]})");
  EXPECT_EQ(ordered.get<TavrixPtr>()->GetObjectString(), text);

  // nlohmann::json sorts members by key; so does the Map that comes back.
  const nlohmann::json sorted = tree;
  EXPECT_EQ(sorted.dump(), R"({"alpha":[2.5,"text",true,-7],"empty":[],"mid":{},"zeta":1})");
  EXPECT_EQ(sorted.get<TavrixPtr>()->GetKeys()->GetObjectString(),
            "\\11000\\[\\8\\alpha, \\8\\empty, \\8\\mid, \\8\\zeta]");

  EXPECT_TRUE(ordered_json(TavrixPtr()).is_null());
}

TEST(JsonRoundTrip, NumbersTakeTheNarrowestTypeAndAValueAtTheTopAVariantContainer) {
  EXPECT_EQ(
      TreeFromJsonText(
          R"({"b": [1, -2147483648, 2147483648, 18446744073709551615, 0.5, "s", false, null], "a": {"x": {}}})")
          ->GetObjectString(),
      "\\11000\\{b: \\11000\\[\\3\\1, \\3\\-2147483648, \\5\\2147483648, \\5\\1.8446744073709552E+19, "
      "\\5\\0.5, \\8\\s, \\11\\False, \\1\\], a: \\11000\\{x: \\11000\\{}}}");
  const TavrixPtr scalar = TreeFromJsonText(" \"caf\xC3\xA9\" ");
  EXPECT_EQ(scalar->Kind(), KindVariant);
  EXPECT_EQ(scalar->Item().AsString(), "caf\xC3\xA9");
}

TEST(JsonRoundTrip, AKeyGivenTwiceKeepsItsFirstPlaceAndItsLastValue) {
  EXPECT_EQ(TreeFromJsonText(R"({"a": 1, "b": 2, "a": 3})")->GetObjectString(),
            "\\11000\\{a: \\3\\3, b: \\3\\2}");
  // Among many keys, and in an ordered_json whose members were given one key twice directly.
  std::string many = "{";
  ordered_json members = ordered_json::object();
  auto& listed = static_cast<ordered_json::object_t::Container&>(members.get_ref<ordered_json::object_t&>());
  for (int i = 0; i < 100; ++i) {
    const std::string key = "member " + std::to_string(i % 60);
    many += (i > 0 ? ", \"" : "\"") + key + "\": " + std::to_string(i);
    listed.emplace_back(key, i);
  }
  for (const TavrixPtr& tree : {TreeFromJsonText(many + "}"), TreeFromJson(members)}) {
    ASSERT_EQ(tree->Length(), 60);
    EXPECT_EQ(tree->Item("member 7").AsLong(), 67);
    EXPECT_EQ(tree->Item("member 59").AsLong(), 59);
    EXPECT_EQ(tree->GetKeys()->Item(8).AsString(), "member 7");
  }
}

// ---- What JSON cannot keep -------------------------------------------------------------------

TEST(JsonLosses, KindsAndTypesJsonLacksBecomeTheirNearestForm) {
  const TavrixPtr tree =
      testing::ArrayOf({Make(KindSet, {1, 2}), Make(KindStack, {1, 2}), Make(KindQueue, {1, 2}),
                        testing::VariantOf(Variant::String("inside")), Make(KindNil)});
  for (const Variant& value :
       {Variant::Integer(3), Variant::Byte(4), Variant::Single(0.1f), Variant(Currency::FromScaled(125000)),
        Variant(Date{46362.0}), Variant(), Variant::Null(), Variant::Double(std::nan("")),
        Variant::Double(-std::numeric_limits<double>::infinity())}) {
    tree->AddLast(value);
  }

  const ordered_json json = *tree;
  // A Stack lists in the order Pop takes its elements out; a Single through its shortest text.
  EXPECT_EQ(json.dump(),
            R"([[1,2],[2,1],[1,2],"inside",null,3,4,0.1,12.5,"2026-12-06",null,null,null,null])");
  EXPECT_EQ(json.get<TavrixPtr>()->GetObjectString(),
            "\\11000\\[\\11000\\[\\3\\1, \\3\\2], \\11000\\[\\3\\2, \\3\\1], \\11000\\[\\3\\1, \\3\\2], "
            "\\8\\inside, \\1\\, \\3\\3, \\3\\4, \\5\\0.1, \\5\\12.5, \\8\\2026-12-06, \\1\\, \\1\\, \\1\\, "
            "\\1\\]");
}

TEST(JsonLosses, WhatJsonCannotHoldIsRefusedWithItsPath) {
  const TavrixPtr tree = Read("\\11000\\{items: \\11000\\[\\3\\1, \\11000\\{}]}");
  const auto inner = std::static_pointer_cast<Tavrix>(tree->Item("items").AsObject());
  const auto map = std::static_pointer_cast<Tavrix>(inner->Item(2).AsObject());
  map->Item(Variant::String("loop"), tree);
  const Error cycle = RaisedBy([&] { TreeToOrderedJson(*tree); });
  EXPECT_EQ(cycle.Number(), err::kTypeMismatch);
  EXPECT_EQ(cycle.Context().rfind("{items}[2]{loop}", 0), 0u) << cycle.Context();
  EXPECT_NE(cycle.Context().find(": a reference to an object or a cycle"), std::string::npos)
      << cycle.Context();
  map->RemoveAll();  // no cycle left to leak

  inner->Item(1, Variant::Array({Variant(1)}));
  const Error array = RaisedBy([&] { TreeToJson(*tree); });
  EXPECT_EQ(array.Number(), err::kTypeMismatch);
  EXPECT_EQ(array.Context().rfind("{items}[1]: ", 0), 0u) << array.Context();

  ordered_json binary = ordered_json::binary({1, 2});
  EXPECT_EQ(RaisedBy([&] { TreeFromJson(ordered_json::array({binary})); }).Number(), err::kTypeMismatch);
}

// The top container and 1,024 levels below it, as the object string allows; text and the tree
// written are checked where they are read and written.
TEST(JsonLimits, AJsonValueNestedBeyond1024LevelsRaises28) {
  const ordered_json value = ordered_json::parse(std::string(1026, '[') + std::string(1026, ']'));
  EXPECT_EQ(RaisedBy([&] { TreeFromJson(value); }).Number(), err::kOutOfStackSpace);
  EXPECT_EQ(TreeFromJson(value[0])->GetObjectString().size(), 1025u * 9);
}

// ---- Linear time ------------------------------------------------------------------------------

// The least processor time of three runs of `body`, in seconds.
double BestTime(const std::function<void()>& body) {
  double best = std::numeric_limits<double>::infinity();
  for (int run = 0; run < 3; ++run) {
    const std::clock_t start = std::clock();
    body();
    best = std::min(best, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  }
  return best;
}

std::string ObjectText(int keys) {
  std::string text = "{";
  for (int i = 0; i < keys; ++i)
    text += (i == 0 ? "\"key" : ",\"key") + std::to_string(i) + "\":" + std::to_string(i);
  return text + "}";
}

// Quadratic work in the keys of one object (a linear search per key) makes the time per key grow
// with the object: 16 times the keys would take 16 times as long per key. Both objects are larger
// than the processor's caches, whose misses would also make a larger object slower per key.
TEST(JsonLinearTime, TheTimePerKeyOfAnObjectHardlyGrowsWithTheObject) {
  constexpr int kSmall = 40000, kLarge = 16 * kSmall;
  const std::string small_text = ObjectText(kSmall), large_text = ObjectText(kLarge);

  TavrixPtr small, large;
  const double small_from_text = BestTime([&] { small = TreeFromJsonText(small_text); });
  const double large_from_text = BestTime([&] { large = TreeFromJsonText(large_text); });
  ASSERT_EQ(large->Length(), kLarge);
  EXPECT_LT(large_from_text, 5 * 16 * small_from_text);

  ordered_json small_json, large_json;
  const double small_to_json = BestTime([&] { small_json = TreeToOrderedJson(*small); });
  const double large_to_json = BestTime([&] { large_json = TreeToOrderedJson(*large); });
  ASSERT_EQ(large_json.size(), static_cast<std::size_t>(kLarge));
  EXPECT_LT(large_to_json, 5 * 16 * small_to_json);

  const double small_from_json = BestTime([&] { small = TreeFromJson(small_json); });
  const double large_from_json = BestTime([&] { large = TreeFromJson(large_json); });
  EXPECT_EQ(large->Item(Variant::String("key639999")).AsLong(), kLarge - 1);
  EXPECT_LT(large_from_json, 5 * 16 * small_from_json);
}

}  // namespace
}  // namespace quenlo
