// SetObjectString: what it builds and accepts, and every failure, told with the byte at which
// reading failed and leaving the target unchanged.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quenlo/error.hpp"
#include "quenlo/files.hpp"
#include "quenlo/object.hpp"
#include "support/containers.hpp"
#include "support/scratch_folder.hpp"

namespace quenlo {
namespace {

using testing::Make;
using testing::MakeTarget;
using testing::Read;

// Each text and what the container read from it writes (empty: the text itself): its kinds,
// elements, tags and keys.
TEST(ObjectStringReader, ReadsEachTextAsTheWriterWouldWriteItBack) {
  const std::pair<std::string, std::string> cases[] = {
      // Every tag; Empty, Null, Error and a nested Nil or Variant container come back as Strings.
      {R"(\11000\[\0\, \1\, \2\-3, \3\70000, \4\1.5, \5\2.25, \6\12.5, \7\2026-12-06, \11\True])",
       R"(\11000\[\8\, \8\, \2\-3, \3\70000, \4\1.5, \5\2.25, \6\12.5, \7\2026-12-06, \11\True])"},
      {R"(\11000\[\14\1.25, \17\255, \10\Error 5, \11000\nil, \11000\\3\7])",
       R"(\11000\[\14\1.25, \17\255, \8\Error 5, \8\nil, \8\\3\7])"},
      // The one value of a top-level Variant-kind container is taken whole.
      {R"(\11000\\8\x, y )", ""},
      {R"(\11000\\8\a\b)", ""},
      {R"(\11000\\11000\{a: \2\1})", R"(\11000\\8\{a: \2\1})"},
      // Texts without a header, any top-level header number.
      {"nil", R"(\11000\nil)"},
      {"{}", R"(\11000\{})"},
      {R"(\9\{})", R"(\11000\{})"},
      // No closing mark needed at the top, and tokens after it read on; "," and closing marks
      // are skipped; the token between a key and its value is not checked.
      {R"(\11000\{a: \2\1)", R"(\11000\{a: \2\1})"},
      {R"(\11000\[\2\1] \11000\{a: \2\2}, \2\3])", R"(\11000\[\2\1, \11000\{a: \2\2}, \2\3])"},
      {R"(\11000\{a: \2\1} b, \11000\[\11000\{c, \2\2}]})",
       R"(\11000\{a: \2\1, b: \11000\[\11000\{c: \2\2}]})"},
      {R"(\11000\[\2\1,,\2\2])", R"(\11000\[\2\1, \2\2])"},
      {R"(\11000\{: , \2\1})", R"(\11000\{: \2\1})"},  // a run of spaces is a key at the top level
      // The first character of an element is never examined (a two-byte one included); the tag
      // goes through the Integer conversion; spaces around tokens go, a value's leading ones stay.
      {"\\11000\\[x3\\7, \u00E93\\7, \\08\\x]", R"(\11000\[\3\7, \3\7, \8\x])"},
      {R"(\11000\[  \8\ab ,   \8\ ab ])", R"(\11000\[\8\ab, \8\ ab])"},
      // A nested level sees its tokens without the empty ones.
      {R"(\11000\[\11000\[\2\1, , \2\2]])", R"(\11000\[\11000\[\2\1, \2\2]])"},
      {R"(\11000\[\11000\{a: \2\1, , b: \2\2}])", R"(\11000\[\11000\{a: \2\1, b: \2\2}])"},
      // A nested container ends at the match of its own marks: the key "[" opens one more level
      // of the outer array, the key "]" closes none.
      {R"(\11000\{x: \11000\[\11000\{[: \2\1}], \2\2], y: \2\3})",
       R"(\11000\{x: \11000\[\11000\{[: \2\1}, \2\2], y: \2\3})"},
      {R"(\11000\[\11000\{]: \2\1}, \2\3])", ""},
      // A header before a token that opens nothing runs to the empty token at the top level.
      {R"(\11000\[\11000\,8\x: , \2\1])", R"(\11000\[\11000\\8\x:, \2\1])"},
  };
  for (const auto& [text, written] : cases) {
    EXPECT_EQ(Read(text)->GetObjectString(), written.empty() ? text : written) << text;
  }
}

// The reader looks at the text in chunks: every mark is found wherever a chunk boundary falls,
// the two-byte acute accent included, and a C2 byte that starts another character is no mark.
TEST(ObjectStringReader, FindsEveryMarkWhereverTheChunksOfTheTextFall) {
  for (std::size_t size = 0; size < 40; ++size) {
    const std::string filler(size, 'x');
    const std::string texts[] = {
        "\\11000\\`\\8\\" + filler + "\u00A9\u00B4",
        "\\11000\\{k" + filler + ": \\11000\\[\\8\\" + filler + ", \\11000\\(\\2\\1)], b: \\11000\\<\\8\\" +
            filler + "\u00A9>}",
    };
    for (const std::string& text : texts) EXPECT_EQ(Read(text)->GetObjectString(), text) << text;
  }
}

// The reader sizes its list of tokens from a long text's first stretch: a text sparse there and
// dense after it, or dense there and sparse after it, reads whole, and so does a text or an acute
// accent that the end of the stretch cuts.
TEST(ObjectStringReader, ReadsLongTextsWhoseMarksStandDenserOrSparserFurtherOn) {
  constexpr std::size_t kStretch = 65536;
  const auto longs = [](int count) {
    std::string elements;
    for (int index = 0; index < count; ++index) elements += ", \\2\\1";
    return elements;
  };
  const std::string long_string = "\\8\\" + std::string(2 * kStretch, 'x');
  std::vector<std::string> texts = {
      "\\11000\\[" + long_string + longs(100'000) + "]",
      "\\11000\\[\\2\\1" + longs(30'000) + ", " + long_string + "]",
  };
  const std::string queue_start = "\\11000\\`\\8\\";
  for (std::size_t at = kStretch - 2; at <= kStretch + 1; ++at) {
    texts.push_back(queue_start + std::string(at - queue_start.size(), 'x') + "\u00B4");
  }
  for (const std::string& text : texts) EXPECT_EQ(Read(text)->GetObjectString(), text) << text.size();
}

TEST(ObjectStringReader, ReadsWhatTheWrittenTextCannotShow) {
  const TavrixPtr map = Read(R"(\11000\{5: \2\1})");
  EXPECT_IDENTICAL(map->GetKeys()->Item(1), Variant("5"));
  EXPECT_IDENTICAL(map->Item("5"), Variant::Integer(1));

  const TavrixPtr target = MakeTarget();
  target->SetObjectString(testing::Make(KindBoundedArray, {1})->GetObjectString());
  EXPECT_EQ(testing::State(*target), std::to_string(KindUnboundedArray) + " -1 kept \\11000\\[\\2\\1]");
  testing::ExpectError(5, [&] { (void)target->Item("1"); });  // sequence elements carry no keys

  const TavrixPtr shared = Make(KindMap);
  const TavrixPtr array =
      Read(R"(\11000\[\9\0, \9\)" + std::to_string(IdentityRegistry::IdentityOf(shared)) + "]");
  EXPECT_TRUE(array->Item(1).IsNothing());
  EXPECT_EQ(array->Item(2).AsObject(), shared);  // the same object, not a copy
}

// The failures whose message ReaderErrors checks are not repeated here.
TEST(ObjectStringReader, RaisesTheErrorsOfItsTableAndChangesNothing) {
  const std::pair<std::string, int> cases[] = {
      {R"(\11000\nil )", 5},
      {R"(\11000\[ ])", 5},
      {R"(\11000\{a: \2\1, , b: \2\2})", 5},
      {R"(\11000\[\11000\[\2\1, \11000\{a: x}]])", 5},  // from inside a nested level
      {R"(\11000\[\11000\])", 9},
      {R"(\11000\[\11000\[\2\x)", 9},  // a missing closing mark wins over the error inside
      {R"(\11000\{a: \11000\{b: \2\1, b: \2\2)", 9},
      {R"(\11000\[\11000\[\11000\,8\x: , \2\1]])", 9}};  // no empty token ends it at a nested level
  for (const auto& [text, number] : cases) testing::ExpectReadFails(number, text);
}

// A text of every tag, nested kinds, a live object and Strings with backslashes, a tab and
// characters of two and three bytes, cut at every byte: each cut that fails leaves the target
// as it was, and each that reads gives a Map that writes a text which reads back the same.
TEST(ObjectStringReader, EveryCutOfARichTextFailsWithoutChangeOrReadsSanely) {
  const auto shared = std::make_shared<Object>();
  const std::string text =
      R"(\11000\{int: \2\-3, long: \3\70000, single: \4\1.5, double: \5\2.25E-07, money: \6\12.5, )"
      R"(day: \7\2026-12-06, yes: \11\True, exact: \14\-1.25, byte: \17\255, path: \8\\\srv\dir\a, )"
      "text: \\8\\\u00E9\u20AC\tx, empty: \\8\\, nothing: \\9\\0, "
      R"(nested: \11000\[\2\1, \11000\`\8\q, \11000\<\11000\(\2\1, \2\1)>)"
      "\u00B4, \\11000\\{}], shared: \\9\\" +
      std::to_string(IdentityRegistry::IdentityOf(shared)) + "}";
  ASSERT_EQ(Read(text)->GetObjectString(), text);
  for (std::size_t size = 0; size <= text.size(); ++size) {
    const std::string_view cut = std::string_view(text).substr(0, size);
    SCOPED_TRACE(cut);
    const TavrixPtr target = MakeTarget();
    const std::string before = testing::State(*target);
    if (testing::ErrorNumberOf([&] { target->SetObjectString(cut); }) != 0) {
      EXPECT_EQ(testing::State(*target), before);
      continue;
    }
    EXPECT_EQ(target->Kind(), KindMap);
    EXPECT_EQ(target->Tag(), "kept");
    const std::string written = target->GetObjectString();
    EXPECT_EQ(Read(written)->GetObjectString(), written);
  }
}

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
