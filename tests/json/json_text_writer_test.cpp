// The JSON text written straight from a tree is the text nlohmann's dump gives the tree's JSON
// value, for every kind, type, string and layout; and it fails as that value fails.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "quenlo/json.hpp"
#include "support/containers.hpp"

namespace quenlo {
namespace {

using nlohmann::ordered_json;
using testing::ArrayOf;
using testing::Make;
using testing::MapOf;
using testing::RaisedBy;
using testing::VariantOf;

std::string Dumped(const Tavrix& tree, int indent) {
  return TreeToOrderedJson(tree).dump(indent, ' ', false, ordered_json::error_handler_t::replace);
}

// Every byte below 0x20, a quote, a backslash, a slash, 0x7F and UTF-8 of two, three and four bytes.
std::string Awkward() {
  std::string text;
  for (char byte = 0; byte < 0x20; ++byte) text += byte;
  return text + "\"\\/\x7F caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";
}

// A lone continuation byte, sequences cut short (at the end and before ASCII), overlong forms, a
// surrogate, a code point beyond U+10FFFF, the byte 0xFF; each after valid text.
const std::vector<std::string> kNotUtf8 = {"a\x80z",           "ab\xC3",        "\xE2\x82z",
                                           "\xC0\xAF",         "\xE0\x80\xAF",  "\xED\xA0\x80x",
                                           "\xF4\x90\x80\x80", "\xC3\xA9\xFF\""};

TEST(JsonTextWriter, WritesWhatDumpWritesForEveryTreeAndIndent) {
  const double inf = std::numeric_limits<double>::infinity();
  const TavrixPtr scalars =
      ArrayOf({Variant(), Variant::Null(), Variant::Integer(-32768),
               Variant::Long(std::numeric_limits<std::int32_t>::min()), Variant::Byte(255),
               Variant::Boolean(true), Variant::Boolean(false), Variant::Single(0.1f),
               Variant::Single(-std::numeric_limits<float>::infinity()),
               Variant(Currency::FromScaled(-125001)), Variant(DecimalFromText("-1.25")),
               Variant(Date{46362.75}), Variant::Error(2042), Variant::String("")});
  for (const double number : {0.1, 1e21, 1e-7, 123456789.0, -0.0, 0.0, 1.0, 1e100, 5e-324,
                              1.7976931348623157e308, std::numeric_limits<double>::quiet_NaN(), inf, -inf})
    scalars->AddLast(Variant::Double(number));
  scalars->AddLast(Variant::String(Awkward()));
  // A key that is an object is written as the text of its default member.
  const TavrixPtr keys = MapOf(Awkward(), 1, "plain", ArrayOf({}), "", Variant::Nothing(),
                               testing::Holding(Variant::String("held\t")), 2);
  for (const std::string& text : kNotUtf8) {
    scalars->AddLast(Variant::String(text));
    keys->Item(Variant::String(text), Variant::String(text));
  }
  const TavrixPtr kinds =
      MapOf("empty map", Make(KindMap), "empty array", ArrayOf({}), "set", Make(KindSet, {3, 1, 2}), "stack",
            Make(KindStack, {1, 2}), "queue", Make(KindQueue, {"a", "b"}), "bounded",
            Make(KindBoundedArray, {1}, 3), "nil", Make(KindNil), "variant",
            VariantOf(ArrayOf({1, MapOf("a", VariantOf(Make(KindNil)))})));
  kinds->Item("deep", ArrayOf({ArrayOf({ArrayOf({Make(KindMap), ArrayOf({}), scalars, keys})})}));

  const std::vector<TavrixPtr> trees = {scalars,
                                        keys,
                                        kinds,
                                        Make(KindMap),
                                        ArrayOf({}),
                                        Make(KindNil),
                                        VariantOf(kinds),
                                        VariantOf(VariantOf(Variant::String(kNotUtf8[0]))),
                                        VariantOf(Variant::Double(-0.0)),
                                        VariantOf(Awkward())};
  for (std::size_t tree = 0; tree < trees.size(); ++tree) {
    for (const int indent : {-1, 0, 2, 4}) {
      EXPECT_EQ(TreeToJsonText(*trees[tree], indent), Dumped(*trees[tree], indent))
          << "tree " << tree << ", indent " << indent;
    }
  }
}

TEST(JsonTextWriter, LaysOutObjectsAndArraysAsTheIndentAsks) {
  const TavrixPtr tree = MapOf("a", ArrayOf({1, 2}), "b", Make(KindMap));
  EXPECT_EQ(TreeToJsonText(*tree), R"({"a":[1,2],"b":{}})");
  EXPECT_EQ(TreeToJsonText(*tree, 0), "{\n\"a\": [\n1,\n2\n],\n\"b\": {}\n}");
  EXPECT_EQ(TreeToJsonText(*tree, 2), "{\n  \"a\": [\n    1,\n    2\n  ],\n  \"b\": {}\n}");
  EXPECT_EQ(TreeToJsonText(*ArrayOf({Variant::Double(1.0), Variant::String("\x1f\x7F")})),
            "[1.0,\"\\u001f\x7F\"]");
}

// The number, text and path of the error each conversion raises.
std::string Failure(auto&& convert) {
  const Error error = RaisedBy(convert);
  return std::to_string(error.Number()) + " " + error.Description() + " " + error.Context();
}

TEST(JsonTextWriter, RefusesWhatTheJsonValueRefusesWithTheSameError) {
  TavrixPtr nested = ArrayOf({1});
  for (int level = 1; level <= 1025; ++level) nested = ArrayOf({nested});
  const TavrixPtr cycle = MapOf("inner", ArrayOf({1}));
  const auto inner = std::static_pointer_cast<Tavrix>(cycle->Item("inner").AsObject());
  inner->AddLast(cycle);
  const std::vector<TavrixPtr> refused = {MapOf("k", ArrayOf({1, Variant::Array({Variant(1)})})),
                                          ArrayOf({testing::Holding(1)}), cycle, nested};
  for (const TavrixPtr& tree : refused) {
    const std::string expected = Failure([&] { TreeToOrderedJson(*tree); });
    EXPECT_EQ(Failure([&] { TreeToJsonText(*tree, 2); }), expected);
    EXPECT_EQ(expected.rfind(tree == nested ? "28 " : "13 ", 0), 0u) << expected;
  }
  inner->RemoveAll();  // no cycle left to leak

  // The deepest nesting allowed is written.
  const auto deepest = std::static_pointer_cast<Tavrix>(nested->Item(1).AsObject());
  EXPECT_EQ(TreeToJsonText(*deepest, 1), Dumped(*deepest, 1));
}

}  // namespace
}  // namespace quenlo
