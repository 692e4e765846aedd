// Trees and texts at the nesting limit written, listed, checked and read on a thread with a
// 64 KiB stack, as thread pools give their threads: no walk and no reading may recurse once per
// level.
#include "support/small_stack.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quenlo/error.hpp"
#include "support/containers.hpp"

namespace quenlo {
namespace {

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
