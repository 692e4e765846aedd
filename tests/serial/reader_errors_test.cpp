// Reader errors say where: the byte at which reading failed, counted from 0, and what went wrong;
// through Import the byte of the file. The error numbers are the reader's own, and the target
// is unchanged after each.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "quenlo/error.hpp"
#include "quenlo/files.hpp"
#include "support/containers.hpp"
#include "support/scratch_folder.hpp"

namespace quenlo {
namespace {

// The number and the context of an error.
using Failure = std::pair<std::int32_t, std::string>;

// The error that `read` raises on a target, which it must leave as it was.
Failure FailureOf(const std::function<void(Tavrix&)>& read) {
  const TavrixPtr target = testing::MakeTarget();
  const std::string before = testing::State(*target);
  const Error error = testing::RaisedBy([&] { read(*target); });
  EXPECT_EQ(testing::State(*target), before);
  return {error.Number(), error.Context()};
}

Failure ReadFailure(const std::string& text) {
  return FailureOf([&](Tavrix& target) { target.SetObjectString(text); });
}

TEST(ReaderErrors, SayAtWhichByteReadingFailedAndWhy) {
  const struct {
    std::string text;
    std::int32_t number;
    std::string context;
  } cases[] = {
      // Text after the end of the object: a line break an editor added, spaces, anything else.
      {"\\11000\\{a: \\2\\1}\n", 9, "at byte 16: text after the end of the object (a line break)"},
      {"\\11000\\[\\2\\1]\r\n", 5, "at byte 13: text after the end of the object (a line break)"},
      {"\\11000\\{a: \\2\\1}  ", 9, "at byte 16: text after the end of the object (spaces)"},
      {"\\11000\\[\\2\\1] \\8\\x, ]\n\n", 5,
       R"x(at byte 14: text after the end of the object ("\8\x, ]\n\n"))x"},
      // A mark inside a text: the reader splits the text there.
      {R"(\11000\[\8\hello, world])", 5, "at byte 16: a ',' inside a text splits it"},
      {R"(\11000\[\8\http://x.org])", 5, "at byte 15: a ':' inside a text splits it"},
      {R"(\11000\{u: \8\http://x.org})", 9, "at byte 18: a ':' inside a text splits it"},
      // Containers and headers.
      {"\\11000\\{a: \\11000\\`\\2\\1, \\2\\2}", 9, "at byte 30: the Queue opened at byte 18 is not closed"},
      {R"(\11000\[\11000\{a: \2\1])", 9, "at byte 24: the Map opened at byte 15 is not closed"},
      {R"(\11000\[\11001\{}])", 5, R"(at byte 8: "\11001\" is not the header "\11000\")"},
      {R"(\11000{a: \2\1})", 13, R"(at byte 0: "\11000{a: \" is not a header)"},
      {R"(\11000\[\2\1, \11000\)", 9, "at byte 21: the header at byte 14 is not followed by an object"},
      {"", 5, "at byte 0: the text is empty"},
      {R"(\11000\)", 5, "at byte 7: nothing follows the header"},
      // Elements, tags, values and keys.
      {R"(\11000\[\2\1, , \2\2])", 5, "at byte 13: an empty element (only spaces)"},
      {R"(\11000\{a: \8\s, b: x})", 5, R"(at byte 20: "x" is not an element: it has no tag)"},
      {"NIL", 5, R"(at byte 0: "NIL" is not an element: it has no tag)"},
      {R"(\11000\[\2\1, \x\1])", 13, R"(at byte 14: the tag "x" is not a number)"},
      {R"(\11000\[\40000\1])", 6, R"(at byte 8: the tag "40000" is out of range)"},
      {R"(\11000\[\2\abc])", 13, R"(at byte 8: "abc" is not an Integer)"},
      {R"(\11000\[\17\256])", 6, R"(at byte 8: "256" is out of range for a Byte)"},
      {R"(\11000\\5\1.5.)", 13, R"(at byte 7: "1.5." is not a Double)"},
      {R"(\11000\[\9\2147483647])", 5, R"(at byte 8: no live object has the identity "2147483647")"},
      {R"(\11000\{a: \2\1, b})", 9, R"(at byte 19: the key "b" at byte 17 has no value)"},
      // Control characters are shown as escapes, and a long text is cut.
      {"\\11000\\[\\2\\1, \x01\x7F" + std::string(50, 'z') + "]", 5,
       "at byte 14: \"\\x01\\x7F" + std::string(38, 'z') + "...\" is not an element: it has no tag"},
  };
  for (const auto& [text, number, context] : cases) {
    EXPECT_EQ(ReadFailure(text), Failure(number, context)) << text;
  }
}

// A Map's keys are checked together when it closes; the error told is still the first in the
// text, in a Map of any size.
TEST(ReaderErrors, AKeyGivenTwiceIsToldBeforeAnyErrorAfterIt) {
  std::string many = R"(\11000\{)";
  for (int key = 0; key < 40; ++key) many += "k" + std::to_string(key) + R"(: \2\1, )";
  const std::string repeated = many + R"(k17: \2\2, k40: \11000\{b: \2\1, b: \2\2}, x})";
  const struct {
    std::string text;
    std::string context;
  } cases[] = {
      {R"(\11000\{a: \2\1, a: \11000\{b: \2\1, b: \2\2}})", R"(at byte 17: the key "a" is given twice)"},
      {R"(\11000\{a: \11000\{b: \2\1, b: \2\2}, a: \2\1})", R"(at byte 28: the key "b" is given twice)"},
      {repeated, "at byte " + std::to_string(many.size()) + R"(: the key "k17" is given twice)"},
  };
  for (const auto& [text, context] : cases) {
    EXPECT_EQ(ReadFailure(text), Failure(457, context)) << text;
  }
}

TEST(ReaderErrors, NestingTooDeepIsToldAtTheOpeningMarkOfTheLevelTooMany) {
  std::string text;
  for (int level = 0; level <= 1025; ++level) text += "\\11000\\[";
  EXPECT_EQ(ReadFailure(text + std::string(1026, ']')),
            Failure(28, "at byte " + std::to_string(1025 * 8 + 7) + ": nesting deeper than 1024 levels"));
}

// Import tells the byte of the file: a Windows-1252 byte is one character of the text read,
// which UTF-8 may hold in two or three bytes.
using ReaderErrorsOfFiles = testing::ScratchFolder;

TEST_F(ReaderErrorsOfFiles, ImportSaysAtWhichByteOfTheFile) {
  const auto import_failure = [&](const std::string& bytes) {
    WriteFileBytes(Path("data.qo"), bytes);
    return FailureOf([&](Tavrix& target) { target.Import(Path("data.qo")); });
  };
  const struct {
    std::string file;  // Windows-1252
    std::string text;  // the same as UTF-8
    std::int32_t number;
    std::string file_context;
    std::string text_context;
  } cases[] = {
      {"\\11000\\[\\8\\\xE9\xE9\x80, \\2\\x]", "\\11000\\[\\8\\\u00E9\u00E9\u20AC, \\2\\x]", 13,
       R"(at byte 16: "x" is not an Integer)", R"(at byte 20: "x" is not an Integer)"},
      {"\\11000\\{\xE9: \\11000\\`\\2\\1}", "\\11000\\{\u00E9: \\11000\\`\\2\\1}", 9,
       "at byte 24: the Queue opened at byte 18 is not closed",
       "at byte 25: the Queue opened at byte 19 is not closed"},
  };
  for (const auto& [file, text, number, file_context, text_context] : cases) {
    EXPECT_EQ(import_failure(file), Failure(number, file_context)) << text;
    EXPECT_EQ(ReadFailure(text), Failure(number, text_context)) << text;
  }
}

}  // namespace
}  // namespace quenlo
