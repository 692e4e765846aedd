// GetObjectString: the exact text of every kind and element form, cycles, shared children and
// failures.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

#include "quenlo/object.hpp"
#include "support/containers.hpp"

namespace quenlo {
namespace {

using testing::ArrayOf;
using testing::ExpectError;
using testing::Make;

// An object that is not a container: written as a reference.
class Plain : public Object {};

TEST(ObjectStringWriter, WritesEachKindAndEachElementByItsTag) {
  const auto plain = std::make_shared<Plain>();
  const std::pair<TavrixPtr, std::string> cases[] = {
      {testing::VariantOf(Variant::Long(7)), R"(\11000\\3\7)"},
      {Make(KindNil), R"(\11000\nil)"},
      {Make(KindMap), R"(\11000\{})"},
      {Make(KindUnboundedArray), R"(\11000\[])"},
      {Make(KindSet), R"(\11000\())"},
      {Make(KindStack), R"(\11000\<>)"},
      {Make(KindQueue), "\\11000\\`\u00B4"},
      {Make(KindSet, {"a", Variant::Integer(2)}), R"(\11000\(\8\a, \2\2))"},
      {ArrayOf({Variant::Integer(1), "ab", testing::MapOf("x", 2.5)}),
       R"(\11000\[\2\1, \8\ab, \11000\{x: \5\2.5}])"},
      // No position 5 in the Map: a new entry under the number key.
      {testing::MapOf("a", 1, 5, "x"), R"(\11000\{a: \2\1, 5: \8\x})"},
      {Make(KindBoundedArray, {true, Variant::Byte(200)}), R"(\11000\[\11\True, \17\200])"},
      {Make(KindStack, {1, 2}), R"(\11000\<\2\2, \2\1>)"},
      {Make(KindQueue, {1, "two"}), "\\11000\\`\\2\\1, \\8\\two\u00B4"},
      {ArrayOf({Variant(), Variant::Null(), "a\\b", " x, y ", -0.5, Variant::Nothing(), plain}),
       R"(\11000\[\0\, \1\, \8\a\b, \8\ x, y , \5\-0.5, \9\0, \9\)" +
           std::to_string(IdentityRegistry::IdentityOf(plain)) + "]"},
  };
  for (const auto& [container, text] : cases) EXPECT_EQ(container->GetObjectString(), text);
}

TEST(ObjectStringWriter, CutsACycleButWritesASharedChildInFull) {
  const TavrixPtr array = Make(KindUnboundedArray);
  array->AddLast(array);
  const std::string cycle =
      R"(\11000\[\11000\[\9\)" + std::to_string(IdentityRegistry::IdentityOf(array)) + "]]";
  EXPECT_EQ(array->GetObjectString(), cycle);
  EXPECT_EQ(array->GetObjectString(), cycle);  // the walk left nothing marked
  array->RemoveAll();                          // breaks the cycle so the container is released

  const TavrixPtr child = testing::MapOf("a", 1);
  EXPECT_EQ(ArrayOf({child, child})->GetObjectString(), R"(\11000\[\11000\{a: \2\1}, \11000\{a: \2\1}])");
}

TEST(ObjectStringWriter, FailsWithoutPartialTextAndLeavesNothingMarked) {
  ExpectError(9, [] { (void)Tavrix::Create()->GetObjectString(); });

  const TavrixPtr child = ArrayOf({Variant::Array({1, 2})});
  const TavrixPtr parent = ArrayOf({child});
  ExpectError(13, [&] { (void)parent->GetObjectString(); });
  child->RemoveAll();
  child->AddLast(5);
  EXPECT_EQ(parent->GetObjectString(), R"(\11000\[\11000\[\2\5]])");  // entered in full again

  parent->AddLast(Tavrix::Create());
  ExpectError(9, [&] { (void)parent->GetObjectString(); });
}

}  // namespace
}  // namespace quenlo
