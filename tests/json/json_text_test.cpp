// JSON text is read by simdjson, and by nlohmann's reader when simdjson refuses it: whichever
// reads a text, the tree and the error are those nlohmann's reader gives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "quenlo/error.hpp"
#include "quenlo/files.hpp"
#include "quenlo/json.hpp"
#include "support/expect.hpp"
#include "support/scratch_folder.hpp"

namespace quenlo {
namespace {

using nlohmann::ordered_json;
using testing::RaisedBy;

std::string Repeated(std::string_view part, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += part;
  return text;
}

// `levels` objects, each the member "a" of the one around it, the innermost holding `inner`.
std::string NestedObjects(std::size_t levels, std::string_view inner) {
  return Repeated(R"({"a":)", levels - 1) + "{\"a\":" + std::string(inner) + "}" +
         std::string(levels - 1, '}');
}

TEST(JsonText, EveryTextGivesTheTreeOfItsValue) {
  const std::vector<std::string> texts = {
      // Numbers: zeros with a sign, the ends of 32 and 64 bits, beyond 64 bits, subnormals,
      // the largest double, halfway cases and digits beyond a double's precision.
      "[0, -0, -0.0, -0e0, 0e1000, 1e-400, 1e-99999999999999999999]",
      "[2147483647, 2147483648, -2147483648, -2147483649]",
      "[9223372036854775807, 9223372036854775808, 18446744073709551615, -9223372036854775808]",
      "[18446744073709551616, -9223372036854775809, 123456789012345678901234567890]",
      "[1e-320, 4.9406564584124654e-324, 2.4703282292062328e-324, 2.2250738585072011e-308]",
      "[1.7976931348623157e308, 1E+2, 1e0000000000000000000001, 9007199254740993, 9007199254740993.0]",
      "[0.1000000000000000055511151231257827021181583404541015625, 0.30000000000000004]",
      "[1" + std::string(400, '0') + ".5e-300, 0." + std::string(400, '0') + "1e300]",
      // Strings and keys: NUL, escapes, surrogate pairs, UTF-8 as it is.
      R"({"k\u0000ey": "v\u0000", "": "\b\f\n\r\t\\\"\/", "e": "\u00e9\uFFFF\ud83d\ude00"})",
      "[\"caf\xC3\xA9 \xF0\x9F\x98\x80\"]",
      // A key given twice keeps its first place and its last value, nested too.
      R"({"a": 1, "b": {"x": 1, "x": [2]}, "a": {"c": 3}, "b": null})",
      // Empty containers, a value at the top, white space.
      "{}", "[]", R"([{}, [], {"": []}, [[]]])", "true", "null", "\"text\"", " \t\r\n -12.5e-1 \n",
      " [ 1 ,\t{ \"a\" :\r\n false } ]\r\n",
      // What only nlohmann's reader accepts: a byte order mark, a NUL ending the text.
      "\xEF\xBB\xBF[1]", std::string("[1]\0[2]", 7),
      // Nesting at the limit: the top container and 1,024 levels below it.
      std::string(1025, '[') + std::string(1025, ']'), NestedObjects(1025, "\"deepest\"")};
  for (const std::string& text : texts) {
    EXPECT_EQ(TreeFromJsonText(text)->GetObjectString(),
              TreeFromJson(ordered_json::parse(text))->GetObjectString())
        << text.substr(0, 80);
  }

  const TavrixPtr zeros = TreeFromJsonText(texts[0]);
  EXPECT_EQ(zeros->Item(2).Type(), vbLong);  // -0 is an integer
  EXPECT_TRUE(std::signbit(zeros->Item(3).AsDouble()));
  const TavrixPtr strings = TreeFromJsonText(texts[8]);
  EXPECT_EQ(strings->Item(std::string("k\0ey", 4)).AsString(), std::string("v\0", 2));
}

