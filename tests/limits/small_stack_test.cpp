// Trees and texts at the nesting limit written, listed, checked and read on a thread with a
// 64 KiB stack, as thread pools give their threads: no walk and no reading may recurse once per
// level.
#include "support/small_stack.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "quenlo/error.hpp"
#include "quenlo/tavrix.hpp"
#include "support/containers.hpp"
#include "support/expect.hpp"

namespace quenlo {
namespace {

constexpr int kLimit = 1024;
constexpr TavrixKind kBracketedKinds[] = {KindMap, KindUnboundedArray, KindSet, KindStack, KindQueue};

// `levels` containers of `kind` below a top one, each holding the next and the Long 7.
TavrixPtr ChainOf(TavrixKind kind, int levels) {
  const auto make = [kind](const Variant& inner) {
    return kind == KindMap ? testing::MapOf("next", inner) : testing::Make(kind, {inner});
  };
  TavrixPtr chain = make(Variant::Long(7));
  for (int level = 0; level < levels; ++level) chain = make(chain);
  return chain;
}

// The marks that open and close the body of `kind` in a chain: a Map holds its next under "next".
std::pair<std::string_view, std::string_view> MarksOf(TavrixKind kind) {
  switch (kind) {
    case KindMap:
      return {"{next: ", "}"};
    case KindSet:
      return {"(", ")"};
    case KindStack:
      return {"<", ">"};
    case KindQueue:
      return {"`", "\u00B4"};
    default:
      return {"[", "]"};
  }
}

// The exact text of ChainOf(kind, levels).
std::string TextOfChain(TavrixKind kind, int levels) {
  const auto [opening, closing] = MarksOf(kind);
  std::string text;
  for (int level = 0; level <= levels; ++level) (text += "\\11000\\") += opening;
  text += "\\3\\7";
  for (int level = 0; level <= levels; ++level) text += closing;
  return text;
}

TEST(SmallStack, TreesAndTextsAtTheNestingLimitWorkAndDeeperOnesAreRefused) {
  for (const TavrixKind kind : kBracketedKinds) {
    SCOPED_TRACE(kind);
    const TavrixPtr deepest = ChainOf(kind, kLimit);
    const TavrixPtr too_deep = ChainOf(kind, kLimit + 1);
    const TavrixPtr read = Tavrix::Create();
    const TavrixPtr refused = testing::Make(KindMap);
    std::string text, listing, finding = "not run";
    std::int32_t write_error = 0, list_error = 0, check_error = 0, read_error = 0;
    testing::RunOnSmallStack([&] {
      text = deepest->GetObjectString();
      listing = deepest->DebugPrint();
      finding = deepest->FindUnreadableValue();
      read->SetObjectString(text);
      write_error = testing::ErrorNumberOf([&] { (void)too_deep->GetObjectString(); });
      list_error = testing::ErrorNumberOf([&] { (void)too_deep->DebugPrint(); });
      check_error = testing::ErrorNumberOf([&] { (void)too_deep->FindUnreadableValue(); });
      read_error = testing::ErrorNumberOf([&] { refused->SetObjectString(TextOfChain(kind, kLimit + 1)); });
    });
    EXPECT_EQ(text, TextOfChain(kind, kLimit));
    EXPECT_EQ(listing, deepest->DebugPrint());  // as on the main thread's large stack
    EXPECT_EQ(finding, "");
    EXPECT_EQ(read->GetObjectString(), text);
    EXPECT_EQ(write_error, err::kOutOfStackSpace);
    EXPECT_EQ(list_error, err::kOutOfStackSpace);
    EXPECT_EQ(check_error, err::kOutOfStackSpace);
    EXPECT_EQ(read_error, err::kOutOfStackSpace);
    EXPECT_EQ(refused->GetObjectString(), "\\11000\\{}");  // a refused text changes nothing
    // A refused walk leaves nothing behind: the tree below the top writes as before.
    EXPECT_EQ((*too_deep->begin()).ObjectAs<Tavrix>()->GetObjectString(), text);
  }
}

}  // namespace
}  // namespace quenlo
