// The limits of size and depth: nesting far beyond the limit fails and changes nothing, at the
// limit it works on a 64 KiB stack, and large texts read back in memory proportional to size.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quenlo/conversion.hpp"
#include "quenlo/error.hpp"
#include "support/containers.hpp"
#include "support/sanitizers.hpp"
#include "support/small_stack.hpp"

namespace quenlo {
namespace {

using testing::ExpectError;
using testing::ExpectReadFails;
using testing::Make;

constexpr int kMillion = 1000000;

// The peak resident memory of the process.
std::size_t PeakBytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) return std::stoul(line.substr(6)) * 1024;
  }
  ADD_FAILURE() << "no VmHWM in /proc/self/status";
  return 0;
}

// Runs `work` and checks that the peak resident memory grew by less than `bytes_per_byte` per
// byte of a text of `size`. Memory freed earlier is given back and the peak reset first, so that
// earlier work neither hides nor inflates it. The sanitizers keep freed memory and add their
// own, so the bound is only checked without them.
void ExpectPeakGrowthBelow(double bytes_per_byte, std::size_t size, const std::function<void()>& work) {
  ::malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
  const std::size_t start = PeakBytes();
  work();
  const double growth = static_cast<double>(PeakBytes() - start) / static_cast<double>(size);
  EXPECT_TRUE(QUENLO_TEST_SANITIZED || growth < bytes_per_byte)
      << growth << " bytes of memory per byte of text";
}

std::string Repeated(std::string_view part, int count) {
  std::string text;
  text.reserve(part.size() * static_cast<std::size_t>(count));
  for (int index = 0; index < count; ++index) text += part;
  return text;
}

TEST(Limits, AMillionNestedMarksFailWithTheirErrorInMemoryProportionalToTheText) {
  const std::pair<std::string_view, std::string_view> kinds[] = {{"\\11000\\[", "]"},
                                                                 {"\\11000\\{k: ", "}"},
                                                                 {"\\11000\\(", ")"},
                                                                 {"\\11000\\<", ">"},
                                                                 {"\\11000\\`", "\u00B4"}};
  for (const auto& [level, close] : kinds) {
    // A million containers each nested in the one before, closed or with no end.
    const std::string open = Repeated(level, kMillion) + "\\2\\1", closed = open + Repeated(close, kMillion);
    ExpectPeakGrowthBelow(10.0, closed.size(), [&] { ExpectReadFails(28, closed); });  // deeper than 1,024
    ExpectReadFails(9, open);
  }
  // Marks without headers are elements, and not valid ones.
  for (const char mark : std::string_view("[{(<`")) {
    ExpectReadFails(5, "\\11000\\[" + std::string(kMillion, mark));
  }
}

// `levels` arrays each holding the next, the innermost one holding 1; `at_six` is set to the
// sixth array from the innermost.
TavrixPtr Chain(int levels, TavrixPtr& at_six) {
  TavrixPtr top = testing::ArrayOf({1});
  for (int level = 2; level <= levels; ++level) {
    top = testing::ArrayOf({top});
    if (level == 6) at_six = top;
  }
  return top;
}

TEST(Limits, ATreeAMillionLevelsDeepIsRefusedByTheWalksCopiedOneLevelAndReleased) {
  TavrixPtr shallow;
  TavrixPtr top = Chain(kMillion, shallow);
  EXPECT_EQ(top->FindInconsistency(), "");                 // checked without recursion
  ExpectError(28, [&] { (void)top->GetObjectString(); });  // what it leaves marked: the small-stack test
  ExpectError(28, [&] { (void)top->DebugPrint(); });

  // A copy is one level deep: it shares the chain below.
  TavrixPtr copy = top->Clone();
  const TavrixPtr become = Make(KindMap);
  become->Become(top);
  EXPECT_EQ(copy->Item(1).AsObject(), top->Item(1).AsObject());
  EXPECT_EQ(become->Item(1).AsObject(), top->Item(1).AsObject());

  // Comparing reads the default member down the chain at most 64 times: beyond, it raises 28,
  // and Find counts that as no match.
  ExpectError(28, [&] { (void)CompareEqual(Variant(top), 1); });
  EXPECT_EQ(top->Find(1), -1);
  EXPECT_EQ(shallow->Find(1), 1);

  // Releasing the chain needs no recursion: the copy, its last holder, lets it go.
  TavrixPtr link = shallow;
  while (link->Item(1).IsObject()) link = link->Item(1).ObjectAs<Tavrix>();
  const std::weak_ptr<Tavrix> innermost = std::exchange(link, nullptr);
  top.reset();
  shallow.reset();
  become->SetNil();
  copy.reset();
  EXPECT_TRUE(innermost.expired());
}