// Both readers keep the long keys of a Map in chunks the Map owns, not in a block each: the
// keys must stay whole through every later change of their Map and of its copies.
TEST(JsonText, LongKeysReadInBulkStayWholeThroughEveryChangeOfTheirMap) {
  const auto key = [](std::string_view prefix, int number) {
    return std::string(prefix) + std::to_string(number);
  };
  std::string text = "{";
  for (int i = 0; i < 300; ++i) text += "\"" + key("a long key number ", i) + "\":" + std::to_string(i) + ",";
  text += "\"" + std::string(70'000, 'k') + "\":0,";  // longer than a chunk: a block of its own
  text += "\"a long key number 7\":\"again\"}";       // given twice: the Map is merged
  const TavrixPtr from_json = TreeFromJsonText(text);
  const TavrixPtr from_object_string = Tavrix::Create();
  from_object_string->SetObjectString(from_json->GetObjectString());

  for (const TavrixPtr& map : {from_json, from_object_string}) {
    ASSERT_EQ(map->Length(), 301);
    const TavrixPtr copy = map->Clone();
    for (int i = 0; i < 290; ++i) map->Remove(key("a long key number ", i));   // the ring shrinks
    for (int i = 0; i < 1000; ++i) map->Item(key("another long key ", i), i);  // and grows again
    EXPECT_EQ(map->Item(key("a long key number ", 295)).AsLong(), 295);
    EXPECT_EQ(map->GetKeys()->Item(1).AsString(), "a long key number 290");
    EXPECT_EQ(map->Length(), 1011);
    map->RemoveAll();
    map->Item(key("a long key number ", 1), 1);
    EXPECT_EQ(map->GetObjectString(), "\\11000\\{a long key number 1: \\2\\1}");
    EXPECT_EQ(copy->Item(key("a long key number ", 7)).AsString(), "again");
    EXPECT_EQ(copy->GetKeys()->Item(300).AsString(), "a long key number 299");
  }
}

class JsonFile : public testing::ScratchFolder {};

// A file's text is read where it lies, in the room its string has beyond the text: what a file
// gives must not depend on that.
TEST_F(JsonFile, GivesTheTreeOrTheErrorOfItsText) {
  const auto outcome = [](auto&& read) {
    try {
      return read()->GetObjectString();
    } catch (const Error& error) {
      return "error " + std::to_string(error.Number()) + ": " + error.Context();
    }
  };
  const std::vector<std::string> texts = {R"({"a long key": [1, 2.5, "x\n"], "b": {}})",
                                          "\xEF\xBB\xBF[1]",
                                          std::string(4093, ' ') + "[1]",
                                          "[1, 2",
                                          "",
                                          std::string(2000, '[') + std::string(2000, ']'),
                                          "{\"a\": 1} x"};
  for (const std::string& text : texts) {
    WriteFileBytes(Path("text.json"), text);
    EXPECT_EQ(outcome([&] { return TreeFromJsonFile(Path("text.json")); }),
              outcome([&] { return TreeFromJsonText(text); }))
        << text.substr(0, 40);
  }
  EXPECT_EQ(RaisedBy([&] { TreeFromJsonFile(Path("missing.json")); }).Number(), err::kFileNotFound);
}

TEST(JsonText, TextThatIsNotJsonRaises5WithTheByteWhereReadingFailed) {
  const std::string deep_fault = std::string(1025, '[') + "1,]" + std::string(1025, ']');
  const std::pair<std::string, int> cases[] = {{"[\"\\ud800\"]", 8}, {"\"\\udc00\"", 6},
                                               {"[\"a\x01\"]", 3},   {"\"\xED\xA0\x80\"", 2},
                                               {"[\"\xFF\"]", 2},    {"[01]", 2},
                                               {"-1e400", 5},        {"[1e400]", 5},
                                               {"{\"a\" 1}", 5},     {R"({"a": )", 6},
                                               {"[1, 2", 5},         {"[1,]", 3},
                                               {"NaN", 0},           {"", 0},
                                               {"[1]\n]", 4},        {"[1] 2", 4},
                                               {deep_fault, 1027}};
  for (const auto& [text, byte] : cases) {
    const std::string& json = text;  // Clang 14 cannot capture a structured binding
    const Error error = RaisedBy([&] { TreeFromJsonText(json); });
    EXPECT_EQ(error.Number(), err::kInvalidProcedureCall) << text;
    const std::string context = "at byte " + std::to_string(byte) + ": not JSON: ";
    EXPECT_EQ(error.Context().rfind(context, 0), 0u) << text << " gave " << error.Context();
  }

  // Nesting too deep is found first, before a fault further on.
  for (const std::string& deep : {std::string(1026, '[') + std::string(1026, ']'), NestedObjects(1026, "1"),
                                  std::string(1026, '[') + "x"}) {
    EXPECT_EQ(RaisedBy([&] { TreeFromJsonText(deep); }).Number(), err::kOutOfStackSpace)
        << deep.substr(0, 20);
  }
}

}  // namespace
}  // namespace quenlo