TEST(Limits, AMapOfAMillionKeysReadsBackEqual) {
  const TavrixPtr map = Make(KindMap);
  for (int key = 0; key < kMillion; ++key) map->Item("k" + std::to_string(key), Variant::Long(key));
  EXPECT_EQ(map->Find("k999999"), kMillion);

  const std::string text = map->GetObjectString();
  TavrixPtr read;
  ExpectPeakGrowthBelow(10.0, text.size(), [&] { read = testing::Read(text); });
  EXPECT_IDENTICAL(read->Item("k123456"), Variant::Long(123456));
  EXPECT_EQ(read->GetObjectString(), text);
}

TEST(Limits, ObjectStringsOf200MegabytesReadAndWriteBackInProportion) {
#if QUENLO_TEST_SANITIZED
  GTEST_SKIP() << "200 MB texts take too long under AddressSanitizer";
#endif
  constexpr std::size_t kSize = 200u << 20;
  const std::string element = "\\3\\1234567, ";  // a Long
  const auto expect_read_back = [](const std::string& text, double bytes_per_byte) {
    ExpectPeakGrowthBelow(bytes_per_byte, text.size(),
                          [&] { EXPECT_EQ(testing::Read(text)->GetObjectString(), text); });
  };
  expect_read_back("\\11000\\[" + Repeated(element, static_cast<int>(kSize / element.size())) + "\\3\\1]",
                   6.5);
  expect_read_back("\\11000\\[\\8\\" + std::string(kSize, 'x') + "]", 4.0);
}

constexpr int kLimit = 1024;

// The kinds whose body has marks; a Map holds the next container of a chain under "next".
constexpr struct {
  TavrixKind kind;
  std::string_view opening, closing;
} kBracketedKinds[] = {{KindMap, "{next: ", "}"},
                       {KindUnboundedArray, "[", "]"},
                       {KindSet, "(", ")"},
                       {KindStack, "<", ">"},
                       {KindQueue, "`", "\u00B4"}};

// `levels` containers of `kind` below a top one, each holding the next and the Long 7.
TavrixPtr ChainOf(TavrixKind kind, int levels) {
  const auto make = [kind](const Variant& inner) {
    return kind == KindMap ? testing::MapOf("next", inner) : testing::Make(kind, {inner});
  };
  TavrixPtr chain = make(Variant::Long(7));
  for (int level = 0; level < levels; ++level) chain = make(chain);
  return chain;
}

TEST(SmallStack, TreesAndTextsAtTheNestingLimitWorkAndDeeperOnesAreRefused) {
  for (const auto& [kind, opening, closing] : kBracketedKinds) {
    SCOPED_TRACE(kind);
    std::string text;  // the exact text of the chain at the limit
    for (int level = 0; level <= kLimit; ++level) (text += "\\11000\\") += opening;
    text += "\\3\\7";
    for (int level = 0; level <= kLimit; ++level) text += closing;
    const std::string deeper_text = "\\11000\\" + std::string(opening) + text + std::string(closing);
    const TavrixPtr deepest = ChainOf(kind, kLimit);
    const TavrixPtr too_deep = ChainOf(kind, kLimit + 1);
    const TavrixPtr read = Tavrix::Create();
    const TavrixPtr refused = testing::Make(KindMap);
    std::string written, listing, finding = "not run";
    std::vector<std::int32_t> errors;
    testing::RunOnSmallStack([&] {
      written = deepest->GetObjectString();
      listing = deepest->DebugPrint();
      finding = deepest->FindUnreadableValue();
      read->SetObjectString(written);
      errors.push_back(testing::ErrorNumberOf([&] { (void)too_deep->GetObjectString(); }));
      errors.push_back(testing::ErrorNumberOf([&] { (void)too_deep->DebugPrint(); }));
      errors.push_back(testing::ErrorNumberOf([&] { (void)too_deep->FindUnreadableValue(); }));
      errors.push_back(testing::ErrorNumberOf([&] { refused->SetObjectString(deeper_text); }));
    });
    EXPECT_EQ(written, text);
    EXPECT_EQ(listing, deepest->DebugPrint());  // as on the main thread's large stack
    EXPECT_EQ(finding, "");
    EXPECT_EQ(read->GetObjectString(), text);
    EXPECT_EQ(errors, std::vector<std::int32_t>(4, err::kOutOfStackSpace));
    EXPECT_EQ(refused->GetObjectString(), "\\11000\\{}");  // a refused text changes nothing
    // A refused walk leaves nothing behind: the tree below the top writes as before.
    EXPECT_EQ((*too_deep->begin()).ObjectAs<Tavrix>()->GetObjectString(), text);
  }
}

}  // namespace
}  // namespace quenlo
